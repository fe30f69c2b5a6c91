// Printer ports and the port list, against scripted devices.
#include <gtest/gtest.h>

#include "fakes/FakeFileApi.h"
#include "fakes/FakeSetupApi.h"
#include "platform/ErrorCodes.h"
#include "text/ErrorText.h"
#include "usb/PrinterPortList.h"

namespace orlup {
namespace {

using test::FakeFileApi;
using test::FakeSetupApi;

const std::string IlvaranA = FakeSetupApi::PathFor(0x044E, 0x200A, "A1");
const std::string IlvaranB = FakeSetupApi::PathFor(0x044E, 0x200A, "B2");
const std::string IlvaranTwo = FakeSetupApi::PathFor(0x044E, 0x1301, "C3");
const std::string Mouse = FakeSetupApi::PathFor(0x046D, 0xC077, "1-2");

class PortListTest : public testing::Test {
protected:
    void Attach(const std::string& path) {
        setup.Add(path);
        files.AddDevice(path);
    }
    FakeSetupApi setup;
    FakeFileApi files;
};

TEST(DevicePathPrefixTest, IsLowerCaseHexWithLeadingZeros) {
    EXPECT_EQ(DevicePathPrefix(0x044E, 0x200A), "\\\\?\\usb#vid_044e&pid_200a");
    EXPECT_EQ(DevicePathPrefix(0x44E, 0x1301).size(), 25u);
}

TEST_F(PortListTest, FindsOnlyMatchingPathsAndLeavesEveryPortClosed) {
    Attach(Mouse);
    Attach(IlvaranA);
    Attach(IlvaranTwo);
    Attach(IlvaranB);
    PrinterPortList list(setup, files);
    EXPECT_EQ(list.Find(0x044E, 0x200A), 2);
    EXPECT_EQ(list.deviceCount(), 4);
    ASSERT_EQ(list.ports().size(), 2u);
    EXPECT_EQ(list.ports()[0].name(), "USBPRINT-1");  // positions over all records
    EXPECT_EQ(list.ports()[1].name(), "USBPRINT-3");
    EXPECT_EQ(list.ports()[0].isOpen(), 0);
    EXPECT_EQ(files.Device(IlvaranA).opens, 1);
    EXPECT_EQ(files.Device(IlvaranA).closes, 1);
    EXPECT_EQ(files.Device(IlvaranTwo).opens, 0);
    EXPECT_EQ(files.OpenHandles(), 0);
}

TEST_F(PortListTest, PrefixMatchIsCaseSensitiveAndIgnoresWhatFollows) {
    Attach("\\\\?\\USB#VID_044E&PID_200A#X#{a5dcbf10-6530-11d2-901f-00c04fb951ed}");
    Attach("\\\\?\\usb#vid_044e&pid_200aMORE");
    Attach("\\\\?\\usb#vid_044e&pid_200");
    PrinterPortList list(setup, files);
    EXPECT_EQ(list.Find(0x044E, 0x200A), 1);
    EXPECT_EQ(list.ports()[0].devicePath(), "\\\\?\\usb#vid_044e&pid_200aMORE");
}

TEST_F(PortListTest, PrintersThatCannotBeOpenedAreLeftOut) {
    Attach(IlvaranA);
    Attach(IlvaranB);
    files.Device(IlvaranA).heldElsewhere = true;
    PrinterPortList list(setup, files);
    EXPECT_EQ(list.Find(0x044E, 0x200A), 1);
    EXPECT_EQ(list.ports()[0].devicePath(), IlvaranB);

    files.Device(IlvaranB).openError = ErrorCode::AccessDenied;
    PrinterPortList none(setup, files);
    EXPECT_EQ(none.Find(0x044E, 0x200A), 0);
    EXPECT_EQ(none.deviceCount(), 2);
}

TEST_F(PortListTest, NoSetupApiMeansNoPrinters) {
    Attach(IlvaranA);
    setup.libraryMissing = true;
    PrinterPortList list(setup, files);
    EXPECT_EQ(list.Find(0x044E, 0x200A), 0);
    EXPECT_EQ(list.deviceCount(), 0);
}

TEST_F(PortListTest, ClaimHandsOutFreePortsInOrderAndReleaseFreesThem) {
    Attach(IlvaranA);
    Attach(IlvaranB);
    PrinterPortList list(setup, files);
    ASSERT_EQ(list.Find(0x044E, 0x200A), 2);
    PrinterPort* first = list.Claim(-1);
    PrinterPort* second = list.Claim(-1);
    EXPECT_EQ(first, &list.ports()[0]);
    EXPECT_EQ(second, &list.ports()[1]);
    EXPECT_EQ(list.Claim(-1), nullptr);

    ASSERT_EQ(first->Open(), 1);
    list.Release(first);
    EXPECT_EQ(first->isOpen(), 0);
    EXPECT_EQ(list.Claim(-1), first);

    PrinterPort stranger(files, IlvaranTwo, 9);
    list.Release(&stranger);
    EXPECT_EQ(list.Claim(-1), nullptr);
}

TEST_F(PortListTest, ClaimByPositionChecksBoundsAndFlags) {
    Attach(IlvaranA);
    PrinterPortList list(setup, files);
    EXPECT_EQ(list.Claim(0), nullptr);  // empty list
    ASSERT_EQ(list.Find(0x044E, 0x200A), 1);
    EXPECT_EQ(list.Claim(1), nullptr);
    EXPECT_EQ(list.Claim(-2), nullptr);
    EXPECT_EQ(list.Claim(0), &list.ports()[0]);
    EXPECT_EQ(list.Claim(0), nullptr);
}

TEST_F(PortListTest, DestroyingTheListClosesItsOpenPort) {
    Attach(IlvaranA);
    {
        PrinterPortList list(setup, files);
        ASSERT_EQ(list.Find(0x044E, 0x200A), 1);
        ASSERT_EQ(list.Claim(-1)->Open(), 1);
        EXPECT_EQ(files.OpenHandles(), 1);
    }
    EXPECT_EQ(files.OpenHandles(), 0);
    EXPECT_EQ(files.Device(IlvaranA).closes, 2);  // the test open, then the claimed port
}

TEST_F(PortListTest, OpenAndCloseAreIdempotent) {
    Attach(IlvaranA);
    PrinterPort port(files, IlvaranA, 0);
    EXPECT_EQ(port.isOpen(), 1);
    EXPECT_EQ(port.Open(), 1);
    EXPECT_EQ(files.Device(IlvaranA).opens, 1);
    EXPECT_EQ(port.Close(), 1);
    EXPECT_EQ(port.Close(), 1);
    EXPECT_EQ(files.Device(IlvaranA).closes, 1);
    EXPECT_EQ(port.handle(), InvalidFileHandle);
}

TEST_F(PortListTest, WriteFailuresRecordTheirCodeAndText) {
    Attach(IlvaranA);
    auto& device = files.Device(IlvaranA);
    PrinterPort port(files, IlvaranA, 0);
    EXPECT_EQ(port.errorText(), "");

    EXPECT_EQ(port.Write("", 0), 1);  // zero bytes, zero written

    device.failWriteCall = 1;
    device.shortBy = 3;
    EXPECT_EQ(port.Write("abcdefgh", 8), 0);
    EXPECT_EQ(port.lastError(), ErrorCode::WriteFault);
    EXPECT_EQ(port.errorText(), ErrorText(29));

    EXPECT_EQ(port.Write("ok", 2), 1);  // success leaves the last failure as it was
    EXPECT_EQ(port.lastError(), ErrorCode::WriteFault);

    device.failWriteCall = 3;
    device.writeError = ErrorCode::DeviceNotConnected;
    EXPECT_EQ(port.Write("gone", 4), 0);
    EXPECT_EQ(port.lastError(), ErrorCode::DeviceNotConnected);
    EXPECT_EQ(port.errorText(), ErrorText(1167));
}

TEST_F(PortListTest, AFailedOpenIsRecordedAndAClosedPortStillReportsWrites) {
    files.AddDevice(IlvaranA).heldElsewhere = true;
    PrinterPort port(files, IlvaranA, 4);
    EXPECT_EQ(port.isOpen(), 0);
    EXPECT_EQ(port.lastError(), ErrorCode::Busy);
    EXPECT_EQ(port.errorText(), ErrorText(ErrorCode::Busy));
    EXPECT_EQ(port.Write("x", 1), 0);
    EXPECT_EQ(port.lastError(), ErrorCode::InvalidHandle);
}

}  // namespace
}  // namespace orlup
