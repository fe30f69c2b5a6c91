// orlup-cli through its real parser and commands, against scripted printers.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "RunCli.h"
#include "fakes/FakePlatform.h"
#include "text/ErrorCodes.h"
#include "text/ErrorText.h"
#include "update/FlashTexts.h"

namespace orlup {
namespace {

using test::FakePlatform;
using testing::HasSubstr;
using Strings = std::vector<std::string>;
using Json = nlohmann::json;

const std::string Image = "/img/0493.hex";
const std::string Digest = "d1a1df45323befde895eb7ece39f76c37ceebc8207058c74be093c7735134f82";
const std::string Done = "SN1/1-1: done, 2500 bytes, sha256 " + Digest + "\n";
const std::string Completion = FlashTexts::Completion;

using Maker = std::function<std::shared_ptr<FakePlatform>()>;

// Port and image objects come from make: the one fake, or for the threads of --all a copy each.
struct FakeCliPlatform : CliPlatform {
    FakeCliPlatform(FakePlatform& devices, Maker make) : devices(devices), make(std::move(make)) {}
    UsbDeviceSource& Devices() override { return devices; }
    std::shared_ptr<DeviceFileApi> MakePorts() override { return make(); }
    std::shared_ptr<ImageFileApi> MakeImages() override { return make(); }
    FakePlatform& devices;
    Maker make;
};

class CliTest : public testing::Test {
protected:
    CliTest() {
        Printer("1-1", "SN1", "/dev/usb/lp0");
        fake.AddImage(Image).bytes.assign(2500, 0x5A);
        fake.AddImage("/img/0493-20k.hex").bytes.assign(20480, 1);
        fake.AddImage("/img/0493b.hex") = {{1, 2}, 0, 0, 0, 0, ErrorCode::GenFailure, 0};
    }
    ~CliTest() override { std::filesystem::remove_all(folder); }

    test::FakeDevice& Printer(const std::string& port, const std::string& serial,
                              const std::string& node = "", uint16_t id = 0x200A) {
        fake.AddDevice(port, 0x044E, id).record = {port, "", 0x044E, id, serial, port, node};
        return fake.Device(port);
    }

    int Run(Strings args, bool terminal = false) {
        out.str(""), err.str(""), signalChecks = 0;
        args.insert(args.begin(), "orlup-cli");
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        CliContext context(out, err,
                           [this](auto) { return std::make_unique<FakeCliPlatform>(fake, make); });
        context.terminal = terminal;
        context.period = period;
        context.historyPath = historyPath;
        // The signal arrives once the program has looked for one that many times; with -1 the
        // transfer threads never see it, only the summary after them.
        context.interruptSignal = [this, main = std::this_thread::get_id()] {
            if (signalAfter < 0) return std::this_thread::get_id() == main ? signal : 0;
            return ++signalChecks > signalAfter ? signal : 0;
        };
        return RunCli(static_cast<int>(argv.size()), argv.data(), context);
    }

