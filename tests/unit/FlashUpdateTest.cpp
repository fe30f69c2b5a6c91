// The flash update driven end to end through a recording host, scripted printers and images.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <tuple>

#include "fakes/FakePlatform.h"
#include "text/ErrorCodes.h"
#include "text/ErrorText.h"
#include "text/MessageText.h"
#include "update/FlashTexts.h"
#include "update/FlashUpdate.h"

namespace orlup {
namespace {

const std::string Printer = "printer-1";
const std::string ImagePath = "C:\\flash\\0493v2.hex";

// One update with its own printer and image, hosted by a window that records what it is asked
// and runs the timer by hand; every case starts from a fresh one.
struct Rig : FlashUpdateHost {
    Rig() {
        files.AddDevice(Printer);
        Image(100);
    }
    test::FakeImage& Image(std::size_t size) {
        test::FakeImage& image = files.AddImage(ImagePath);
        image.bytes.resize(size);
        for (std::size_t i = 0; i < size; ++i)
            image.bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
        return image;
    }
    bool Before(const std::string& first, const std::string& then) {
        const auto& log = files.log;
        const auto at = std::find(log.begin(), log.end(), first);
        return at != log.end() && std::find(at + 1, log.end(), then) != log.end();
    }

    std::string TakeImagePath() override { return editText; }
    void ShowMessage(const std::string& text) override {
        messages.push_back(text);
        files.log.push_back("message " + text);
        // A real box runs its own loop, and the window timer keeps ticking inside it.
        for (int i = 0; i < ticksInsideMessages && timerRunning; ++i)
            update.OnTimer(FlashUpdate::TimerId);
    }
    void SetProgress(uint32_t position) override { progress.push_back(position); }
    uint32_t SetTimer(uint32_t id, uint32_t) override {
        if (setTimerCalls++ == failSetTimerCall) return 0;
        timerRunning = true;
        files.log.push_back("set timer");
        return id;
    }
    void KillTimer(uint32_t) override {
        timerRunning = false;
        files.log.push_back("kill timer");
    }
    void EnableButtons(bool enable) override { buttons += enable ? '+' : '-'; }
    void AttemptEnded(const AttemptOutcome& o) override {
        ended.emplace_back(o.completed, o.message, o.errorCode,
                           o.printer.value_or(UsbDeviceRecord{}).devicePath, o.portOpened,
                           o.commandSent, o.bytesSent);
        files.log.push_back("ended");
    }

