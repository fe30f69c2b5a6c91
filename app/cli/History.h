// The record of every flash attempt that orlup-cli made, one JSON line each.
#pragma once

#include <cstdint>
#include <ctime>
#include <iosfwd>
#include <string>

namespace orlup {

struct HistoryEntry {
    std::string time;  // ISO 8601, UTC
    std::string model;
    std::string serial;
    std::string busPort;
    std::string image;
    uint64_t size = 0;
    std::string sha256;
    uint64_t bytesSent = 0;
    std::string result;  // "done", or the message that ended the attempt
};

/// $XDG_STATE_HOME/orlup/history.jsonl, else ~/.local/state/orlup/history.jsonl; empty when
/// neither variable names an absolute folder.
std::string HistoryPath(const char* xdgStateHome, const char* home);

std::string UtcTimestamp(std::time_t time);

class HistoryFile {
public:
    HistoryFile(std::string path, std::ostream& err);

    /// Appends the entry as one line, creating the folders (0700) and the file (0600) when
    /// missing. A history that cannot be written is told once on err and otherwise ignored:
    /// it must never stop a flash.
    void Append(const HistoryEntry& entry);

private:
    std::string path_;
    std::ostream& err_;
    bool warned_ = false;
};

/// "orlup-cli history": the entries as a table; lines that are no entry are skipped and counted.
void PrintHistory(const std::string& path, std::ostream& out, std::ostream& err);

}  // namespace orlup