    FakePlatform fake;
    Maker make = [this] { return Borrow(fake); };
    std::ostringstream out, err;
    std::string folder = testing::TempDir() + "orlup-cli-" + std::to_string(getpid());
    std::string historyPath = folder + "/state/orlup/history.jsonl";
    int signal = 0, signalAfter = 0;
    std::atomic<int> signalChecks{0};
    std::chrono::microseconds period{0};
};

// Each attempt past the command line is recorded, and history shows the records as a table.
TEST_F(CliTest, CommandLinesEndWithTheirExitStatusAndHistoryRecordsEachAttempt) {
    const std::string hostile = "/img/0493\"\n\xfe.hex";
    fake.AddImage(hostile).bytes.assign(1, 'Z');  // one byte: a read of one is hashed too
    const std::string digestOfZ = "bbeebd879e1dff6918546dc0c179fdde505f2a21591c9a9c96e36b054ec5af83";
    const std::string notOpened = "1 Ilvaran printer could not be opened: access denied - add";
    // Without a terminal, a line at each tenth.
    const std::string flashed = "0% 0/2500 bytes\n40% 1024/2500 bytes\n81% 2048/2500 bytes\n100% " +
                                ("2500/2500 bytes\n" + Completion + "\n" + Done);
    const std::string readFailed = ErrorText(ErrorCode::GenFailure);
    const std::string tenths = "0% 0/20480 bytes\n10% 2048/20480 bytes\n20% 4096/";
    // Arguments, exit status, a part of standard output and error, the bytes the printer got, and
    // the error its open fails with: 5 access denied, 50 no driver bound.
    const std::tuple<Strings, int, std::string, std::size_t, uint32_t> cases[] = {
        {{"flash", Image, "--sha256", "D1A1" + Digest.substr(4)}, 0, flashed, 2509, 0},
        {{"flash", "--sha256", std::string(64, '0'), Image}, 1, "nothing was sent\n", 0, 0},
        {{"flash", "/img/0493-missing.hex"}, 1, "", 0, 0},
        {{"flash", "--sha256", Digest, "/img/0493b.hex"}, 1, readFailed, 0, 0},
        {{"flash", Image}, 1, notOpened, 0, 5},
        {{"flash", "--all", Image}, 1, notOpened, 0, 5},
        {{"flash", "/img/0493-20k.hex"}, 0, tenths, 20489, 0},
        {{"flash", Image}, 1, "opened: " + ErrorText(ErrorCode::NotSupported) + "\n", 0, 50},
        {{"flash", "--sha256", digestOfZ, hostile}, 0, "done, 1 bytes", 10, 0},
        {{"flash", "--printer", "SN9", Image}, 1, "printer is known as SN9", 0, 0},
        // A name of no model is told as the dialog tells it, before any other check.
        {{"flash", "--all", "--sha256", Digest, "/img/0491.hex"}, 1, FlashTexts::BadFileName, 0, 0},
    };
    for (const auto& [args, status, shown, sent, openError] : cases) {
        fake.Device("1-1").received.clear();
        fake.Device("1-1").openError = openError;
        EXPECT_EQ(Run(args), status) << args.size();
        EXPECT_THAT(out.str() + err.str(), HasSubstr(shown));
        EXPECT_EQ(fake.Device("1-1").received.size(), sent) << err.str();
    }
    std::ifstream file(historyPath);
    std::vector<Json> lines;
    for (std::string line; std::getline(file, line);) lines.push_back(Json::parse(line));
    ASSERT_EQ(lines.size(), 11u);
    EXPECT_THAT(std::string(lines[0]["time"]), testing::MatchesRegex("[0-9-]{10}T[0-9:]{8}Z"));
    lines[0].erase("time");
    EXPECT_EQ(lines[0], Json::parse(R"({"model": "Ilvaran", "serial": "SN1", "busPort": "1-1",
        "image": "/img/0493.hex", "size": 2500, "bytesSent": 2500, "result": "done",
        "sha256": ")" + Digest + "\"}"));
    EXPECT_EQ(lines[8]["image"], "/img/0493\"\n\xEF\xBF\xBD.hex");
    EXPECT_EQ(lines[9]["result"].get<std::string>().rfind("orlup-cli: no Ilvaran", 0), 0u);
    EXPECT_EQ(lines[9]["serial"], "");

    std::ofstream(historyPath, std::ios::app) << "{\"broken\n{\"model\": 7, \"size\": \"x\"}\n";
    EXPECT_EQ(Run({"history"}), 0);
    EXPECT_THAT(out.str(), HasSubstr("-         ?/?   "));  // a record of odd types
    EXPECT_THAT(out.str(), HasSubstr("Ilvaran     SN1                 1-1       2500/2500 "
                                     "            /img/0493.hex             done\n"));
    EXPECT_THAT(out.str(), HasSubstr("/img/0493\"?\xEF\xBF\xBD.hex"));
    EXPECT_THAT(err.str(), HasSubstr("skipped 1 line"));
}

TEST_F(CliTest, FlashSumsUpAnInterruptionDrawsABarOnATerminalAndKeepsItsPace) {
    fake.Device("1-1").FailWrite(2, ErrorCode::OperationAborted);
    signal = SIGINT, signalAfter = 2;  // the second piece's write is cut short
    EXPECT_EQ(Run({"flash", Image}), 130);
    EXPECT_EQ(err.str(), FlashTexts::WriteFailed + ErrorText(ErrorCode::OperationAborted) +
                             "\nTransfer interrupted after 1024 of 2500 bytes. Re-power the "
                             "printer with the rotary switch at position 4 and flash again.\n");

    signal = 0;
    EXPECT_EQ(Run({"flash", Image}, true), 0);
    EXPECT_THAT(out.str(), HasSubstr("\r[################........................] 40% 1024/2500 "
                                     "bytes\r"));
    EXPECT_THAT(out.str(), HasSubstr("] 100% 2500/2500 bytes\n" + Completion));

    period = std::chrono::milliseconds(5);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Run({"flash", Image}), 0);
    // The command, three pieces and the stopping tick: never sooner than four periods.
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(20));
}