    test::FakePlatform files;
    std::string editText = ImagePath;  // what the edit box holds
    std::vector<std::string> messages;
    std::vector<uint32_t> progress;
    std::string buttons;  // '-' for each disabling, '+' for each enabling
    // Each outcome told: completed, message, code, printer, port opened, command sent, bytes.
    using Told = std::tuple<bool, std::string, uint32_t, std::string, bool, bool, uint32_t>;
    std::vector<Told> ended;
    bool timerRunning = false;
    int setTimerCalls = 0;
    int failSetTimerCall = -1;  // the 0-based SetTimer call that returns 0 and leaves all as is
    int ticksInsideMessages = 0;
    FlashUpdate update{*this, files.System()};
};

using Arrange = std::function<void(Rig&)>;
Arrange Size(std::size_t bytes, uint64_t reported = 0) {
    return [=](Rig& r) { r.Image(bytes).reportedSize = reported; };
}
Arrange Path(const std::string& path) {
    return [=](Rig& r) { r.editText = path; };
}
Arrange Write(std::size_t bytes, int call, uint32_t code, uint32_t shortBy = 0) {
    return [=](Rig& r) { r.Image(bytes), r.files.Device(Printer).FailWrite(call, code, shortBy); };
}

// The text an attempt ends with, and the code it tells.
struct Ending {
    std::string message = FlashTexts::Completion;
    uint32_t code = 0;
};
Ending Fail(const char* prefix, uint32_t code) { return {JoinText(prefix, ErrorText(code)), code}; }

// How far an attempt got: a printer claimed, its port opened, the command sent.
enum Stage { NoPrinter, Claimed, Opened, Sent };

// One attempt per row, from Update Flash to its one message: a transfer sends the announced bytes
// in 1024-byte pieces, one per tick, with the bar as computed (above 100 as well), for images that
// fill pieces, end early, are tiny, empty, grew or shrank after their size was taken; a failure
// on the way, or a refusal before any byte, stops the timer and leaves every handle closed, and
// ticks inside the message box send nothing more. The host hears how the attempt ended before its
// text, and the count is of whole pieces.
TEST(FlashUpdateTest, EachAttemptEndsWithOneMessageTheAnnouncedBytesOrNoneAndNothingOpen) {
    using namespace ErrorCode;
    using namespace FlashTexts;
    // The command the rows expect, the size in it least significant byte first.
    EXPECT_EQ(BuildUpdateCommand(0xA1B2C3D4),
              (UpdateCommand{0x1B, 0x21, 0x67, 0x00, 0xD4, 0xC3, 0xB2, 0xA1, 0x43}));
    const char* const multiple =
        "Multiple Ilvaran printers are online. Only one may be programmed at a time";
    const Arrange badRead = [](Rig& r) { r.Image(5000).FailRead(1, ReadFault); };
    const Arrange otherProduct = [](Rig& r) { r.files.Device(Printer).record.productId = 0x1301; };
    // The search's test open succeeds, the claimed port's does not.
    const Arrange takenAfterSearch = [](Rig& r) { r.files.Device(Printer).FailOpen(1, Busy); };
    const Arrange badSize = [](Rig& r) {
        r.Image(100).sizeError = AccessDenied;
        r.Image(100).closeErrorCode = InvalidHandle;  // not the code told
    };
    const struct {
        Arrange arrange;
        std::vector<uint32_t> progress;
        int received;  // image bytes after the command; -1: not even the command
        Ending end{};
        Stage stage = Sent;
    } cases[] = {
        {Size(2500), {0, 40, 81, 100}, 2500},
        // The period's restart after the command fails: the first piece waits for a tick.
        {[](Rig& r) { r.Image(2500), r.failSetTimerCall = 1; }, {0, 40, 81, 100}, 2500},
        {Size(1050), {0, 102, 105}, 1050},
        {Size(42), {0, 100}, 42},
        {Size(0), {0, 100}, 0},
        {Size(5000, 2100), {0, 48, 97, 100}, 2100},
        {Write(5000, 2, 0, 24), {0, 20}, 2048 - 24, Fail(WriteFailed, WriteFault)},
        {Write(5000, 3, 1167), {0, 20, 40}, 2048, Fail(WriteFailed, 1167)},
        {badRead, {0, 20}, 1024, Fail(ReadFailed, ReadFault)},
        // Shrank after the size was taken: a failed read rather than waiting forever.
        {Size(1024, 1025), {0, 102}, 1024, Fail(ReadFailed, HandleEof)},
        {Size(2048, 0xFFFFFFFE), {0, 0, 0}, 2048, Fail(ReadFailed, HandleEof)},  // the largest size
        {Path(""), {}, -1, {EmptyPath}, NoPrinter},
        {Path("C:\\flash\\flash0493.hex"), {}, -1, {BadFileName}, NoPrinter},
        {otherProduct, {}, -1, {"No Ilvaran printers found"}, NoPrinter},
        {Path("C:\\flash\\0498.hex"), {}, -1, {"No Ilvaran-II printers found"}, NoPrinter},
        {[](Rig& r) { r.files.AddDevice("printer-2"); }, {}, -1, {multiple}, NoPrinter},
        {takenAfterSearch, {}, -1, {PortOpenFailed, Busy}, Claimed},
        {Path("C:\\flash\\0493other.hex"), {}, -1, Fail(ImageOpenFailed, FileNotFound), Opened},
        {badSize, {}, -1, Fail(SizeFailed, AccessDenied), Opened},
        // 0xFFFFFFFF is what a failed size query answers, so no image may have that size.
        {Size(10, 0xFFFFFFFF), {}, -1, Fail(SizeFailed, FileTooLarge), Opened},
        {Size(10, 0x100000000), {}, -1, Fail(SizeFailed, FileTooLarge), Opened},
        {[](Rig& r) { r.failSetTimerCall = 0; }, {0}, -1, {NoTimer}, Opened},
        {Write(100, 0, 1167), {}, -1, Fail(WriteFailed, 1167)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.end.message);
        Rig rig;
        const bool completed = c.end.message == FlashTexts::Completion;
        rig.ticksInsideMessages = completed ? 0 : 5;
        c.arrange(rig);
        rig.update.OnUpdateFlash();
        EXPECT_EQ(rig.update.busy(), c.received >= 0);
        if (rig.update.busy()) rig.update.OnUpdateFlash();  // a stray click changes nothing
        // Bounded, so that an update that never stops fails instead of hanging.
        int ticks = 0;
        for (; rig.timerRunning && ticks < 100000; ++ticks)
            rig.update.OnTimer(FlashUpdate::TimerId);
        EXPECT_EQ(rig.messages, std::vector<std::string>{c.end.message});
        EXPECT_EQ(rig.progress, c.progress);
        const test::FakeImage& image = rig.files.AddImage(ImagePath);
        const UpdateCommand command = BuildUpdateCommand(
            static_cast<uint32_t>(image.reportedSize ? image.reportedSize : image.bytes.size()));
        std::vector<uint8_t> received(command.begin(), command.end());
        received.insert(received.end(), image.bytes.begin(),
                        image.bytes.begin() + std::max(c.received, 0));
        EXPECT_EQ(rig.files.Device(Printer).received,
                  c.received < 0 ? std::vector<uint8_t>{} : received);
        EXPECT_FALSE(rig.timerRunning || rig.update.busy() || rig.update.HasPortList() ||
                     rig.update.HasImageOpen() || rig.files.OpenHandles() > 0);
        // A refused attempt never disabled the buttons, so it has none to enable.
        EXPECT_EQ(rig.buttons, c.received >= 0 ? "-+" : "");
        const uint32_t whole = completed ? c.received : std::max(c.received, 0) / 1024 * 1024;
        const std::string printer = c.stage >= Claimed ? Printer : "";
        EXPECT_EQ(rig.ended, (std::vector<Rig::Told>{{completed, c.end.message, c.end.code, printer,
                                                      c.stage >= Opened, c.stage >= Sent, whole}}));
        const std::string shown = "message " + c.end.message;
        EXPECT_TRUE(rig.Before("ended", shown));
        // A claimed port stays open until its message is out; an opened image closes before it,
        // except that a failed transfer and the timer's text are told while it is open.
        EXPECT_EQ(rig.Before(shown, "close device " + Printer), c.stage >= Opened);
        const bool toldOpen = c.end.message == FlashTexts::NoTimer || (!completed && ticks > 0);
        EXPECT_EQ(rig.Before("close image", shown),
                  c.stage >= Opened && c.end.code != ErrorCode::FileNotFound && !toldOpen);
        if (c.received < 0) continue;
        EXPECT_EQ(rig.Before("kill timer", "close image"), !completed);
        EXPECT_TRUE(rig.Before("close image", "close device " + Printer));
        // The period restarts once the command is out, so the first piece never follows it at
        // once; the pieces, then the tick that stops the timer.
        EXPECT_EQ(rig.Before("write 9", "set timer"), rig.failSetTimerCall < 0);
        EXPECT_TRUE(rig.Before("set timer", "write " + std::to_string(std::min(c.received, 1024))));
        EXPECT_EQ(ticks, completed ? static_cast<int>(c.progress.size()) : std::min(ticks, 9));
    }
}

}  // namespace
}  // namespace orlup
