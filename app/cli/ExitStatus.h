// The exit statuses of orlup-cli, the same for every command, so that a script can branch on them.
#pragma once

namespace orlup::ExitStatus {

constexpr int Done = 0;             // every printer flashed took the whole image
constexpr int TransferFailed = 1;   // a transfer failed, or a command's own work did
constexpr int Usage = 2;            // a bad command line
constexpr int NoPrinter = 3;        // no printer of the model attached, or the wait ran out
constexpr int ImageRefused = 4;     // the image was refused before any printer was touched
constexpr int NoUsablePrinter = 5;  // printers attached, but none that may be flashed now

/// A signal cut a transfer, or the wait for a printer, short.
constexpr int Interrupted(int signalNumber) { return 128 + signalNumber; }

}  // namespace orlup::ExitStatus