TEST_F(CliTest, ListShowsEachPrinterAsATableOrAsJson) {
    fake.AddDevice("mouse", 0x046D, 0xC077);
    Printer("2-1", "\x1b]2;\xff\x7f\xc2\x9b\xc2\x80\n", "", 0x1301).heldElsewhere = true;
    EXPECT_EQ(Run({"list"}), 0);
    EXPECT_EQ(out.str(),
              "MODEL       SERIAL              BUS-PORT  NODE            STATUS\n"
              "Ilvaran     SN1                 1-1       /dev/usb/lp0    ready\n"
              "Ilvaran-II  ?]2;\xff????           2-1       -               busy\n");
    EXPECT_EQ(Run({"list", "--json"}), 0);
    EXPECT_EQ(Json::parse(out.str()), Json::parse(R"([{"model": "Ilvaran", "serial": "SN1",
        "busPort": "1-1", "node": "/dev/usb/lp0", "description": "", "status": "ready"},
        {"model": "Ilvaran-II", "serial": "\u001b]2;\ufffd\u007f\u009b\u0080\n", "busPort": "2-1",
        "node": "", "description": "", "status": "busy"}])"));
    EXPECT_EQ(fake.OpenHandles(), 0);

    fake.Device("1-1").record.productId = fake.Device("2-1").record.productId = 0xC077;
    EXPECT_EQ(Run({"list", "--json"}), 3);
    EXPECT_EQ(out.str() + err.str(), "[]\nNo Ilvaran or Ilvaran-II printers attached\n");
    // Caught for the transfers, so the listing must end with it itself.
    signal = SIGINT, signalAfter = -1;
    EXPECT_EQ(Run({"list"}), 130);
}

// --printer names one printer by its serial, bus-port or node; --all flashes every free printer
// of the image's model on its own, and one that fails stops no other.
TEST_F(CliTest, PrinterNamesOnePrinterAndAllFlashesEveryFreeOne) {
    Printer("1-2", "SN2", "/dev/usb/lp1");
    Printer("1-3", "SN3", "", 0x1301);
    Printer("1-4", "SN4").heldElsewhere = true;
    Printer("1-5", "TWIN");
    Printer("1-6", "TWIN");
    const std::pair<std::string, std::string> cases[] = {
        {"SN2", ""},
        {"1-2", ""},
        {"/dev/usb/lp1", ""},
        {"SN3", "orlup-cli: printer SN3 is an Ilvaran-II, the image is for an Ilvaran\n"},
        {"1-4", "orlup-cli: printer 1-4 cannot be opened: busy - another program"},
        {"TWIN", "orlup-cli: TWIN names 2 printers; name one by its bus-port\n"}};
    for (const auto& [id, error] : cases) {
        EXPECT_EQ(Run({"flash", "--printer", id, Image}), error.empty() ? 0 : 1) << id;
        EXPECT_THAT(err.str(), testing::StartsWith(error));
        EXPECT_EQ(err.str().find('\n'), err.str().rfind('\n'));  // one line at most
        for (const std::string name : {"1-1", "1-2", "1-3", "1-4", "1-5", "1-6"}) {
            const bool named = error.empty() && name == "1-2";
            EXPECT_EQ(fake.Device(name).received.size(), named ? 2509u : 0u) << id << name;
            fake.Device(name).received.clear();
        }
    }
    fake.Device("1-2").failOpenCall = fake.Device("1-2").opens + 1;  // taken after the check
    fake.Device("1-2").failOpenError = ErrorCode::Busy;
    EXPECT_EQ(Run({"flash", "--printer", "SN2", Image}), 1);
    EXPECT_EQ(out.str(), "SN2/1-2: failed after 0 of 0 bytes - No Ilvaran printers found\n");

    fake.Device("1-2").FailWrite(fake.Device("1-2").writeCalls + 2, ErrorCode::Timeout);
    std::mutex lock;
    std::vector<std::shared_ptr<FakePlatform>> made;  // one for each thread
    make = [&] {
        const std::lock_guard<std::mutex> guard(lock);
        return made.emplace_back(std::make_shared<FakePlatform>(fake));
    };
    historyPath = "/dev/null/history.jsonl";
    EXPECT_EQ(Run({"flash", "--all", Image}), 1);
    EXPECT_THAT(out.str(), HasSubstr(Done));
    EXPECT_THAT(out.str(), HasSubstr("SN2/1-2: failed after 1024 of 2500 bytes - USB port write"));
    EXPECT_EQ(out.str().find(Completion), out.str().rfind(Completion));
    EXPECT_THAT(err.str(), HasSubstr("SN2/1-2: USB port write failed - "));
    EXPECT_THAT(err.str(), HasSubstr("\n1 Ilvaran printer could not be opened: busy"));
    // Four attempts to record, one warning.
    EXPECT_EQ(err.str().find("cannot be written"), err.str().rfind("cannot be written"));
    for (const auto& [name, sent] : std::map<std::string, std::size_t>{
             {"1-1", 2509}, {"1-2", 1033}, {"1-3", 0}, {"1-4", 0}, {"1-5", 2509}, {"1-6", 2509}}) {
        std::size_t received = 0;
        for (const auto& platform : made) received += platform->Device(name).received.size();
        EXPECT_EQ(received, sent) << name;
    }
    signal = SIGTERM, signalAfter = -1;
    EXPECT_EQ(Run({"flash", "--all", Image}), 143);
    EXPECT_THAT(err.str(), HasSubstr("\nSN2/1-2: Transfer interrupted after 1024 of 2500"));
    EXPECT_THAT(err.str(), testing::Not(HasSubstr("SN1/1-1: Transfer")));
}

