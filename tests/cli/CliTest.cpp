// orlup-cli through its real parser and commands, against scripted printers.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <deque>
#include <fstream>
#include <future>
#include <mutex>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <thread>

#include "RunCli.h"
#include "TransferGate.h"
#include "fakes/FakePlatform.h"
#include "text/ErrorCodes.h"
#include "text/ErrorText.h"
#include "text/PrintableText.h"
#include "text/SystemTerms.h"
#include "update/FlashTexts.h"

namespace orlup {
namespace {

using test::FakePlatform;
using testing::HasSubstr;
using Strings = std::vector<std::string>;
using Sizes = std::vector<std::size_t>;
using Json = nlohmann::json;

// Absolute on either system, and as long: Windows' file-name rule takes the backslash alone.
#ifdef _WIN32
const std::string Root = "C:\\i\\";
#else
const std::string Root = "/img/";
#endif
const std::string Image = Root + "0493.hex";
const std::string Image20k = Root + "0493-20k.hex";
const std::string Digest = "d1a1df45323befde895eb7ece39f76c37ceebc8207058c74be093c7735134f82";
const std::string Done = "SN1/1-1: done, 2500 bytes, sha256 " + Digest + "\n";
const std::string Completion = FlashTexts::Completion;
// Without a terminal, a line at each tenth.
const std::string Flashed = "0% 0/2500 bytes\n40% 1024/2500 bytes\n81% 2048/2500 bytes\n100% " +
                            ("2500/2500 bytes\n" + Completion + "\n" + Done);
const std::string Interrupted =
    "Transfer interrupted after 1024 of 2500 bytes. Re-power the printer with the rotary switch "
    "at position 4 and flash again.\n";

/// Word of devices as a script tells it: each step runs at a wait once that many transfers
/// have ended, and the wait then says the devices changed. It waits under the devices' lock, so
/// that a step changes them as transfers run.
struct ScriptedWatch : UsbDeviceWatch {
    using Step = std::pair<int, std::function<void()>>;  // after how many ended, the change
    ScriptedWatch(std::deque<Step> steps, std::mutex& devices)
        : script(std::move(steps)), devices(devices) {}

    // Never times out: a step or an ended transfer ends each wait.
    Event Wait(std::chrono::milliseconds timeout) override {
        EXPECT_NE(timeout.count(), 0);  // a wait that never blocks would spin
        std::unique_lock<std::mutex> lock(devices);
        const auto due = [this] { return !script.empty() && ended >= script.front().first; };
        wake.wait(lock, [&] { return woken || due(); });
        if (std::exchange(woken, false)) return Event::Woken;
        script.front().second();
        script.pop_front();
        return Event::Changed;
    }
    void Wake() override {
        const std::lock_guard<std::mutex> lock(devices);
        ++ended;
        woken = true;
        wake.notify_all();
    }

    std::deque<Step> script;
    std::mutex& devices;
    std::condition_variable wake;
    int ended = 0;
    bool woken = false;
};

struct CliTest : testing::Test {
    CliTest() {
        Printer("1-1", "SN1", "/dev/usb/lp0");
        fake.AddImage(Image).bytes.assign(2500, 0x5A);
        fake.AddImage(Image20k).bytes.assign(20480, 1);
        fake.AddImage(Root + "0493b.hex") = {{1, 2}, 0, 0, 0, 0, ErrorCode::GenFailure, 0};
        fake.AddImage(Root + "0493-4g.hex").reportedSize = 0x100000000ull;
        fake.AddImage(Root + "0498.hex").bytes.assign(10, 1);
        context.period = std::chrono::microseconds(0);
        context.historyPath =
            testing::TempDir() + "orlup-cli-" + std::to_string(std::random_device()()) + ".jsonl";
        context.appendLine = [](const std::string& path, const std::string& line) {
            std::ofstream file(path, std::ios::app);
            return file << line && file.flush() ? 0u : ErrorCode::PathNotFound;
        };
        context.signals.caught = [this] { return signalWhen() ? signal.load() : 0; };
        context.signals.takeStopRequest = [this] { return stopRequested.exchange(false); };
    }
    ~CliTest() override { std::remove(context.historyPath.c_str()); }

