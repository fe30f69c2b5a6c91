// The whole of orlup-cli behind main(): the command line and the commands it names.
#include "RunCli.h"

#include <getopt.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ostream>

#include "FlashCommand.h"
#include "History.h"
#include "ImageDigest.h"
#include "PrinterListing.h"
#include "Version.h"
#include "platform/linux/LinuxErrors.h"
#include "text/ErrorText.h"

namespace orlup {

namespace {

const char* const Usage =
    "usage: orlup-cli [--simulate[=stall|unplug]] list [--json]\n"
    "       orlup-cli [--simulate[=stall|unplug]] flash [--printer ID | --all] [--sha256 HEX] "
    "IMAGE\n"
    "       orlup-cli history\n"
    "       orlup-cli -h|--help\n"
    "       orlup-cli -V|--version\n"
    "\n"
    "Set the printer's rotary switch to position 4 and re-power it before flashing.\n";

int BadCommandLine(const CliContext& context, const std::string& problem) {
    context.err << "orlup-cli: " << Printable(problem) << '\n' << Usage;
    return 2;
}

// The option getopt_long turned down, for the message.
std::string Rejected(char** argv) {
    return std::string("bad option or missing value: ") + argv[optind - 1];
}

// The file-name rule needs a folder part: "0493fw.hex" typed in the image's own folder would
// otherwise be refused.
bool MakeAbsolute(std::string* path, const CliContext& context) {
    if (path->empty() || path->front() == '/') return true;
    const std::unique_ptr<char, decltype(&std::free)> folder(getcwd(nullptr, 0), &std::free);
    if (folder == nullptr) {
        context.err << "orlup-cli: the current folder cannot be told: "
                    << ErrorText(ErrorCodeFromErrno(errno)) << '\n';
        return false;
    }
    *path = std::string(folder.get()) + "/" + *path;
    return true;
}

int List(int argc, char** argv, CliPlatform& platform, const CliContext& context) {
    static const option Options[] = {{"json", no_argument, nullptr, 'j'}, {}};
    bool json = false;
    for (int c; (c = getopt_long(argc, argv, "", Options, nullptr)) != -1;) {
        if (c != 'j') return BadCommandLine(context, Rejected(argv));
        json = true;
    }
    if (optind != argc) return BadCommandLine(context, "list takes no operand");
    const std::shared_ptr<DeviceFileApi> ports = platform.MakePorts();
    if (ListPrinters(platform.Devices().ListUsbDevices(), *ports, json, context.out) > 0) return 0;
    context.err << "No Ilvaran or Ilvaran-II printers attached\n";
    return 3;
}

int Flash(int argc, char** argv, CliPlatform& platform, const CliContext& context) {
    static const option Options[] = {{"printer", required_argument, nullptr, 'p'},
                                     {"all", no_argument, nullptr, 'a'},
                                     {"sha256", required_argument, nullptr, 's'},
                                     {}};
    FlashRequest request;
    for (int c; (c = getopt_long(argc, argv, "", Options, nullptr)) != -1;) {
        if (c == 'p') {
            request.printerId = optarg;
        } else if (c == 'a') {
            request.all = true;
        } else if (c != 's') {
            return BadCommandLine(context, Rejected(argv));
        } else if (!ParseSha256(optarg, &request.sha256)) {
            return BadCommandLine(context, "--sha256 takes 64 hexadecimal digits");
        }
    }
    if (optind + 1 != argc) return BadCommandLine(context, "flash takes one IMAGE");
    if (request.all && !request.printerId.empty()) {
        return BadCommandLine(context, "--printer and --all exclude each other");
    }
    request.image = argv[optind];
    if (!MakeAbsolute(&request.image, context)) return 1;
    return RunFlash(request, platform, context);
}

}  // namespace

int RunCli(int argc, char** argv, const CliContext& context) {
    static const option Options[] = {{"help", no_argument, nullptr, 'h'},
                                     {"version", no_argument, nullptr, 'V'},
                                     {"simulate", optional_argument, nullptr, 's'},
                                     {}};
    std::optional<SimulatedPrinters::Trouble> simulate;
    // getopt_long keeps its place in globals: 0 makes it start over, as every call must.
    optind = 0;
    opterr = 0;
    for (int c; (c = getopt_long(argc, argv, "+hV", Options, nullptr)) != -1;) {
        SimulatedPrinters::Trouble trouble{};
        if (c == 'h') {
            context.out << Usage;
            return 0;
        }
        if (c == 'V') {
            context.out << "orlup-cli " ORLUP_VERSION "\n";
            return 0;
        }
        if (c != 's') return BadCommandLine(context, Rejected(argv));
        if (!SimulatedPrinters::ParseTrouble(optarg != nullptr ? optarg : "", &trouble)) {
            return BadCommandLine(context, "--simulate takes stall or unplug");
        }
        simulate = trouble;
    }
    if (optind == argc) return BadCommandLine(context, "no command given");
    const std::string command = argv[optind];
    // The command's own options are parsed as a command line of their own, the command first.
    const int commandArgc = argc - optind;
    char** const commandArgv = argv + optind;
    optind = 0;
    if (command == "history") {
        if (commandArgc != 1) return BadCommandLine(context, "history takes no operand");
        if (context.historyPath.empty()) {
            context.err << "orlup-cli: no history without HOME or XDG_STATE_HOME\n";
            return 1;
        }
        PrintHistory(context.historyPath, context.out, context.err);
        return 0;
    }
    if (command != "list" && command != "flash") {
        return BadCommandLine(context, "unknown command " + command);
    }
    const std::unique_ptr<CliPlatform> platform = context.platform(simulate);
    if (command == "list") {
        const int status = List(commandArgc, commandArgv, *platform, context);
        // Ctrl-C no longer ends the program by itself once it is caught for the transfers.
        const int signal = context.CaughtSignal();
        return signal != 0 ? 128 + signal : status;
    }
    return Flash(commandArgc, commandArgv, *platform, context);
}

}  // namespace orlup
