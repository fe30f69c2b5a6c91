// The flash history: every attempt as one JSON line of a file that several programs append to.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <mutex>
#include <string>

#include "update/AttemptRecord.h"

namespace orlup {

/// The system's safe append of one record line to the file at path: 0, or the error code.
using LineAppender = std::function<uint32_t(const std::string& path, const std::string& line)>;

class HistoryFile : public AttemptRecorder {
public:
    /// An empty path keeps no history. program starts the one warning given on err.
    HistoryFile(std::string path, LineAppender append, std::string program, std::ostream& err);

    /// Appends the record at once, from any thread; a history that cannot be written is told
    /// once and otherwise ignored.
    void Record(const AttemptRecord& record) override;

private:
    void Warn(const std::string& why);

    std::string path_;
    LineAppender append_;
    std::string program_;
    std::ostream& err_;
    std::mutex mutex_;
    bool warned_ = false;
};

/// The record as its line of the history, newline included. Paths and USB strings need not be
/// UTF-8: what is not becomes U+FFFD, so that the line stays JSON.
std::string HistoryLine(const AttemptRecord& record);

/// "history": the records of the file at path as a table, or as JSON Lines; lines that are no
/// record are skipped and counted on err.
void PrintHistory(const std::string& path, bool json, std::ostream& out, std::ostream& err);

/// ISO 8601 in UTC, to the second or to the millisecond.
std::string UtcTimestamp(std::chrono::system_clock::time_point time, bool milliseconds = false);

}  // namespace orlup
