// The flash update driven end to end through a recording host, scripted printers and images.
#include <gtest/gtest.h>

#include "fakes/EventLog.h"
#include "fakes/FakePlatform.h"
#include "fakes/FakeFlashHost.h"
#include "text/ErrorCodes.h"
#include "text/ErrorText.h"
#include "text/MessageText.h"
#include "update/FlashTexts.h"
#include "update/FlashUpdate.h"

namespace orlup {
namespace {

using test::EventLog;
using test::FakeDevice;
using test::FakePlatform;
using test::FakeFlashHost;
using test::FakeImage;

const std::string Printer = "printer-1";
const std::string SecondPrinter = "printer-2";
const std::string ImagePath = "C:\\flash\\0493v2.hex";

std::vector<uint8_t> Pattern(std::size_t size) {
    std::vector<uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
    return bytes;
}

std::vector<uint8_t> CommandThenImage(const std::vector<uint8_t>& image) {
    const UpdateCommand command = BuildUpdateCommand(static_cast<uint32_t>(image.size()));
    // Built by appending, which GCC 12's bounds check does not misread as an overflow.
    std::vector<uint8_t> bytes;
    bytes.reserve(command.size() + image.size());
    for (uint8_t byte : command) bytes.push_back(byte);
    for (uint8_t byte : image) bytes.push_back(byte);
    return bytes;
}

class FlashUpdateTest : public testing::Test {
protected:
    FlashUpdateTest() : files(&log), host(&log), update(host, files.System()) {
        host.update = &update;
        host.editText = ImagePath;
    }

    FakeDevice& Attach(const std::string& path = Printer) { return files.AddDevice(path); }
    FakeImage& Image(std::size_t size, const std::string& path = ImagePath) {
        FakeImage& image = files.AddImage(path);
        image.bytes = Pattern(size);
        return image;
    }
    /// Starts an attempt and checks it ended at once with exactly this one message.
    void ExpectRefusedWith(const std::string& text) {
        update.OnUpdateFlash();
        EXPECT_EQ(host.messages, std::vector<std::string>{text});
        ExpectIdle();
    }
    void ExpectIdle() {
        EXPECT_FALSE(update.busy());
        EXPECT_FALSE(update.HasPortList());
        EXPECT_FALSE(update.HasImageOpen());
        EXPECT_EQ(files.OpenHandles(), 0);
    }