    // One fake behind every seam, shared by the threads of --all as the system is.
    struct Platform : CliPlatform {
        explicit Platform(CliTest& test) : test(test) {}
        UsbDeviceSource& Devices() override { return fake; }
        std::shared_ptr<DeviceFileApi> MakePorts() override { return Borrow<DeviceFileApi>(fake); }
        std::shared_ptr<ImageFileApi> MakeImages() override { return Borrow<ImageFileApi>(fake); }
        ImageFacts TakeImage(const std::string& path, uint64_t largest,
                             const std::function<bool()>& cancelled) override {
            ImageFacts facts = ReadImageFacts(fake, path, largest);
            // A read is cut short only when the program asks for it, as the real snapshot is.
            if (facts.error == ErrorCode::OperationAborted && !cancelled()) facts.error = 0;
            return facts;
        }
        std::unique_ptr<UsbDeviceWatch> WatchDevices(bool hotplug) override {
            test.hotplugs.push_back(hotplug);
            return std::make_unique<ScriptedWatch>(test.script, fake.mutex);
        }
        CliTest& test;
        FakePlatform& fake = test.fake;
    };

    test::FakeDevice& Printer(const std::string& port, const std::string& serial,
                              const std::string& node = "", uint16_t id = 0x200A) {
        fake.AddDevice(port, 0x044E, id).record = {port, "", 0x044E, id, serial, port, node};
        return fake.Device(port);
    }
    test::FakeDevice& Plug(const std::string& port, const std::string& serial) {
        return Printer(port, serial, "/dev/usb/lp-" + port);
    }
    std::size_t Received(const std::string& name) {
        const std::lock_guard<std::mutex> hold(fake.mutex);
        return fake.Device(name).received.size();
    }
    /// How many bytes each of those printers took since the last look.
    Sizes TakeReceived(const Strings& ports = {"1-1"}) {
        Sizes sizes;
        for (const std::string& port : ports)
            sizes.push_back(std::exchange(fake.Device(port).received, {}).size());
        return sizes;
    }

    int Run(Strings args, bool terminal = false) {
        out.str(""), err.str(""), looks = 0, hotplugs.clear(), fake.listings = 0;
        args.insert(args.begin(), "orlup-cli");
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        context.terminal = terminal;
        return RunCli(static_cast<int>(argv.size()), argv.data(), context);
    }

    /// Each line of a stream parsed: the events on standard output, the history's records.
    static std::vector<Json> JsonLines(std::istream&& lines) {
        std::vector<Json> parsed;
        for (std::string line; std::getline(lines, line);) parsed.push_back(Json::parse(line));
        return parsed;
    }
    std::vector<Json> Events() const { return JsonLines(std::istringstream(out.str())); }
    std::vector<Json> History() const { return JsonLines(std::ifstream(context.historyPath)); }

