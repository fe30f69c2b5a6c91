// Ctrl-C, termination requests and hang-ups as a request to stop, which every printer write
// obeys at once; stop signals held until the program can take them.
#pragma once

namespace orlup {

/// Makes SIGINT, SIGTERM and SIGHUP, instead of ending the program, record themselves and cut
/// short every printer write in progress on any thread, which then fails with
/// ErrorCode::OperationAborted within milliseconds, even against a printer that takes nothing.
/// The handlers restart no interrupted call, so the program's own waits end too. They replace
/// whatever the parent left, an ignored or blocked signal included (for the calling thread and
/// the threads it starts afterwards); only an ignored SIGHUP stays ignored, since that is what
/// nohup asks for. False when a handler or InterruptionFd could not be made.
bool InstallInterruptionHandlers();

/// The first of those signals to arrive, or 0 while none has.
int InterruptSignal();

/// Readable (poll) from the first of those signals on, and stays so; -1 before
/// InstallInterruptionHandlers.
int InterruptionFd();

/// Blocks SIGTSTP, SIGTTIN and SIGTTOU in the calling thread, and so in every thread it starts
/// afterwards, and opens StopRequestFd for them. A stop taken while a thread waits in usblp
/// wakes every writer with EINTR, whichever thread took it, and usblp may then drop or repeat
/// a piece: so the program holds them in all its threads and stops itself (StopProcess) once
/// its writers are between pieces. False when they could not be held or StopRequestFd not be
/// made.
bool HoldStopSignals();

/// Readable (poll) while a held stop signal is pending; -1 before HoldStopSignals.
int StopRequestFd();

/// Takes one pending stop signal without waiting; true when there was one.
bool TakeStopRequest();

/// Stops the whole process as the stop signal would have; returns once it is continued.
void StopProcess();

}  // namespace orlup
