// The flash update driven end to end through a recording host, scripted printers and images.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "fakes/FakeFlashHost.h"
#include "fakes/FakePlatform.h"
#include "text/ErrorCodes.h"
#include "text/ErrorText.h"
#include "text/MessageText.h"
#include "update/FlashTexts.h"
#include "update/FlashUpdate.h"

namespace orlup {
namespace {

using test::FakeDevice;
using test::FakeImage;

const std::string Printer = "printer-1";
const std::string ImagePath = "C:\\flash\\0493v2.hex";

std::vector<uint8_t> Pattern(std::size_t size) {
    std::vector<uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
    return bytes;
}

std::vector<uint8_t> CommandThenImage(uint64_t announced, std::vector<uint8_t> image) {
    const UpdateCommand command = BuildUpdateCommand(static_cast<uint32_t>(announced));
    image.insert(image.begin(), command.begin(), command.end());
    return image;
}

std::string Failed(const char* prefix, uint32_t code) { return JoinText(prefix, ErrorText(code)); }

// One update with its own printer, image and host; every case starts from a fresh one.
struct Rig {
    Rig() : files(&log), host(&log), update(host, files.System()) {
        host.update = &update;
        host.editText = ImagePath;
    }
    FakeDevice& printer() { return files.Device(Printer); }
    FakeImage& Image(std::size_t size) {
        FakeImage& image = files.AddImage(ImagePath);
        image.bytes = Pattern(size);
        return image;
    }
    /// A printer and an image of that size, then the case's trouble, then Update Flash.
    void Start(std::size_t imageSize, const std::function<void(Rig&)>& arrange) {
        files.AddDevice(Printer);
        Image(imageSize);
        arrange(*this);
        update.OnUpdateFlash();
    }
    /// How far an attempt got: a printer claimed, its port opened, the command sent.
    enum Stage { NoPrinter, Claimed, Opened, Sent };
    /// The host heard once how the attempt ended, before the text that ends it.
    void ExpectEnded(const std::string& message, uint32_t code, Stage stage, std::size_t bytes) {
        ASSERT_EQ(host.ended.size(), 1u);
        const AttemptOutcome& outcome = host.ended.front();
        EXPECT_EQ(outcome.completed, message == FlashTexts::Completion);
        EXPECT_EQ(outcome.message, message);
        EXPECT_EQ(outcome.errorCode, code);
        EXPECT_EQ(outcome.printer.has_value(), stage >= Claimed);
        EXPECT_EQ(outcome.printer.value_or(UsbDeviceRecord{}).devicePath,
                  stage >= Claimed ? Printer : "");
        EXPECT_EQ(outcome.portOpened, stage >= Opened);
        EXPECT_EQ(outcome.commandSent, stage >= Sent);
        EXPECT_EQ(outcome.bytesSent, bytes);
        EXPECT_TRUE(Before("ended", "message " + message));
    }
    /// Every handle closed, nothing left busy.
    void ExpectIdle() {
        EXPECT_FALSE(update.busy());
        EXPECT_FALSE(update.HasPortList());
        EXPECT_FALSE(update.HasImageOpen());
        EXPECT_EQ(files.OpenHandles(), 0);
    }
    bool Before(const std::string& first, const std::string& then) {
        const auto at = std::find(log.begin(), log.end(), first);
        return at != log.end() && std::find(at + 1, log.end(), then) != log.end();
    }

