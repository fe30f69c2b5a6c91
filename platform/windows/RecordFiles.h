// The flash history's file on Windows: where it is kept, and a safe append of one record to it.
#pragma once

#include <cstdint>
#include <string>

namespace orlup {

/// %LOCALAPPDATA%\Orlup\history.jsonl in UTF-8, from the variable's value (null when unset);
/// empty when that is unset, empty or no absolute path.
std::string HistoryPath(const wchar_t* localAppData);

/// Appends line to the file at the UTF-8 path, making its folders as needed: under a lock that
/// every appending program takes, after a newline when the file's last record lacks its own,
/// and undone when the write fails or falls short. 0, or the Windows error code.
uint32_t AppendRecordLine(const std::string& path, const std::string& line);

}  // namespace orlup
