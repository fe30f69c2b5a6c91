// The whole of orlup-cli behind main(): the command line and the commands it names.
#include "RunCli.h"

#include <getopt.h>

#include <cctype>
#include <filesystem>
#include <ostream>

#include "ExitStatus.h"
#include "FlashCommand.h"
#include "HistoryFile.h"
#include "PrinterListing.h"
#include "StationCommand.h"
#include "Version.h"
#include "text/SystemTerms.h"
#include "update/ImageDigest.h"

namespace orlup {

namespace {

const char* const Usage =
    "usage: orlup-cli [--simulate[=stall|unplug]] list [--json]\n"
    "       orlup-cli [--simulate[=stall|unplug]] flash [--printer ID | --all] [--sha256 HEX]\n"
    "                 [--wait[=SECONDS]] [--json] IMAGE\n"
    "       orlup-cli [--simulate[=stall|unplug]] station [--sha256 HEX] [--json] IMAGE\n"
    "       orlup-cli history [--json]\n"
    "       orlup-cli -h|--help\n"
    "       orlup-cli -V|--version\n"
    "\n"
    "Set the printer's rotary switch to position 4 and re-power it before flashing.\n"
    "\n"
    "Exit status: 0 every printer flashed, 1 a transfer failed, 2 a bad command line,\n"
    "3 no printer of the model (or the wait ran out), 4 the image was refused,\n"
    "5 no usable printer (busy, access denied, several, another model),\n";

void PrintUsage(std::ostream& out) {
    out << Usage << "129/130/143 interrupted by " << SystemTerms::Interruptions << ".\n";
}

int BadCommandLine(const CliContext& context, const std::string& problem) {
    context.err << "orlup-cli: " << Printable(problem) << '\n';
    PrintUsage(context.err);
    return ExitStatus::Usage;
}

// The option getopt_long turned down, for the message.
std::string Rejected(char** argv) {
    return std::string("bad option or missing value: ") + argv[optind - 1];
}

// The file-name rule needs a folder part: "0493fw.hex" typed in the image's own folder would
// otherwise be refused. Paths are UTF-8 on every system, and Windows' rule takes the backslash
// alone, which "C:/fw/0493.hex" typed by hand would lack.
bool MakeAbsolute(std::string* path, const CliContext& context) {
    if (path->empty()) return true;
    std::filesystem::path given;
    try {
        given = std::filesystem::u8path(*path).make_preferred();
    } catch (const std::filesystem::filesystem_error&) {
        return true;  // no UTF-8, which Windows cannot convert: left as given
    }
    if (given.is_absolute()) {
        *path = given.u8string();
        return true;
    }
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::current_path(error);
    if (error) {
        context.err << "orlup-cli: the current folder cannot be told: " << error.message() << '\n';
        return false;
    }
    *path = (folder / given).u8string();
    return true;
}

// --wait's seconds: digits only, so that "-1" or "5s" is a mistake rather than a guess.
bool ParseSeconds(const char* text, std::chrono::seconds* seconds) {
    if (text == nullptr) {
        *seconds = std::chrono::seconds(-1);
        return true;
    }
    std::string digits = text;
    if (digits.empty() || digits.size() > 9) return false;
    for (const char c : digits) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    }
    *seconds = std::chrono::seconds(std::stol(digits));
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
    return ExitStatus::NoPrinter;
}

int Flash(int argc, char** argv, CliPlatform& platform, const CliContext& context) {
    static const option Options[] = {{"printer", required_argument, nullptr, 'p'},
                                     {"all", no_argument, nullptr, 'a'},
                                     {"sha256", required_argument, nullptr, 's'},
                                     {"wait", optional_argument, nullptr, 'w'},
                                     {"json", no_argument, nullptr, 'j'},
                                     {}};
    FlashRequest request;
    for (int c; (c = getopt_long(argc, argv, "", Options, nullptr)) != -1;) {
        std::chrono::seconds wait{};
        if (c == 'p') {
            // An empty name, as an unset shell variable gives, would otherwise mean "any printer".
            if (*optarg == '\0') {
                return BadCommandLine(context, "--printer takes a serial, bus-port or node");
            }
            request.printerId = optarg;
        } else if (c == 'a') {
            request.all = true;
        } else if (c == 'j') {
            request.json = true;
        } else if (c == 'w' && ParseSeconds(optarg, &wait)) {
            request.wait = wait;
        } else if (c == 'w') {
            return BadCommandLine(context, "--wait takes a number of seconds");
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
    if (!MakeAbsolute(&request.image, context)) return ExitStatus::ImageRefused;
    return RunFlash(request, platform, context);
}

int Station(int argc, char** argv, CliPlatform& platform, const CliContext& context) {
    static const option Options[] = {{"sha256", required_argument, nullptr, 's'},
                                     {"json", no_argument, nullptr, 'j'},
                                     {}};
    StationRequest request;
    for (int c; (c = getopt_long(argc, argv, "", Options, nullptr)) != -1;) {
        if (c == 'j') {
            request.json = true;
        } else if (c != 's') {
            return BadCommandLine(context, Rejected(argv));
        } else if (!ParseSha256(optarg, &request.sha256)) {
            return BadCommandLine(context, "--sha256 takes 64 hexadecimal digits");
        }
    }
    if (optind + 1 != argc) return BadCommandLine(context, "station takes one IMAGE");
    request.image = argv[optind];
    if (!MakeAbsolute(&request.image, context)) return ExitStatus::ImageRefused;
    return RunStation(request, platform, context);
}

int History(int argc, char** argv, const CliContext& context) {
    static const option Options[] = {{"json", no_argument, nullptr, 'j'}, {}};
    bool json = false;
    for (int c; (c = getopt_long(argc, argv, "", Options, nullptr)) != -1;) {
        if (c != 'j') return BadCommandLine(context, Rejected(argv));
        json = true;
    }
    if (optind != argc) return BadCommandLine(context, "history takes no operand");
    if (context.historyPath.empty()) {
        context.err << "orlup-cli: no history without " << SystemTerms::HistoryVariables << '\n';
        return ExitStatus::TransferFailed;
    }
    PrintHistory(context.historyPath, json, context.out, context.err);
    return ExitStatus::Done;
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
            PrintUsage(context.out);
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
    if (command == "history") return History(commandArgc, commandArgv, context);
    if (command != "list" && command != "flash" && command != "station") {
        return BadCommandLine(context, "unknown command " + command);
    }
    const std::unique_ptr<CliPlatform> platform = context.platform(simulate);
    if (command == "list") {
        const int status = List(commandArgc, commandArgv, *platform, context);
        // Ctrl-C no longer ends the program by itself once it is caught for the transfers.
        const int signal = context.CaughtSignal();
        return signal != 0 ? ExitStatus::Interrupted(signal) : status;
    }
    if (command == "station") return Station(commandArgc, commandArgv, *platform, context);
    return Flash(commandArgc, commandArgv, *platform, context);
}

}  // namespace orlup
