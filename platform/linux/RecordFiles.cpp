// Files of records that several processes append to, one line each, and where they live.
#include "platform/linux/RecordFiles.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/linux/FileWrites.h"
#include "platform/linux/LinuxErrors.h"
#include "platform/linux/UniqueFd.h"
#include "text/ErrorCodes.h"

namespace orlup {

namespace {

// Another orlup holds the lock for one write; one that is stopped or hung must not hold a flash
// up for more than a few seconds.
constexpr int LockTries = 400;
constexpr std::chrono::milliseconds LockRetry{5};

bool IsAbsolute(const char* path) { return path != nullptr && path[0] == '/'; }

// Folders that exist keep their modes: only the ones made here are private.
bool MakeFolders(const std::string& path) {
    for (auto slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        if (mkdir(path.substr(0, slash).c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    return true;
}

bool Lock(int fd) {
    for (int tries = 1; flock(fd, LOCK_EX | LOCK_NB) != 0; ++tries) {
        if (errno != EWOULDBLOCK || tries == LockTries) return false;
        std::this_thread::sleep_for(LockRetry);
    }
    return true;
}

// True when the file is empty or ends a line. A last byte that cannot be read (an empty file's,
// at offset -1, included) counts as a line's end: at worst a line stays empty, which glues no
// records together.
bool EndsALine(int fd, off_t size) {
    char last = '\n';
    [[maybe_unused]] const ssize_t read = pread(fd, &last, sizeof last, size - 1);
    return last == '\n';
}

}  // namespace

std::string HistoryPath(const char* xdgStateHome, const char* stateDirectory, const char* home) {
    if (IsAbsolute(xdgStateHome)) return std::string(xdgStateHome) + "/orlup/history.jsonl";
    if (IsAbsolute(stateDirectory)) {
        const std::string folders(stateDirectory);
        return folders.substr(0, folders.find(':')) + "/history.jsonl";
    }
    if (IsAbsolute(home)) return std::string(home) + "/.local/state/orlup/history.jsonl";
    return "";
}

// O_NONBLOCK: a FIFO put in the file's place must not hold the flash up; read as well as
// written, for the last byte.
uint32_t AppendRecordLine(const std::string& path, const std::string& line) {
    if (!MakeFolders(path)) return LastErrnoCode();
    const UniqueFd fd(
        open(path.c_str(),
             O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK, 0600));
    struct stat status {};
    if (!fd.IsValid() || fstat(fd.Get(), &status) != 0) return LastErrnoCode();
    if (!S_ISREG(status.st_mode)) return ErrorCode::AccessDenied;
    if (!Lock(fd.Get())) return LastErrnoCode();
    // The size under the lock: another process may have appended since the open.
    if (fstat(fd.Get(), &status) != 0) return LastErrnoCode();
    const std::string text = EndsALine(fd.Get(), status.st_size) ? line : "\n" + line;
    const uint32_t error = WriteFully(fd.Get(), text.data(), text.size());
    // Half a line would glue the next record onto it: the file goes back to its size before.
    if (error != 0) ftruncate(fd.Get(), status.st_size);
    return error;
}

}  // namespace orlup
