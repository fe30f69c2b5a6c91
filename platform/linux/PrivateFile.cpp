// A temporary file that no other program can reach, wherever the system lets one be made.
#include "platform/linux/PrivateFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/linux/LinuxErrors.h"
#include "platform/linux/StandardDescriptors.h"
#include "text/ErrorText.h"

namespace orlup {

namespace {

std::vector<std::string> TemporaryFolders() {
    std::vector<std::string> folders;
    const char* tmpdir = std::getenv("TMPDIR");
    if (tmpdir != nullptr && *tmpdir != '\0') folders.emplace_back(tmpdir);
    for (const char* folder : {"/tmp", "/var/tmp"}) {
        if (std::find(folders.begin(), folders.end(), folder) == folders.end()) {
            folders.emplace_back(folder);
        }
    }
    return folders;
}

// Unlinked from the start and never linkable (O_EXCL).
UniqueFd CreateUnnamedFile(const std::string& folder) {
    return UniqueFd(open(folder.c_str(), O_TMPFILE | O_EXCL | O_RDWR | O_CLOEXEC, 0600));
}

// A name in a folder that only this user can enter, made afresh with a name nobody could take
// first; the name is gone before anything is written, so no other program opens the file by
// it.
UniqueFd CreateNamedFile(const std::string& folder) {
    std::string privateFolder = folder + "/orlup-XXXXXX";
    if (mkdtemp(privateFolder.data()) == nullptr) return UniqueFd();
    const std::string name = privateFolder + "/image";
    UniqueFd fd(open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    const int openErrno = errno;
    if (fd.IsValid()) unlink(name.c_str());
    rmdir(privateFolder.c_str());
    errno = openErrno;
    return fd;
}

}  // namespace

UniqueFd CreatePrivateFile(bool withoutTmpfile, std::string* problem) {
    std::string tried;
    int lastErrno = 0;
    for (const std::string& folder : TemporaryFolders()) {
        // Whatever O_TMPFILE's failure (EOPNOTSUPP, EISDIR from a kernel that opened the folder
        // itself, EINVAL...), a named file tells best whether the folder takes any file.
        UniqueFd fd = withoutTmpfile ? UniqueFd() : CreateUnnamedFile(folder);
        if (!fd.IsValid()) fd = CreateNamedFile(folder);
        if (fd.IsValid()) fd = AboveStandardDescriptors(std::move(fd));
        if (fd.IsValid()) return fd;
        lastErrno = errno;
        tried += (tried.empty() ? "" : ", ") + folder;
    }
    *problem = tried + ": " + ErrorText(FileErrorFromErrno(lastErrno));
    return UniqueFd();
}

}  // namespace orlup
