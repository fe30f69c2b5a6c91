// The guest's helper program: plays a printer, empties a gadget, or starts a program as a
// terminal's shell starts a job.
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

#include "EmulatedPrinter.h"

namespace {

using orlup::harness::ServeOptions;

const char* const Usage =
    "usage: printer-emulator serve [--fresh] GADGET UDC IMAGE [stall|unplug BYTES]\n"
    "       printer-emulator drain GADGET\n"
    "       printer-emulator job PIDFILE PROGRAM [ARGUMENT]...\n";

bool ParseTrouble(const char* kind, const char* bytes, ServeOptions* options) {
    char* end = nullptr;
    options->trouble = kind;
    options->troubleAfter = std::strtoull(bytes, &end, 10);
    return (options->trouble == "stall" || options->trouble == "unplug") &&
           std::isdigit(static_cast<unsigned char>(*bytes)) && *end == '\0';
}

// As a terminal's shell starts a job: a process group of its own, whose parent stays in the
// same session, so that a stop signal is not discarded as it is for an orphaned group (the
// guest's own group is one). A non-interactive shell starts every background job with SIGINT
// and SIGQUIT ignored, and a program inherits that: undone. The job's pid goes to PIDFILE for
// the signals; the exit status is the job's, or 128 and the signal that ended it.
int RunAsJob(const char* pidFile, char** argv) {
    setsid();
    const pid_t job = fork();
    if (job == 0) {
        setpgid(0, 0);
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGQUIT, SIG_DFL);
        execvp(argv[0], argv);
        std::cerr << "printer-emulator: cannot run " << argv[0] << "\n";
        _exit(127);
    }
    if (job < 0) return 127;
    std::ofstream(pidFile) << job << std::endl;
    int status = 0;
    while (waitpid(job, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    const bool fresh = mode == "serve" && argc > 2 && std::string(argv[2]) == "--fresh";
    char** const words = argv + (fresh ? 3 : 2);
    const int count = argc - (fresh ? 3 : 2);
    if (mode == "serve" && (count == 3 || count == 5)) {
        ServeOptions options{words[0], words[1], words[2], "", 0, !fresh};
        if (count == 3 || ParseTrouble(words[3], words[4], &options)) {
            return orlup::harness::ServePrinter(options);
        }
    }
    if (mode == "drain" && argc == 3) return orlup::harness::DrainGadget(argv[2]);
    if (mode == "job" && argc > 3) return RunAsJob(argv[2], argv + 3);
    std::cerr << Usage;
    return 2;
}
