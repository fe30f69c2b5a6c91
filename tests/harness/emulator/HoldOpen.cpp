// Preloaded into orlup-cli: opening a printer node while the file ORLUP_HOLD names exists, it
// deletes the file and waits until the harness, having swapped the printer, makes it again.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdlib>
#include <cstring>

extern "C" int open(const char* path, int flags, ...) {
    const char* hold = std::getenv("ORLUP_HOLD");
    if (hold != nullptr && std::strncmp(path, "/dev/usb/lp", 11) == 0 && unlink(hold) == 0) {
        while (unlink(hold) != 0) usleep(20000);
    }
    va_list args;
    va_start(args, flags);
    const mode_t mode = (flags & O_CREAT) != 0 ? va_arg(args, mode_t) : 0;
    va_end(args);
    using Open = int (*)(const char*, int, ...);
    static const auto next = reinterpret_cast<Open>(dlsym(RTLD_NEXT, "open"));
    return next(path, flags, mode);
}