    EventLog log;
    FakePlatform files;
    FakeFlashHost host;
    FlashUpdate update;
};

TEST_F(FlashUpdateTest, A2500ByteImageGoesOutAsThreePiecesWithProgress40_81_100) {
    FakeDevice& printer = Attach();
    const std::vector<uint8_t> image = Image(2500).bytes;

    update.OnUpdateFlash();
    EXPECT_TRUE(update.busy());
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(host.buttonStates, std::vector<bool>{false});
    const UpdateCommand command = BuildUpdateCommand(2500);
    EXPECT_EQ(printer.received, std::vector<uint8_t>(command.begin(), command.end()));

    EXPECT_EQ(host.RunTimer(), 4);  // three pieces, then the tick that stops the timer
    EXPECT_EQ(printer.received, CommandThenImage(image));
    EXPECT_EQ(host.progress, (std::vector<uint32_t>{0, 40, 81, 100}));
    EXPECT_EQ(host.messages, std::vector<std::string>{FlashTexts::Completion});
    EXPECT_EQ(host.killed, std::vector<uint32_t>{FlashUpdate::TimerId});
    EXPECT_EQ(host.buttonStates, (std::vector<bool>{false, true}));
    EXPECT_EQ(update.bytesSent(), 2500u);
    EXPECT_TRUE(update.completed());
    ExpectIdle();
    // The image is closed before the completion text, the port only after it.
    const int message = log.IndexOf("message " + std::string(FlashTexts::Completion));
    EXPECT_LT(log.IndexOf("close image"), message);
    EXPECT_GT(log.LastIndexOf("close device " + Printer), message);
    EXPECT_EQ(log.events.back(), "enable buttons");
    // The period restarts once the command is out, so the first piece never follows it at once.
    EXPECT_LT(log.IndexOf("write 9"), log.LastIndexOf("set timer"));
    EXPECT_LT(log.LastIndexOf("set timer"), log.IndexOf("write 1024"));
}

TEST_F(FlashUpdateTest, PositionsAbove100AreSentAsComputed) {
    Attach();
    Image(1050);
    update.OnUpdateFlash();
    host.RunTimer();
    EXPECT_EQ(host.progress, (std::vector<uint32_t>{0, 102, 105}));
}

TEST_F(FlashUpdateTest, SmallAndEmptyImagesCompleteWithAFullBar) {
    FakeDevice& printer = Attach();
    Image(42);
    update.OnUpdateFlash();
    EXPECT_EQ(host.RunTimer(), 2);
    EXPECT_EQ(host.progress, (std::vector<uint32_t>{0, 100}));
    EXPECT_EQ(printer.received.size(), 9u + 42u);

    host.progress.clear();
    host.messages.clear();
    printer.received.clear();
    Image(0);
    update.OnUpdateFlash();
    EXPECT_EQ(host.RunTimer(), 2);
    EXPECT_EQ(host.progress, (std::vector<uint32_t>{0, 100}));
    EXPECT_EQ(host.messages, std::vector<std::string>{FlashTexts::Completion});
    EXPECT_EQ(printer.received, CommandThenImage({}));
    EXPECT_EQ(files.listings, 2);  // each attempt searched afresh
}

TEST_F(FlashUpdateTest, RefusalsBeforeAnyPrinterIsLookedAt) {
    host.editText = "";
    ExpectRefusedWith(FlashTexts::EmptyPath);
    host.messages.clear();
    host.editText = "C:\\flash\\flash0493.hex";
    ExpectRefusedWith(FlashTexts::BadFileName);
    EXPECT_EQ(files.listings, 0);
    EXPECT_TRUE(host.progress.empty());
}

TEST_F(FlashUpdateTest, NoneOrSeveralPrintersStopWithTheModelsText) {
    ExpectRefusedWith("No Ilvaran printers found");

    host.messages.clear();
    host.editText = "C:\\flash\\0498.hex";
    Attach();
    ExpectRefusedWith("No Ilvaran-II printers found");

    host.messages.clear();
    host.editText = ImagePath;
    Attach(SecondPrinter);
    ExpectRefusedWith(
        "Multiple Ilvaran printers are online. Only one may be programmed at a time");
    EXPECT_EQ(update.printersFound(), 2);
    EXPECT_TRUE(files.Device(Printer).received.empty());
}

TEST_F(FlashUpdateTest, APrinterTakenBetweenSearchAndClaimGivesTheOpenFailure) {
    FakeDevice& printer = Attach();
    Image(100);
    printer.failOpenCall = 1;  // the search's test open succeeds, the claimed port's fails
    printer.failOpenError = ErrorCode::Busy;
    ExpectRefusedWith(FlashTexts::PortOpenFailed);
    EXPECT_TRUE(printer.received.empty());
    EXPECT_FALSE(log.Contains("open image"));
}

TEST_F(FlashUpdateTest, ImageThatWillNotOpenNamesTheSystemError) {
    Attach();
    ExpectRefusedWith(JoinText(FlashTexts::ImageOpenFailed, ErrorText(ErrorCode::FileNotFound)));
    EXPECT_LT(log.IndexOf("message " + host.messages[0]), log.LastIndexOf("close device " + Printer));
    EXPECT_TRUE(files.Device(Printer).received.empty());
}

TEST_F(FlashUpdateTest, FailedSizeQueryReportsItsOwnErrorNotTheClosesOne) {
    Attach();
    FakeImage& image = Image(100);
    image.sizeError = ErrorCode::AccessDenied;
    image.closeErrorCode = ErrorCode::InvalidHandle;
    ExpectRefusedWith(JoinText(FlashTexts::SizeFailed, ErrorText(ErrorCode::AccessDenied)));
    EXPECT_LT(log.IndexOf("close image"), log.IndexOf("message " + host.messages[0]));
    EXPECT_TRUE(files.Device(Printer).received.empty());
}

// 0xFFFFFFFF is what a failed size query answers, so no image may have that size.
TEST_F(FlashUpdateTest, ImageBeyondTheSizeFieldIsRefusedBeforeTheCommand) {
    Attach();
    for (const uint64_t size : {0xFFFFFFFFull, 0x100000000ull}) {
        host.messages.clear();
        Image(10).reportedSize = size;
        ExpectRefusedWith(JoinText(FlashTexts::SizeFailed, ErrorText(ErrorCode::FileTooLarge)));
    }
    EXPECT_TRUE(files.Device(Printer).received.empty());
}

TEST_F(FlashUpdateTest, NoTimerMeansNoCommandIsSent) {
    Attach();
    Image(100);
    host.timerFails = true;
    ExpectRefusedWith(FlashTexts::NoTimer);
    EXPECT_TRUE(files.Device(Printer).received.empty());
    EXPECT_EQ(host.progress, std::vector<uint32_t>{0});
    EXPECT_TRUE(host.buttonStates.empty());
}

TEST_F(FlashUpdateTest, FailedCommandWriteStopsTheTimerAndTellsThePortsError) {
    FakeDevice& printer = Attach();
    Image(100);
    printer.failWriteCall = 0;
    printer.writeError = ErrorCode::DeviceNotConnected;
    ExpectRefusedWith(JoinText(FlashTexts::WriteFailed, ErrorText(ErrorCode::DeviceNotConnected)));
    EXPECT_FALSE(host.timerRunning);
    EXPECT_TRUE(host.buttonStates.empty());
}

TEST_F(FlashUpdateTest, ShortWriteMidTransferEndsWithWriteFault) {
    FakeDevice& printer = Attach();
    Image(3000);
    printer.failWriteCall = 2;  // the second piece
    printer.shortBy = 24;
    host.ticksInsideMessages = 5;
    update.OnUpdateFlash();
    host.RunTimer();
    EXPECT_EQ(host.messages,
              std::vector<std::string>{JoinText(FlashTexts::WriteFailed, ErrorText(29))});
    EXPECT_EQ(host.progress, (std::vector<uint32_t>{0, 34}));
    // Ticks inside the box found busy cleared: they stopped the timer and sent nothing more.
    EXPECT_EQ(printer.writeCalls, 3);
    EXPECT_FALSE(update.completed());
    EXPECT_EQ(host.killed.size(), 1u);
    EXPECT_LT(log.IndexOf("kill timer"), log.IndexOf("close image"));
    ExpectIdle();
}

TEST_F(FlashUpdateTest, DeviceGoneAndTimeoutAreToldWithThePortsText) {
    for (uint32_t code : {ErrorCode::DeviceNotConnected, ErrorCode::Timeout}) {
        FakeDevice& printer = Attach();
        Image(5000);
        printer.failWriteCall = 3;
        printer.writeError = code;
        host.messages.clear();
        update.OnUpdateFlash();
        host.RunTimer();
        EXPECT_EQ(host.messages,
                  std::vector<std::string>{JoinText(FlashTexts::WriteFailed, ErrorText(code))});
        ExpectIdle();
        printer = FakeDevice{};
    }
}

TEST_F(FlashUpdateTest, ReadFailureIsToldBeforeTheImageAndPortClose) {
    Attach();
    FakeImage& image = Image(4000);
    image.failReadCall = 1;
    image.readError = ErrorCode::ReadFault;
    update.OnUpdateFlash();
    host.RunTimer();
    const std::string text = JoinText(FlashTexts::ReadFailed, ErrorText(ErrorCode::ReadFault));
    EXPECT_EQ(host.messages, std::vector<std::string>{text});
    EXPECT_LT(log.IndexOf("message " + text), log.IndexOf("close image"));
    EXPECT_LT(log.IndexOf("close image"), log.LastIndexOf("close device " + Printer));
    ExpectIdle();
}

TEST_F(FlashUpdateTest, AFileThatShrankEndsAsAFailedReadInsteadOfWaitingForever) {
    FakeDevice& printer = Attach();
    Image(2000).reportedSize = 3000;
    update.OnUpdateFlash();
    EXPECT_LT(host.RunTimer(), 10);
    EXPECT_EQ(host.messages, std::vector<std::string>{JoinText(
                                 FlashTexts::ReadFailed, ErrorText(ErrorCode::HandleEof))});
    EXPECT_EQ(printer.received.size(), 9u + 2000u);
    ExpectIdle();
}

TEST_F(FlashUpdateTest, AFileThatGrewSendsOnlyTheAnnouncedBytes) {
    FakeDevice& printer = Attach();
    const std::vector<uint8_t> bytes = Image(5000).bytes;
    files.AddImage(ImagePath).reportedSize = 2100;  // the size when the transfer started
    update.OnUpdateFlash();
    host.RunTimer();
    std::vector<uint8_t> announced(bytes.begin(), bytes.begin() + 2100);
    EXPECT_EQ(printer.received, CommandThenImage(announced));
    EXPECT_EQ(host.messages, std::vector<std::string>{FlashTexts::Completion});
}

TEST_F(FlashUpdateTest, ClosingDuringATransferReleasesTheImageAndPort) {
    Attach();
    Image(5000);
    {
        FakeFlashHost otherHost;
        FlashUpdate cutShort(otherHost, files.System());
        otherHost.update = &cutShort;
        otherHost.editText = ImagePath;
        cutShort.OnUpdateFlash();
        cutShort.OnTimer(FlashUpdate::TimerId);
        EXPECT_EQ(files.OpenHandles(), 2);
        EXPECT_TRUE(otherHost.messages.empty());
    }
    EXPECT_EQ(files.OpenHandles(), 0);
}

}  // namespace
}  // namespace orlup
