// Descriptors 0-2 belong to the terminal and nothing else, whatever state the program starts in.
#include "platform/linux/StandardDescriptors.h"

#include <fcntl.h>
#include <signal.h>

#include <cerrno>

namespace orlup {

namespace {

constexpr int FirstFreeDescriptor = 3;

// The lowest free number is the one being filled. Without /dev/null (a bare chroot) the root
// folder still holds the number: a descriptor opened for its path alone reads and writes nothing.
void FillLowestDescriptor() {
    if (open("/dev/null", O_RDWR) < 0) open("/", O_PATH);
}

}  // namespace

void EnsureStandardDescriptors() {
    // In order, so that each one filled is the lowest free.
    for (int fd = 0; fd < FirstFreeDescriptor; ++fd) {
        if (fcntl(fd, F_GETFD) < 0 && errno == EBADF) FillLowestDescriptor();
    }
    signal(SIGPIPE, SIG_IGN);
}

UniqueFd AboveStandardDescriptors(UniqueFd fd) {
    if (!fd.IsValid() || fd.Get() >= FirstFreeDescriptor) return fd;
    // The low number closes as fd goes, which leaves errno as a failed fcntl set it.
    return UniqueFd(fcntl(fd.Get(), F_DUPFD_CLOEXEC, FirstFreeDescriptor));
}

}  // namespace orlup
