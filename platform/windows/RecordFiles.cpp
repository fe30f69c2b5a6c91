// The flash history's file on Windows: where it is kept, and a safe append of one record to it.
#include "platform/windows/RecordFiles.h"

#include <windows.h>

#include <filesystem>

#include "platform/windows/UniqueHandle.h"
#include "platform/windows/WideText.h"

namespace orlup {

namespace {

// The lock is one byte far beyond any history's end: Windows' locks are mandatory, and one over
// the records would fail the reads of a program showing the history meanwhile.
OVERLAPPED LockedByte() {
    OVERLAPPED at{};
    at.OffsetHigh = 0x40000000;
    return at;
}

class AppendLock {
public:
    explicit AppendLock(HANDLE file) : file_(file), at_(LockedByte()) {
        held_ = LockFileEx(file_, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at_) != FALSE;
    }
    ~AppendLock() {
        if (held_) UnlockFileEx(file_, 0, 1, 0, &at_);
    }
    AppendLock(const AppendLock&) = delete;
    AppendLock& operator=(const AppendLock&) = delete;
    bool held() const { return held_; }

private:
    HANDLE file_;
    OVERLAPPED at_;
    bool held_ = false;
};

OVERLAPPED At(uint64_t offset) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return at;
}

bool EndsInNewline(HANDLE file, uint64_t size) {
    char last = '\n';
    DWORD read = 0;
    OVERLAPPED at = At(size - 1);
    return size == 0 || !ReadFile(file, &last, 1, &read, &at) || read != 1 || last == '\n';
}

}  // namespace

std::string HistoryPath(const wchar_t* localAppData) {
    if (localAppData == nullptr || !std::filesystem::path(localAppData).is_absolute()) return "";
    return Utf8FromWide(localAppData) + "\\Orlup\\history.jsonl";
}

uint32_t AppendRecordLine(const std::string& path, const std::string& line) {
    const std::filesystem::path file(WideFromUtf8(path));
    std::error_code ignored;  // a folder that cannot be made fails the open, which tells why
    std::filesystem::create_directories(file.parent_path(), ignored);
    const UniqueHandle history(CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                           nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!history.IsValid()) return GetLastError();
    const AppendLock lock(history.Get());
    if (!lock.held()) return GetLastError();
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(history.Get(), &size)) return GetLastError();
    const auto end = static_cast<uint64_t>(size.QuadPart);
    // A record another program left without its newline, when it was cut short, gets one, so
    // that this record is a line of its own.
    const std::string text = (EndsInNewline(history.Get(), end) ? "" : "\n") + line;
    DWORD written = 0;
    OVERLAPPED at = At(end);
    const BOOL wrote =
        WriteFile(history.Get(), text.data(), static_cast<DWORD>(text.size()), &written, &at);
    if (wrote && written == text.size()) return 0;
    // A synchronous write to a disk file falls short only when the disk is full.
    const DWORD error = wrote ? ERROR_DISK_FULL : GetLastError();
    LARGE_INTEGER cut{};
    cut.QuadPart = size.QuadPart;
    if (SetFilePointerEx(history.Get(), cut, nullptr, FILE_BEGIN)) SetEndOfFile(history.Get());
    return error;
}

}  // namespace orlup
