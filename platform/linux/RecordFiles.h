// Files of records that several processes append to, one line each, and where they live.
#pragma once

#include <cstdint>
#include <string>

namespace orlup {

/// $XDG_STATE_HOME/orlup/history.jsonl; else $STATE_DIRECTORY/history.jsonl (the first of its
/// colon-separated folders, as systemd sets it for a service's StateDirectory=); else
/// $HOME/.local/state/orlup/history.jsonl. A value that is not an absolute path counts as
/// unset; empty when none is left.
std::string HistoryPath(const char* xdgStateHome, const char* stateDirectory, const char* home);

/// Appends line, which ends in '\n', to the regular file at path, making the missing folders
/// (0700) and the file (0600). Processes appending side by side never mix their lines; a line
/// that another left without its end is ended first, and a line that does not fit is taken back
/// whole. Returns 0 or the error code (ErrorCode::DiskFull for a full disk or quota,
/// ErrorCode::AccessDenied for anything but a regular file). Never waits long: a FIFO in the
/// file's place fails at once, a lock held for seconds with ErrorCode::Busy.
uint32_t AppendRecordLine(const std::string& path, const std::string& line);

}  // namespace orlup