// A printer in no trouble takes a new command each time it is opened, and bytes at its own
// pace, 1 MiB/s: the loop takes at least 2 x 50 KiB of that time.
TEST(SimulatedPrintersTest, TakeTheAnnouncedImageOnlyAndFailAsToldHalfWay) {
    using Trouble = SimulatedPrinters::Trouble;
    using Bytes = std::vector<uint8_t>;
    const UpdateCommand full = BuildUpdateCommand(4), big = BuildUpdateCommand(51200);
    const Bytes command(full.begin(), full.end()), head(full.begin(), full.begin() + 5);
    // The trouble, what is written, the last write's error, the image bytes received.
    const std::tuple<Trouble, std::vector<Bytes>, uint32_t, uint64_t> cases[] = {
        {Trouble::None, {command, {1, 2}, {3, 4}}, 0, 4},
        {Trouble::None, {head, {0, 0, 0, 'C', 1}}, 0, 1},
        {Trouble::None, {{0x1B, 0x21, 0x68, 0, 4, 0, 0, 0, 'C'}}, ErrorCode::WriteFault, 0},
        {Trouble::None, {command, {1, 2, 3, 4, 5}}, ErrorCode::WriteFault, 0},
        {Trouble::None, {Bytes(big.begin(), big.end()), Bytes(51200, 7)}, 0, 51200},
        {Trouble::Stall, {command, {1, 2}, {3}}, ErrorCode::Timeout, 2},
        {Trouble::Unplug, {command, {1, 2}, {3}}, ErrorCode::DeviceNotConnected, 2},
    };
    const auto start = std::chrono::steady_clock::now();
    for (const auto& [trouble, writes, error, received] : cases) {
        SimulatedPrinters printers(trouble, std::chrono::milliseconds(1));
        const UsbDeviceRecord printer = printers.ListUsbDevices().front();
        for (int round = trouble == Trouble::None ? 0 : 1; round < 2; ++round) {
            const FileHandle handle = printers.OpenDevice(printer);
            EXPECT_EQ(printers.OpenDevice(printer), InvalidFileHandle);
            EXPECT_EQ(printers.LastError(), ErrorCode::Busy);
            uint32_t written = 0;
            bool ok = true;
            for (const Bytes& bytes : writes)
                ok = printers.Write(handle, bytes.data(), bytes.size(), &written);
            EXPECT_EQ(ok ? 0 : printers.LastError(), error);
            EXPECT_EQ(printers.Received(printer.serial), received);
            EXPECT_TRUE(printers.Close(handle));
            EXPECT_FALSE(printers.Close(handle) || printers.Close(0) || printers.Close(3));
        }
        EXPECT_EQ(printers.ListUsbDevices().size(), trouble == Trouble::Unplug ? 1u : 2u);
    }
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(95));
    EXPECT_EQ(SimulatedPrinters().Received("SIM-none"), 0u);
}

}  // namespace
}  // namespace orlup
