// The command-line host: exit codes, where each text goes, progress output and the listing.
#include <gtest/gtest.h>

#include <sstream>

#include "CliHost.h"
#include "PrinterListing.h"
#include "fakes/FakeFileApi.h"
#include "fakes/FakeSetupApi.h"
#include "platform/ErrorCodes.h"
#include "text/ErrorText.h"
#include "update/FlashTexts.h"

namespace orlup {
namespace {

using test::FakeFileApi;
using test::FakeSetupApi;

const std::string Printer = FakeSetupApi::PathFor(0x044E, 0x200A, "SN1");

class CliHostTest : public testing::Test {
protected:
    CliHostTest() {
        setup.Add(Printer).friendlyName = "Acme Ilvaran";
        files.AddDevice(Printer);
        files.AddImage("/img/0493.hex").bytes.assign(2500, 0x5A);
    }
    int Flash(const std::string& path, bool terminal = false) {
        CliHost::Options options;
        options.terminal = terminal;
        options.period = std::chrono::microseconds(0);
        CliHost host(path, out, err, options);
        return host.Flash(setup, files);
    }

    FakeSetupApi setup;
    FakeFileApi files;
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
    EXPECT_EQ(host.Flash(setup, files), 0);
    // Three pieces and the stopping tick: never sooner than four periods.
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(8));
    EXPECT_EQ(host.ticks(), 4u);
}

std::string NodeFor(const std::string& path) { return path == Printer ? "/dev/usb/lp3" : "-"; }

TEST_F(CliHostTest, ListingNamesEachPrinterWithItsStatus) {
    const std::string two = FakeSetupApi::PathFor(0x044E, 0x1301, "1-2");
    const std::string unbound = FakeSetupApi::PathFor(0x044E, 0x1301, "1-3");
    setup.Add(FakeSetupApi::PathFor(0x046D, 0xC077, "1-4"));  // not a printer
    setup.Add(two).deviceDesc = "Ilvaran-II";
    setup.Add(unbound);
    files.AddDevice(two).heldElsewhere = true;
    files.AddDevice(unbound).openError = ErrorCode::NotSupported;

    ListPrinters(setup, files, NodeFor, out);
    EXPECT_EQ(out.str(), "Ilvaran\t" + Printer + "\t/dev/usb/lp3\tAcme Ilvaran\tready\n" +
                             "Ilvaran-II\t" + two + "\t-\tIlvaran-II\tbusy\n" + "Ilvaran-II\t" +
                             unbound + "\t-\t" + unbound + "\tno printer driver bound\n");
    EXPECT_EQ(files.OpenHandles(), 0);
}

TEST_F(CliHostTest, ListingSaysSoWhenNothingIsAttached) {
    setup.interfaces.clear();
    ListPrinters(setup, files, NodeFor, out);
    EXPECT_EQ(out.str(), "No Ilvaran or Ilvaran-II printers attached\n");
}

}  // namespace
}  // namespace orlup