    test::EventLog log;
    test::FakePlatform files;
    test::FakeFlashHost host;
    FlashUpdate update;
};

void None(Rig&) {}
std::function<void(Rig&)> Path(const std::string& path) {
    return [=](Rig& r) { r.host.editText = path; };
}
std::function<void(Rig&)> Size(uint64_t size) {
    return [=](Rig& r) { r.Image(10).reportedSize = size; };
}
std::function<void(Rig&)> Write(int call, uint32_t code, uint32_t shortBy = 0) {
    return [=](Rig& r) { r.printer().FailWrite(call, code, shortBy); };
}

// The announced bytes in 1024-byte pieces, one per tick, with the bar as computed, for images
// that fill pieces, end early, are tiny, empty, or grew after their size was taken; or a failure
// of the port or the image on the way: its text, the timer stopped before the image closes, and
// nothing sent after it, even by ticks inside the message box.
TEST(FlashUpdateTest, TheAnnouncedBytesGoOutOnePiecePerTickUntilTheEndOrAFailure) {
    const struct {
        std::size_t bytes;
        std::function<void(Rig&)> arrange;
        std::vector<uint32_t> progress;
        std::size_t received;
        const char* failed = nullptr;  // the text's start, with the code below
        uint32_t code = 0;
    } cases[] = {
        {2500, None, {0, 40, 81, 100}, 2500},
        // The period's restart after the command fails: the first piece waits for a tick.
        {2500, [](Rig& r) { r.host.failSetTimerCall = 1; }, {0, 40, 81, 100}, 2500},
        {1050, None, {0, 102, 105}, 1050},  // positions above 100 are sent as computed
        {42, None, {0, 100}, 42},
        {0, None, {0, 100}, 0},
        {5000, [](Rig& r) { r.Image(5000).reportedSize = 2100; }, {0, 48, 97, 100}, 2100},
        {5000, Write(2, 0, 24), {0, 20}, 2048 - 24, FlashTexts::WriteFailed, ErrorCode::WriteFault},
        {5000, Write(3, 1167), {0, 20, 40}, 2048, FlashTexts::WriteFailed, 1167},
        {5000, Write(1, ErrorCode::Timeout), {0}, 0, FlashTexts::WriteFailed, ErrorCode::Timeout},
        {5000,
         [](Rig& r) { r.files.AddImage(ImagePath).FailRead(1, ErrorCode::ReadFault); },
         {0, 20},
         1024,
         FlashTexts::ReadFailed,
         ErrorCode::ReadFault},
        // Shrank after the size was taken, so that the last piece's read gets nothing: a failed
        // read rather than waiting forever.
        {1024,
         [](Rig& r) { r.Image(1024).reportedSize = 1025; },
         {0, 102},
         1024,
         FlashTexts::ReadFailed,
         ErrorCode::HandleEof},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.bytes) + " " + std::to_string(c.code));
        Rig rig;
        rig.host.ticksInsideMessages = c.failed ? 5 : 0;
        rig.Start(c.bytes, c.arrange);
        EXPECT_TRUE(rig.update.busy());
        EXPECT_EQ(rig.printer().received.size(), 9u);  // the command alone, before the first tick
        const int ticks = rig.host.RunTimer();
        const std::string message = c.failed ? Failed(c.failed, c.code) : FlashTexts::Completion;
        EXPECT_EQ(rig.host.messages, std::vector<std::string>{message});
        EXPECT_EQ(rig.host.progress, c.progress);
        const FakeImage& image = rig.files.AddImage(ImagePath);
        const uint64_t announced = image.reportedSize ? image.reportedSize : image.bytes.size();
        EXPECT_EQ(
            rig.printer().received,
            CommandThenImage(announced, {image.bytes.begin(), image.bytes.begin() + c.received}));
        EXPECT_EQ(rig.host.killed, std::vector<uint32_t>{FlashUpdate::TimerId});
        EXPECT_EQ(rig.host.buttonStates, (std::vector<bool>{false, true}));
        EXPECT_EQ(rig.update.completed(), !c.failed);
        rig.ExpectIdle();
        // A piece cut short is not counted: the count is of whole pieces.
        const std::size_t whole = c.failed ? c.received / 1024 * 1024 : c.received;
        EXPECT_EQ(rig.update.bytesSent(), whole);
        rig.ExpectEnded(message, c.code, Rig::Sent, whole);
        const std::string shown = "message " + message;
        EXPECT_TRUE(rig.Before("close image", "close device " + Printer));
        if (c.failed) {
            EXPECT_LT(ticks, 10);
            EXPECT_TRUE(rig.Before("kill timer", "close image"));
            EXPECT_TRUE(rig.Before(shown, "close image"));
            continue;
        }
        // The pieces, then the tick that stops the timer; the image closed before the completion
        // text, the port only after it.
        EXPECT_EQ(ticks, static_cast<int>(c.progress.size()));
        EXPECT_EQ(rig.log.back(), "enable buttons");
        EXPECT_TRUE(rig.Before("close image", shown) &&
                    rig.Before(shown, "close device " + Printer));
        // The period restarts once the command is out, so the first piece never follows it at
        // once.
        EXPECT_EQ(rig.Before("write 9", "set timer"), rig.host.failSetTimerCall < 0);
        const std::size_t first = std::min<std::size_t>(c.received, 1024);
        EXPECT_TRUE(rig.Before("set timer", "write " + std::to_string(first)));
    }
}

