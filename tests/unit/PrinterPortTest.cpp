// Printer ports and the port list, against scripted devices.
#include <gtest/gtest.h>

#include "fakes/FakePlatform.h"
#include "text/ErrorCodes.h"
#include "text/ErrorText.h"
#include "usb/PrinterPortList.h"

namespace orlup {
namespace {

struct PortListTest : testing::Test {
    PortListTest() {
        files.AddDevice("mouse", 0x046D, 0xC077);
        for (const char* path : {"a", "b", "c"}) files.AddDevice(path);
        files.AddDevice("two", 0x044E, 0x1301);
    }
    test::FakePlatform files;
};

// Only free printers of the ids, named by their position among all devices; one held elsewhere
// or refused is kept with why, for the hint that follows. Linux releases a descriptor even when
// close fails, so a port that will not close is left out and never closed again.
TEST_F(PortListTest, FindsTheFreePrintersOfTheIdsAndLeavesEveryPortClosed) {
    files.Device("b").openError = ErrorCode::Busy;
    files.Device("c").openError = ErrorCode::AccessDenied;
    {
        PrinterPortList list(files, files);
        EXPECT_EQ(list.Find(0x044E, 0x200A), 1);
        EXPECT_EQ(list.deviceCount(), 5);
        EXPECT_EQ(list.ports().at(0).name(), "USBPRINT-1");
        EXPECT_EQ(list.ports()[0].isOpen(), 0);
        ASSERT_EQ(list.skipped().size(), 2u);
        EXPECT_EQ(list.skipped()[0].error * 10000 + list.skipped()[1].error,
                  ErrorCode::Busy * 10000 + ErrorCode::AccessDenied);
        EXPECT_EQ(files.Device("two").opens + files.Device("mouse").opens, 0);
    }
    EXPECT_EQ(files.Device("a").opens * 10 + files.Device("a").closes, 11);
    files.Device("a").closeFails = true;
    files.Device("b").openError = 0;
    {
        PrinterPortList list(files, files);
        EXPECT_EQ(list.Find(0x044E, 0x200A), 1);
        EXPECT_EQ(list.ports()[0].devicePath(), "b");
    }
    EXPECT_EQ(files.Device("a").closes, 2);
    EXPECT_EQ(files.OpenHandles(), 1);  // a's, which its close never gave back
}

TEST_F(PortListTest, ClaimHandsOutFreePortsInOrderAndTheListClosesWhatIsOpen) {
    {
        PrinterPortList list(files, files);
        EXPECT_EQ(list.Claim(0), nullptr);  // empty list
        ASSERT_EQ(list.Find(0x044E, 0x200A), 3);
        for (int position : {3, -2}) EXPECT_EQ(list.Claim(position), nullptr);
        PrinterPort* first = list.Claim(-1);
        EXPECT_EQ(first, &list.ports()[0]);
        EXPECT_EQ(list.Claim(2), &list.ports()[2]);
        EXPECT_EQ(list.Claim(-1), &list.ports()[1]);
        EXPECT_EQ(list.Claim(-1), nullptr);
        EXPECT_EQ(list.Claim(1), nullptr);

        ASSERT_EQ(first->Open(), 1);
        list.Release(first);
        EXPECT_EQ(first->isOpen(), 0);
        EXPECT_EQ(list.Claim(-1), first);
        PrinterPort stranger(files, files.Device("two").record, 9);
        list.Release(&stranger);
        EXPECT_EQ(list.Claim(-1), nullptr);
        ASSERT_EQ(first->Open(), 1);
    }
    EXPECT_EQ(files.OpenHandles(), 0);
    EXPECT_EQ(files.Device("a").closes, 3);  // the test open, the release, the list's end
}

// A write that fails, comes up short or finds no open port keeps its failure until the next
// failure; a port replaced by assignment closes first.
TEST_F(PortListTest, APortOpensOnceClosesOnceAndKeepsItsLastFailure) {
    PrinterPort port(files, files.Device("a").record, 0);
    EXPECT_EQ(port.isOpen() * 10 + port.Open(), 11);
    EXPECT_EQ(port.errorText(), "");
    EXPECT_EQ(port.Write("", 0), 1);  // zero bytes, zero written
    files.Device("a").FailWrite(1, 0, 3);
    EXPECT_EQ(port.Write("abcdefgh", 8), 0);
    EXPECT_EQ(port.Write("ok", 2), 1);  // success leaves the last failure as it was
    EXPECT_EQ(port.errorText(), ErrorText(ErrorCode::WriteFault));
    files.Device("a").FailWrite(3, ErrorCode::DeviceNotConnected);
    EXPECT_EQ(port.Write("gone", 4), 0);
    EXPECT_EQ(port.errorText(), ErrorText(ErrorCode::DeviceNotConnected));
    EXPECT_EQ(port.Close() * 10 + port.Close(), 11);
    EXPECT_EQ(files.Device("a").opens * 10 + files.Device("a").closes, 11);
    EXPECT_EQ(port.handle(), InvalidFileHandle);

    PrinterPort moved(files, files.Device("a").record, 2);
    port = std::move(moved);
    EXPECT_EQ(port.isOpen() * 10 + moved.isOpen(), 10);
    EXPECT_EQ(port.name(), "USBPRINT-2");
    files.Device("a").openError = ErrorCode::Busy;
    port = PrinterPort(files, files.Device("a").record, 4);  // the open one closed first
    EXPECT_EQ(files.Device("a").closes, 2);
    EXPECT_EQ(port.isOpen(), 0);
    EXPECT_EQ(port.errorText(), ErrorText(ErrorCode::Busy));
    EXPECT_EQ(port.lastError(), ErrorCode::Busy);
    EXPECT_EQ(port.Write("x", 1), 0);
    EXPECT_EQ(port.lastError(), ErrorCode::InvalidHandle);
}

}  // namespace
}  // namespace orlup