    FakePlatform fake;
    std::deque<ScriptedWatch::Step> script;
    std::vector<bool> hotplugs;  // what each watch was asked for
    std::ostringstream out, err;
    std::atomic<int> signal{0};
    // Whether a look sees the signal: unless a test says otherwise, the main thread's alone, never
    // a transfer's.
    std::function<bool()> signalWhen = [main = std::this_thread::get_id()] {
        return std::this_thread::get_id() == main;
    };
    std::atomic<int> looks{0};
    std::atomic<bool> stopRequested{false};
    CliContext context{out, err, [this](auto) { return std::make_unique<Platform>(*this); }};
};

// Each attempt past the command line ends with the status a script can branch on and is recorded;
// the binary test shows the records as a table.
TEST_F(CliTest, CommandLinesEndWithTheirExitStatusAndHistoryRecordsEachAttempt) {
    const std::string hostile = Root + "0493\"\n\xfe.hex";
    fake.AddImage(hostile).bytes.assign(1, 'Z');  // one byte: a read of one is hashed too
    fake.AddImage(Root + "0493-0.hex");
    const std::string digestOfZ =
        "bbeebd879e1dff6918546dc0c179fdde505f2a21591c9a9c96e36b054ec5af83";
    const std::string notOpened =
        std::string("1 Ilvaran printer could not be opened: ") + SystemTerms::AccessDenied;
    const std::string noModel = Root + "0491.hex";
    const std::string noPrinter = R"(Z","message":"No Ilvaran-II printers found","code":0,)"
                                  R"("codeName":"","bytesSent":0,"size":10,"status":3})";
    // Arguments, exit status, a part of standard output and error, the bytes the printer got, and
    // the error its open fails with: 5 access denied, 50 no driver bound.
    const std::tuple<Strings, int, std::string, std::size_t, uint32_t> cases[] = {
        {{"flash", Image, "--sha256", "D1A1" + Digest.substr(4)}, 0, Flashed, 2509, 0},
        {{"flash", "--sha256", std::string(64, '0'), Image}, 4, "nothing was sent\n", 0, 0},
        {{"flash", Root + "0493-missing.hex"}, 4, ErrorText(ErrorCode::FileNotFound), 0, 0},
        {{"flash", "--all", Root + "0493b.hex"}, 4, ErrorText(ErrorCode::GenFailure), 0, 0},
        // Judged by its size alone, before a printer is looked for.
        {{"flash", Root + "0493-4g.hex"}, 4, ErrorText(ErrorCode::FileTooLarge), 0, 5},
        {{"flash", Image}, 5, notOpened, 0, 5},
        {{"flash", "--all", Image}, 5, notOpened, 0, 5},
        {{"flash", Image20k}, 0, "0% 0/20480 bytes\n10% 2048/20480 bytes\n20% 4096/", 20489, 0},
        {{"flash", Image}, 5, "opened: " + ErrorText(ErrorCode::NotSupported) + "\n", 0, 50},
        {{"flash", "--sha256", digestOfZ, hostile}, 0, "0% 0/1 bytes\n100% 1/1 bytes\n", 10, 0},
        {{"flash", "--printer", "SN9", Image}, 3, "printer is known as SN9", 0, 0},
        // Told with no printer: the time, then at once what went wrong.
        {{"flash", "--json", "--wait=0", Root + "0498.hex"}, 3, noPrinter, 0, 0},
        // A name of no model is told as the dialog tells it, before any other check.
        {{"flash", "--all", "--sha256", Digest, noModel}, 4, FlashTexts::BadFileName, 0, 0},
        {{"flash", ""}, 4, FlashTexts::EmptyPath, 0, 0},
        {{"flash", Root + "0493-0.hex"}, 0, "100% 0/0 bytes\n", 9, 0},  // all of nothing
    };
    for (const auto& [args, status, shown, sent, openError] : cases) {
        fake.Device("1-1").openError = openError;
        EXPECT_EQ(Run(args), status) << args.back();
        EXPECT_THAT(out.str() + err.str(), HasSubstr(shown)) << args.back();
        EXPECT_EQ(TakeReceived(), Sizes{sent}) << err.str();
    }
    std::vector<Json> lines = History();
    ASSERT_EQ(lines.size(), std::size(cases));
    EXPECT_EQ(std::string(lines[0]["time"]).size(), 20u);  // to the second
    lines[0].erase("time");
    Json first = Json::parse(R"({"model": "Ilvaran", "serial": "SN1", "busPort": "1-1",
        "image": "", "size": 2500, "bytesSent": 2500, "result": "done", "code": 0, "sha256": ""})");
    first["image"] = Image, first["sha256"] = Digest;
    EXPECT_EQ(lines[0], first);
    EXPECT_EQ(Json({lines[4]["code"], lines[9]["image"], lines[10]["serial"]}),
              Json({ErrorCode::FileTooLarge, Root + "0493\"\n\xEF\xBF\xBD.hex", ""}));
    EXPECT_THAT(lines[10]["result"], testing::StartsWith("orlup-cli: no Ilvaran"));
    // In UTC, to the second in the history, to the millisecond in events; far from the epoch, so
    // that the milliseconds are what is left over of a large count.
    const auto leapDay =
        std::chrono::system_clock::from_time_t(951827696) + std::chrono::milliseconds(7);
    EXPECT_EQ(UtcTimestamp(leapDay) + UtcTimestamp(leapDay, true),
              "2000-02-29T12:34:56Z2000-02-29T12:34:56.007Z");
}