// Each refusal ends the attempt at once with exactly one message, before any byte is written.
TEST(FlashUpdateTest, RefusalsSendNothingAndReleaseEverything) {
    const std::string TooLarge = Failed(FlashTexts::SizeFailed, ErrorCode::FileTooLarge);
    const struct {
        const char* name;
        std::function<void(Rig&)> arrange;
        std::string message;
        uint32_t code = 0;
        Rig::Stage stage = Rig::NoPrinter;
    } cases[] = {
        {"empty path", Path(""), FlashTexts::EmptyPath},
        {"no model tag", Path("C:\\flash\\flash0493.hex"), FlashTexts::BadFileName},
        {"no printer", [](Rig& r) { r.files.Device(Printer).record.productId = 0x1301; },
         "No Ilvaran printers found"},
        {"other model", Path("C:\\flash\\0498.hex"), "No Ilvaran-II printers found"},
        {"two printers", [](Rig& r) { r.files.AddDevice("printer-2"); },
         "Multiple Ilvaran printers are online. Only one may be programmed at a time"},
        // The search's test open succeeds, the claimed port's does not.
        {"taken after the search", [](Rig& r) { r.printer().FailOpen(1, ErrorCode::Busy); },
         FlashTexts::PortOpenFailed, ErrorCode::Busy, Rig::Claimed},
        {"image missing", Path("C:\\flash\\0493other.hex"),
         Failed(FlashTexts::ImageOpenFailed, ErrorCode::FileNotFound), ErrorCode::FileNotFound,
         Rig::Opened},
        {"size query fails",
         [](Rig& r) {
             FakeImage& image = r.Image(100);
             image.sizeError = ErrorCode::AccessDenied;
             image.closeErrorCode = ErrorCode::InvalidHandle;  // not the code told
         },
         Failed(FlashTexts::SizeFailed, ErrorCode::AccessDenied), ErrorCode::AccessDenied,
         Rig::Opened},
        // 0xFFFFFFFF is what a failed size query answers, so no image may have that size.
        {"size 2^32-1", Size(0xFFFFFFFF), TooLarge, ErrorCode::FileTooLarge, Rig::Opened},
        {"size 2^32", Size(0x100000000), TooLarge, ErrorCode::FileTooLarge, Rig::Opened},
        {"no timer", [](Rig& r) { r.host.failSetTimerCall = 0; }, FlashTexts::NoTimer, 0,
         Rig::Opened},
        {"command write fails", Write(0, 1167), Failed(FlashTexts::WriteFailed, 1167), 1167,
         Rig::Sent},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.Start(100, c.arrange);
        EXPECT_EQ(rig.host.messages, std::vector<std::string>{c.message});
        rig.ExpectIdle();
        rig.ExpectEnded(c.message, c.code, c.stage, 0);
        EXPECT_FALSE(rig.host.timerRunning);
        EXPECT_LE(rig.host.progress.size(), 1u);
        EXPECT_TRUE(rig.printer().received.empty());
        // A refused attempt never disabled the buttons, so it has none to enable.
        EXPECT_TRUE(rig.host.buttonStates.empty());
        const std::string message = "message " + c.message;
        // A claimed port (the search's test open came first) stays open until its message is
        // out; an opened image closes first, except that the timer's text comes while it is open.
        if (std::count(rig.log.begin(), rig.log.end(), "open device " + Printer) == 2) {
            EXPECT_TRUE(rig.Before(message, "close device " + Printer));
        }
        if (std::count(rig.log.begin(), rig.log.end(), "open image") > 0) {
            EXPECT_EQ(rig.Before("close image", message), c.message != FlashTexts::NoTimer);
        }
    }
}

TEST(BuildUpdateCommandTest, CarriesTheSizeLeastSignificantByteFirst) {
    EXPECT_EQ(BuildUpdateCommand(0xA1B2C3D4),
              (UpdateCommand{0x1B, 0x21, 0x67, 0x00, 0xD4, 0xC3, 0xB2, 0xA1, 0x43}));
}

}  // namespace
}  // namespace orlup
