// The command-line host: exit codes, where each text goes, progress output and the listing.
#include <gtest/gtest.h>

#include <sstream>

#include "CliHost.h"
#include "PrinterListing.h"
#include "fakes/FakePlatform.h"
#include "text/ErrorCodes.h"
#include "text/ErrorText.h"
#include "update/FlashTexts.h"

namespace orlup {
namespace {

using test::FakeDevice;
using test::FakePlatform;

const std::string Printer = "printer";

class CliHostTest : public testing::Test {
protected:
    CliHostTest() {
        UsbDeviceRecord& record = files.AddDevice(Printer).record;
        record.serial = "SN1";
        record.busPort = "1-1";
        record.node = "/dev/usb/lp3";
        files.AddImage("/img/0493.hex").bytes.assign(2500, 0x5A);
    }
    int Flash(const std::string& path, bool terminal = false) {
        CliHost::Options options;
        options.terminal = terminal;
        options.period = std::chrono::microseconds(0);
        CliHost host(path, out, err, options);
        return host.Flash(files.System());
    }

    FakePlatform files;
    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(CliHostTest, SuccessPrintsPercentagesAndTheCompletionTextOnStandardOutput) {
    EXPECT_EQ(Flash("/img/0493.hex"), 0);
    EXPECT_EQ(out.str(), "0%\n40%\n81%\n100%\n" + std::string(FlashTexts::Completion) + "\n");
    EXPECT_EQ(err.str(), "");
    EXPECT_EQ(files.Device(Printer).received.size(), 2509u);
}

TEST_F(CliHostTest, FailuresGoToStandardErrorAndExitOne) {
    EXPECT_EQ(Flash(""), 1);
    EXPECT_EQ(err.str(), std::string(FlashTexts::EmptyPath) + "\n");

    err.str("");
    EXPECT_EQ(Flash("/img/0498.hex"), 1);
    EXPECT_EQ(err.str(), "No Ilvaran-II printers found\n");

    err.str("");
    out.str("");
    files.Device(Printer).failWriteCall = 2;
    files.Device(Printer).writeError = ErrorCode::Timeout;
    EXPECT_EQ(Flash("/img/0493.hex"), 1);
    EXPECT_EQ(err.str(), std::string(FlashTexts::WriteFailed) + ErrorText(ErrorCode::Timeout) + "\n");
    EXPECT_EQ(out.str(), "0%\n40%\n");
}

TEST_F(CliHostTest, OnATerminalTheBarIsRedrawnAndEndedBeforeTheText) {
    EXPECT_EQ(Flash("/img/0493.hex", true), 0);
    const std::string text = out.str();
    EXPECT_NE(text.find("\r[################........................] 40%"), std::string::npos);
    EXPECT_NE(text.find("] 100%\n" + std::string(FlashTexts::Completion)), std::string::npos);
}

TEST_F(CliHostTest, TicksFollowTheRequestedPeriod) {
    CliHost::Options options;
    options.period = std::chrono::milliseconds(2);
    CliHost host("/img/0493.hex", out, err, options);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(host.Flash(files.System()), 0);
    // Three pieces and the stopping tick: never sooner than four periods.
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(8));
    EXPECT_EQ(host.ticks(), 4u);
}

TEST_F(CliHostTest, ListingNamesEachPrinterWithItsStatus) {
    files.AddDevice("mouse", 0x046D, 0xC077);  // not a printer
    files.AddDevice("two", 0x044E, 0x1301).heldElsewhere = true;
    FakeDevice& unbound = files.AddDevice("unbound", 0x044E, 0x1301);
    unbound.openError = ErrorCode::NotSupported;
    unbound.record.busPort = "1-3";

    EXPECT_EQ(ListPrinters(files, files, out), 3);
    EXPECT_EQ(out.str(),
              "MODEL       SERIAL              BUS-PORT  NODE            STATUS\n"
              "Ilvaran     SN1                 1-1       /dev/usb/lp3    ready\n"
              "Ilvaran-II  -                   -         -               busy\n"
              "Ilvaran-II  -                   1-3       -               no printer driver bound\n");
    EXPECT_EQ(files.OpenHandles(), 0);
}

}  // namespace
}  // namespace orlup