// A signal that cuts a transfer short ends with its status, a line for the printer and its record
// (the real SIGHUP is the binary test's); one that comes when no transfer is cut short does not. On
// a terminal a bar, and the pace kept.
TEST_F(CliTest, FlashSumsUpAnInterruptionDrawsABarOnATerminalAndKeepsItsPace) {
    fake.AddImage(Root + "0493c.hex") = fake.AddImage(Image);
    fake.AddImage(Root + "0493c.hex").FailRead(1, ErrorCode::OperationAborted);
    signal = SIGINT;
    EXPECT_EQ(Run({"flash", Root + "0493c.hex"}), 130);
    EXPECT_EQ(err.str(), "orlup-cli: interrupted while the image was read; nothing was sent\n");
    EXPECT_EQ(Run({"flash", Image}), 0);  // a signal once the transfer is done cut nothing short
    EXPECT_EQ(out.str() + err.str(), Flashed);

    const std::string aborted = FlashTexts::WriteFailed + ErrorText(ErrorCode::OperationAborted);
    fake.Device("1-1").FailWrite(fake.Device("1-1").writeCalls + 2, ErrorCode::OperationAborted);
    // The signal comes once the program has looked for one twice: the second piece's write is
    // cut short.
    signalWhen = [this] { return ++looks > 2; };
    EXPECT_EQ(Run({"flash", Image}), 130);
    EXPECT_EQ(err.str(), aborted + "\n" + Interrupted);
    const std::string failed = "SN1/1-1: failed after 1024 of 2500 bytes - " + aborted + "\n";
    EXPECT_THAT(out.str(), testing::EndsWith("40% 1024/2500 bytes\n" + failed));
    fake.Device("1-1").FailWrite(fake.Device("1-1").writeCalls + 2, ErrorCode::OperationAborted);
    EXPECT_EQ(Run({"flash", "--all", Image}), 130);
    EXPECT_EQ(err.str(), "SN1/1-1: " + aborted + "\nSN1/1-1: " + Interrupted);
    signal = SIGTERM;  // between the first two pieces: the record says so too
    signalWhen = [this] { return ++looks > 1; };
    EXPECT_EQ(Run({"flash", Image}), 143);
    EXPECT_EQ(err.str(), Interrupted);
    EXPECT_EQ(History().back()["result"], "Transfer interrupted after 1024 of 2500 bytes");

    signal = 0;
    EXPECT_EQ(Run({"flash", Image}, true), 0);
    EXPECT_THAT(out.str(), HasSubstr("\r[################........................] 40% 1024/2500 "
                                     "bytes\r"));
    EXPECT_THAT(out.str(),
                testing::EndsWith("] 100% 2500/2500 bytes\n" + Completion + "\n" + Done));

    context.period = std::chrono::milliseconds(5);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Run({"flash", Image}), 0);
    // The command, three pieces and the stopping tick: never sooner than four periods.
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(20));
}

TEST_F(CliTest, ListShowsEachPrinterAsATableOrAsJson) {
    fake.AddDevice("mouse", 0x046D, 0xC077);
    Printer("2-1", "\x1b]2;\xff\x7f\xc2\x9b\xc2\x80\xc2\xa0\n", "", 0x1301).openError =
        ErrorCode::Busy;
    EXPECT_EQ(Run({"list"}), 0);
    EXPECT_EQ(out.str(),
              "MODEL       SERIAL              BUS-PORT  NODE            STATUS\n"
              "Ilvaran     SN1                 1-1       /dev/usb/lp0    ready\n"
              "Ilvaran-II  ?]2;\xff???\xc2\xa0?         2-1       -               busy\n");
    EXPECT_EQ(Run({"list", "--json"}), 0);
    EXPECT_EQ(Json::parse(out.str()), Json::parse(R"([{"model": "Ilvaran", "serial": "SN1",
        "busPort": "1-1", "node": "/dev/usb/lp0", "description": "", "status": "ready"},
        {"model": "Ilvaran-II", "serial": "\u001b]2;\ufffd\u007f\u009b\u0080\u00a0\n",
        "busPort": "2-1", "node": "", "description": "", "status": "busy"}])"));
    EXPECT_EQ(fake.OpenHandles(), 0);

    fake.Device("1-1").record.productId = fake.Device("2-1").record.productId = 0xC077;
    EXPECT_EQ(Run({"list", "--json"}), 3);
    EXPECT_EQ(out.str() + err.str(), "[]\nNo Ilvaran or Ilvaran-II printers attached\n");
    // Caught for the transfers, so the listing must end with it itself.
    signal = SIGINT;
    EXPECT_EQ(Run({"list"}), 130);
}

