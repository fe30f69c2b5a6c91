// Transfers through the real main dialog to scripted printers: buttons, progress, boxes, closing.

// The common controls header builds on windows.h.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include "DialogHarness.h"
#include "update/FirmwareModel.h"
#include "update/FlashTexts.h"

namespace orlup::test {
namespace {

const std::string ImagePath = "C:\\flash\\0493v2.hex";

class TransferTest : public DialogHarness {
protected:
    FakeDevice& AttachPrinter(std::size_t imageSize) {
        const std::string devicePath = "printer-SN1";
        image.resize(imageSize);
        for (std::size_t i = 0; i < imageSize; ++i) image[i] = static_cast<uint8_t>(i * 13);
        files.AddImage(ImagePath).bytes = image;
        return files.AddDevice(devicePath);
    }

    std::vector<uint8_t> CommandThenImage() const {
        const UpdateCommand command = BuildUpdateCommand(static_cast<uint32_t>(image.size()));
        std::vector<uint8_t> bytes(command.begin(), command.end());
        bytes.insert(bytes.end(), image.begin(), image.end());
        return bytes;
    }

    bool ButtonsEnabled() const {
        return IsWindowEnabled(Item(IDC_SELECT_FILE)) && IsWindowEnabled(Item(IDC_UPDATE_FLASH));
    }
    bool ButtonsDisabled() const {
        return !IsWindowEnabled(Item(IDC_SELECT_FILE)) && !IsWindowEnabled(Item(IDC_UPDATE_FLASH));
    }
    int Progress() const {
        return static_cast<int>(SendMessageA(Item(IDC_PROGRESS), PBM_GETPOS, 0, 0));
    }

    UiScript& StartTransfer() {
        return script
            .Do([this] {
                SetWindowTextA(Item(IDC_IMAGE_PATH), ImagePath.c_str());
                PostClick(Main(), IDC_UPDATE_FLASH);
            })
            .WaitFor("the transfer to start", [this] { return dialog->flashUpdate().busy(); });
    }

    std::vector<uint8_t> image;
};

TEST_F(TransferTest, CompletesWithTheButtonsAndProgressFollowing) {
    FakeDevice& printer = AttachPrinter(2500);
    StartTransfer().Do([this] {
        EXPECT_TRUE(ButtonsDisabled());
        EXPECT_TRUE(IsWindowEnabled(Item(IDOK)));
        EXPECT_TRUE(IsWindowEnabled(Item(IDC_IMAGE_PATH)));
    });
    WaitForBox()
        .Do([this] {
            EXPECT_EQ(FlashTexts::Completion, Box()->text);
            EXPECT_TRUE(ShowsExclamation(*Box()));
        })
        // Ticks still arrive inside the box's own loop: the first one enables the buttons.
        .WaitFor("the buttons while the box shows", [this] { return ButtonsEnabled(); })
        .Do([this] { EXPECT_EQ(100, Progress()); });
    DismissBox().Do([this] {
        EXPECT_FALSE(dialog->flashUpdate().HasPortList());
        EXPECT_EQ(0, files.OpenHandles());
    });
    Close();
    RunDialog();
    EXPECT_EQ(CommandThenImage(), printer.received);
    EXPECT_EQ(4, printer.writeCalls);
}

TEST_F(TransferTest, AboutBoxDoesNotPauseTheTransfer) {
    AttachPrinter(400 * 1024);
    uint32_t sentWhenOpened = 0;
    auto about = [] { return FindDialog(GetCurrentProcessId(), "About Orlup"); };
    StartTransfer()
        .Do([this] { PostMessageA(Main(), WM_SYSCOMMAND, UpdaterDialog::AboutCommand, 0); })
        .WaitFor("the About box", [&] { return about() != nullptr; })
        .Do([&] { sentWhenOpened = dialog->flashUpdate().bytesSent(); })
        .Pause(300)
        .Do([&] {
            EXPECT_GT(dialog->flashUpdate().bytesSent(), sentWhenOpened);
            EXPECT_FALSE(IsWindowEnabled(Main()));
            PostClick(about(), IDOK);
        });
    // The completion box may come while the About box is still open: it then belongs to it.
    WaitForBox().Do([this] { EXPECT_EQ(FlashTexts::Completion, Box()->text); });
    DismissBox();
    Close();
    RunDialog();
}

TEST_F(TransferTest, ClosingDuringATransferEndsAtOnceWithoutAMessage) {
    FakeDevice& printer = AttachPrinter(1024 * 1024);
    StartTransfer().Pause(100).Do([this] {
        EXPECT_FALSE(Box().has_value());
        PostMessageA(Main(), WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(IDCANCEL, RunDialog());
    EXPECT_LT(printer.received.size(), image.size());
    dialog.reset();
    EXPECT_EQ(0, files.OpenHandles());  // the port and the image went with the dialog
}

}  // namespace
}  // namespace orlup::test
