// Ctrl-C and termination requests as a request to stop, which every printer write obeys at once.
#pragma once

namespace orlup {

/// Makes SIGINT and SIGTERM, instead of ending the program, record themselves and cut short
/// every printer write in progress on any thread, which then fails with
/// ErrorCode::OperationAborted within milliseconds, even against a printer that takes nothing.
/// The handlers restart no interrupted call, so the program's own waits end too. They replace
/// whatever the parent left, an ignored or blocked signal included (for the calling thread and
/// the threads it starts afterwards). False when a handler could not be installed.
bool InstallInterruptionHandlers();

/// The first of those signals to arrive, or 0 while none has.
int InterruptSignal();

}  // namespace orlup