// --printer names one printer by its serial, bus-port or node; --all flashes every free printer
// of the image's model on its own, and one that fails stops no other.
TEST_F(CliTest, PrinterNamesOnePrinterAndAllFlashesEveryFreeOne) {
    Printer("1-2", "SN2", "/dev/usb/lp1");
    Printer("1-3", "SN3", "", 0x1301);
    Printer("1-4", "SN4").openError = ErrorCode::Busy;
    Printer("1-5", "TWIN");
    Printer("1-6", "TWIN");
    const Strings all = {"1-1", "1-2", "1-3", "1-4", "1-5", "1-6"};
    const std::tuple<std::string, int, std::string> cases[] = {
        {"SN2", 0, ""},
        {"1-2", 0, ""},
        {"/dev/usb/lp1", 0, ""},
        {"SN3", 5, "orlup-cli: printer SN3 is an Ilvaran-II, the image is for an Ilvaran\n"},
        {"1-4", 5,
         "orlup-cli: printer 1-4 cannot be opened: busy - another program (a print "
         "queue?) holds it\n"},
        {"TWIN", 5, "orlup-cli: TWIN names 2 printers; name one by its bus-port\n"}};
    for (const auto& [id, status, error] : cases) {
        EXPECT_EQ(Run({"flash", "--printer", id, Image}), status) << id;
        EXPECT_EQ(err.str(), error);
        EXPECT_EQ(TakeReceived(all), (error.empty() ? Sizes{0, 2509, 0, 0, 0, 0} : Sizes(6))) << id;
    }
    fake.Device("1-2").FailOpen(fake.Device("1-2").opens + 1, ErrorCode::Busy);  // after the check
    EXPECT_EQ(Run({"flash", "--printer", "SN2", Image}), 5);
    EXPECT_EQ(out.str(), "SN2/1-2: failed before sending - No Ilvaran printers found\n");

    fake.Device("1-2").FailWrite(fake.Device("1-2").writeCalls + 2, ErrorCode::Timeout);
    context.historyPath = "/dev/null/history.jsonl";
    signal = SIGTERM;  // after the transfers: no printer was cut short
    EXPECT_EQ(Run({"flash", "--all", Image}), 1);
    EXPECT_THAT(out.str(), HasSubstr(Done));
    EXPECT_THAT(out.str(), HasSubstr("SN2/1-2: failed after 1024 of 2500 bytes - USB port write"));
    // Once, at the end.
    EXPECT_EQ(out.str().find(Completion), out.str().size() - Completion.size() - 1);
    EXPECT_EQ(hotplugs, std::vector<bool>{false});
    EXPECT_THAT(err.str(), HasSubstr("SN2/1-2: USB port write failed - "));
    EXPECT_THAT(err.str(), HasSubstr("\n1 Ilvaran printer could not be opened: busy"));
    EXPECT_THAT(err.str(), testing::Not(HasSubstr("Transfer interrupted")));
    // Four attempts to record, one warning.
    EXPECT_EQ(err.str().find("cannot be written"), err.str().rfind("cannot be written"));
    EXPECT_EQ(TakeReceived(all), (Sizes{2509, 1033, 0, 0, 2509, 2509}));
}

// --json: one object a line on standard output, parsed back, whatever bytes a device's strings
// hold; the human text on standard error.
TEST_F(CliTest, JsonTellsEachEventAsAnObjectOfItsOwn) {
    Printer("1-1", "SN\xC3\x9C", "/dev/usb/lp0").FailWrite(3, ErrorCode::DeviceNotConnected);
    EXPECT_EQ(Run({"flash", "--json", "--sha256", Digest, Image}), 1);
    EXPECT_THAT(out.str(), HasSubstr("\"serial\":\"SN\xC3\x9C\""));
    const Json printer = Json::parse(
        R"({"model": "Ilvaran", "serial": "SN\u00dc", "busPort": "1-1", "node": "/dev/usb/lp0"})");
    std::vector<Json> expected = Json::parse(R"([{"event": "started", "size": 2500},
        {"event": "progress", "percent": 0, "bytesSent": 0, "size": 2500},
        {"event": "progress", "percent": 40, "bytesSent": 1024, "size": 2500},
        {"event": "progress", "percent": 81, "bytesSent": 2048, "size": 2500},
        {"event": "failed", "code": 1167, "codeName": "DeviceNotConnected", "bytesSent": 2048,
         "size": 2500, "status": 1}])");
    expected[0]["image"] = Image, expected[0]["sha256"] = Digest;
    expected[4]["message"] = FlashTexts::WriteFailed + ErrorText(1167);
    std::vector<Json> events = Events();
    EXPECT_EQ(std::string(events.at(0)["time"]).size(), 24u);  // to the millisecond
    for (Json& event : events) event.erase("time");
    for (Json& event : expected) event.update(printer);
    EXPECT_EQ(events, expected);
    EXPECT_THAT(err.str(), HasSubstr("SN\xC3\x9C/1-1: failed after 2048 of 2500 bytes - USB port"));
    fake.Device("1-1").failWriteCall = -1;
    EXPECT_EQ(Run({"flash", "--json", Image20k}), 0);
    EXPECT_EQ(Events().size(), 1 + 11 + 1u);             // started, a progress at each tenth, done
    EXPECT_EQ(err.str().find("% "), std::string::npos);  // progress goes to the events alone
}

// --wait flashes the printer once it is plugged in; Ctrl-C while waiting sends nothing.
TEST_F(CliTest, WaitFlashesThePrinterOncePluggedInAndEndsAtCtrlC) {
    fake.Device("1-1").record.vendorId = 0;  // not plugged in yet
    script = {{0, [this] { fake.Device("1-1").record.vendorId = 0x044E; }}};
    EXPECT_EQ(Run({"flash", "--wait", "--printer", "SN1", Image}), 0);
    EXPECT_EQ(hotplugs, std::vector<bool>{true});  // without --wait, none: see the --all runs
    EXPECT_EQ(TakeReceived(), Sizes{2509});

    fake.Device("1-1").record.vendorId = 0;
    EXPECT_EQ(Run({"flash", "--wait=0", Image}), 3);
    EXPECT_EQ(fake.listings, 1);  // --wait=0 looks once, and waits not at all
    script = {{0, [this] { signal = SIGINT; }}};
    EXPECT_EQ(Run({"flash", "--wait=60", Image}), 130);
    EXPECT_EQ(err.str(), "orlup-cli: interrupted while waiting for a printer; nothing was sent\n");
    EXPECT_EQ(TakeReceived(), Sizes{0});
}

// A station run as printers come and go: the table's rows are the devices' events and what the
// station makes of each.
TEST_F(CliTest, StationFlashesEachPrinterOnceAsItComesAndRefusesWhatItCannotTellApart) {
    fake.Device("1-1").record.vendorId = 0;
    // After how many transfers ended, what changes, and the events that follow.
    const std::tuple<int, std::function<void()>, Strings> table[] = {
        {0, [&] { Plug("1-1", "A"); }, {"started A", "done A"}},
        {1, [&] { fake.Device("1-1").record.vendorId = 0; }, {}},
        {1, [&] { EXPECT_EQ(History().size(), 1u); }, {}},  // kept while the station goes on
        {1, [&] { stopRequested = true; }, {}},  // Ctrl-Z, once a transfer has come and gone
        // Re-powered after its update: the device comes before its driver's node.
        {1, [&] { Printer("1-1", "A"); }, {}},
        {1, [&] { Plug("1-1", "A"); }, {"skipped A"}},
        {1, [&] { Plug("1-2", ""); }, {"skipped "}},
        {1, [&] { Plug("1-3", "C"), Plug("1-4", "C"); }, {"skipped C", "skipped C"}},
        {1,
         [&] { Plug("1-5", "E").FailWrite(3, ErrorCode::GenFailure); },
         {"started E", "failed E"}},
        {2, [&] { fake.Device("1-5").record.vendorId = 0; }, {}},
        {2, [&] { Plug("1-5", "E").failWriteCall = -1; }, {"started E", "done E"}},
        {3, [&] { signal = SIGINT; }, {"summary "}},
    };
    Strings expected;
    for (const auto& [afterEnded, change, events] : table) {
        script.push_back({afterEnded, change});
        expected.insert(expected.end(), events.begin(), events.end());
    }
    EXPECT_EQ(Run({"station", "--json", Image20k}), 0);
    Strings seen;
    for (const Json& event : Events())
        if (event["event"] != "progress")
            seen.push_back(event["event"].get<std::string>() + " " + event.value("serial", ""));
    EXPECT_EQ(seen, expected);
    const Json summary = Events().back();
    EXPECT_EQ(Json({summary["done"], summary["failed"], summary["skipped"]}), Json({2, 1, 4}));
    EXPECT_EQ(TakeReceived({"1-1", "1-2", "1-3", "1-4", "1-5"}),
              (Sizes{20489, 0, 0, 0, 9 + 2048 + 20489}));
    EXPECT_THAT(err.str(), testing::StartsWith("Waiting for Ilvaran printers to flash with " +
                                               Image20k + " (20480 bytes, sha256 "));
    EXPECT_THAT(err.str(), HasSubstr(Completion));
    EXPECT_THAT(err.str(), HasSubstr("Station stopped: 2 done, 1 failed, 4 skipped\n"));
    // A line at each tenth, counted afresh when flashed again.
    EXPECT_THAT(err.str(), HasSubstr("E/1-5: flashing\nE/1-5: 10% 2048/20480 bytes\nE/1-5: 20%"));
}

// On a terminal the station's table is drawn again over itself at each change, a failure told in
// its row alone, and the completion text stays below it. Ctrl-C that cuts a transfer short ends
// the station with its status.
TEST_F(CliTest, AStationOnATerminalDrawsItsTableOverItself) {
    Printer("1-3", "C").record.vendorId = 0;  // plugged in later
    script = {{1, [&] { Plug("1-2", "B").FailWrite(2, ErrorCode::GenFailure); }},
              {2, [&] { Plug("1-3", "C"); }}};
    // Ctrl-C once C has taken its command and two pieces, whichever thread looks first.
    signal = SIGINT;
    signalWhen = [this] { return Received("1-3") >= 9 + 2048; };
    EXPECT_EQ(Run({"station", Image}, true), 130);
    EXPECT_EQ(hotplugs, std::vector<bool>{true});
    EXPECT_EQ(out.str().find("\x1b[0A"), std::string::npos);  // nothing drawn yet to go over
    EXPECT_EQ(out.str().find("B/1-2: "), std::string::npos);
    EXPECT_THAT(
        out.str(),
        testing::EndsWith(std::string("\x1b[8A\r\x1b[JSERIAL              BUS-PORT  STATE\n"
                                      "SN1                 1-1       done\n"
                                      "B                   1-2       failed: ") +
                          FlashTexts::WriteFailed + Printable(ErrorText(ErrorCode::GenFailure)) +
                          "\nC                   1-3       failed: interrupted\n\n" + Completion +
                          "\nStation stopped: 1 done, 2 failed, 0 skipped\n"));
    EXPECT_THAT(err.str(), HasSubstr("C/1-3: Transfer interrupted after 2048 of 2500 bytes"));
}

// Ctrl-Z during --all stops the program only once every transfer still running holds between two
// pieces; after it goes on, every printer gets the whole image.
TEST_F(CliTest, AStopWaitsUntilEveryTransferHoldsBetweenPieces) {
    context.period = std::chrono::milliseconds(2);
    // Each write takes five periods, so that a stop all but surely comes with writes under way.
    for (const char* port : {"1-1", "1-2"})
        Printer(port, port).writeDelay = std::chrono::milliseconds(10);
    Printer("1-3", "SN3").FailWrite(1, ErrorCode::GenFailure);
    script = {{1, [this] { stopRequested = true; }}};  // Ctrl-Z once that one has ended
    const auto total = [this] { return Received("1-1") + Received("1-2") + Received("1-3"); };
    Sizes stoppedAt;  // what the printers had taken at each stop
    context.signals.stopProcess = [&] {
        stoppedAt.push_back(total());
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        EXPECT_EQ(total(), stoppedAt.back());
    };
    EXPECT_EQ(Run({"flash", "--all", Image20k}), 1);
    // Once, while the transfers ran, not once they were done.
    EXPECT_THAT(stoppedAt, testing::ElementsAre(testing::Lt(2 * 20489u + 9)));
    EXPECT_EQ(total(), 2 * 20489u + 9);
}

// A transfer that comes while the gate is closed (a printer plugged in at the station during a
// stop) waits outside, lest its first write come while the program stops; an open gate holds none.
TEST(TransferGateTest, ATransferThatComesDuringAStopWaitsUntilItEnds) {
    TransferGate gate;
    EXPECT_FALSE(gate.Pass());
    gate.Close();
    auto late = std::async(std::launch::async, [&] { const GatePass pass(&gate); });
    EXPECT_EQ(late.wait_for(std::chrono::milliseconds(20)), std::future_status::timeout);
    gate.Open();
    late.get();
}

// A printer in no trouble takes a new command each time it is opened, and bytes at its own
// pace, 1 MiB/s: the loop takes at least 2 x 65 KiB of that time, a size
// whose third byte is not 0, announced as a larger one whose fourth byte is not 0 either.
TEST(SimulatedPrintersTest, TakeTheAnnouncedImageOnlyAndFailAsToldHalfWay) {
    using Trouble = SimulatedPrinters::Trouble;
    using Bytes = std::vector<uint8_t>;
    const UpdateCommand full = BuildUpdateCommand(4), big = BuildUpdateCommand(0x1010400);
    const Bytes command(full.begin(), full.end()), head(full.begin(), full.begin() + 5);
    // The trouble, what is written, the last write's error, the image bytes received.
    const std::tuple<Trouble, std::vector<Bytes>, uint32_t, uint64_t> cases[] = {
        {Trouble::None, {command, {1, 2}, {3, 4}}, 0, 4},
        {Trouble::None, {head, {0, 0, 0, 'C', 1}}, 0, 1},
        {Trouble::None, {{0x1B, 0x21, 0x68, 0, 4, 0, 0, 0, 'C'}}, ErrorCode::WriteFault, 0},
        {Trouble::None, {command, {1, 2}, {3, 4, 5}}, ErrorCode::WriteFault, 4},
        {Trouble::None, {Bytes(big.begin(), big.end()), Bytes(0x10400, 7)}, 0, 0x10400},
        {Trouble::Stall, {command, {1, 2}, {3}}, ErrorCode::Timeout, 2},
        {Trouble::Unplug, {command, {1, 2}, {3}}, ErrorCode::DeviceNotConnected, 2},
    };
    const auto start = std::chrono::steady_clock::now();
    for (const auto& [trouble, writes, error, received] : cases) {
        SimulatedPrinters printers(trouble, std::chrono::milliseconds(1));
        Sizes seen;  // a listener may look at the printers it is told of
        printers.SetChangeListener([&] { seen.push_back(printers.ListUsbDevices().size()); });
        const UsbDeviceRecord printer = printers.ListUsbDevices().front();
        for (int round = trouble == Trouble::None ? 0 : 1; round < 2; ++round) {
            const FileHandle handle = printers.OpenDevice(printer);
            EXPECT_FALSE(printers.CommandTime(printer.serial));  // each opening a new command
            EXPECT_EQ(printers.OpenDevice(printer) == InvalidFileHandle ? printers.LastError() : 0,
                      ErrorCode::Busy);
            uint32_t written = 0;
            bool ok = true;
            for (const Bytes& bytes : writes)
                ok = printers.Write(handle, bytes.data(), bytes.size(), &written);
            EXPECT_EQ(ok ? 0 : printers.LastError(), error);
            EXPECT_EQ(printers.Received(printer.serial), received);
            EXPECT_TRUE(printers.Close(handle));
            EXPECT_FALSE(printers.Close(handle) || printers.Close(0) || printers.Close(3));
        }
        // One plugged in and one pulled out by its serial, each told of.
        EXPECT_EQ(printers.Plug(FirmwareModels[0]).busPort, "sim-3");
        printers.Unplug("SIM-0498");
        EXPECT_EQ(seen, (trouble == Trouble::Unplug ? Sizes{1, 2, 1} : Sizes{3, 2}));
    }
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(120));
}

}  // namespace
}  // namespace orlup
