// The flash update: the start checks, the update command and the timer-paced transfer.
#include "update/FlashUpdate.h"

#include <algorithm>

#include "text/ErrorCodes.h"
#include "text/ErrorText.h"
#include "text/MessageText.h"
#include "update/FlashTexts.h"

namespace orlup {

namespace {
// The update command's size field is 32 bits wide, and a size query that answers 0xFFFFFFFF
// has failed, so the largest image is one byte less.
constexpr uint64_t LargestImage = 0xFFFFFFFEu;
}  // namespace

FlashUpdate::FlashUpdate(FlashUpdateHost& host, const FlashSystem& system)
    : host_(host), system_(system) {}

FlashUpdate::~FlashUpdate() {
    CloseImage();
    DestroyPortList();
}

void FlashUpdate::OnUpdateFlash() {
    // The button is disabled while a transfer runs; a stray click must not start a second one
    // over the open image and port.
    if (busy_) return;
    completed_ = false;
    imagePath_ = host_.TakeImagePath();
    if (imagePath_.empty()) {
        host_.ShowMessage(FlashTexts::EmptyPath);
        return;
    }
    const FirmwareModel* model = ModelForPath(imagePath_);
    if (model == nullptr) {
        host_.ShowMessage(FlashTexts::BadFileName);
        return;
    }
    if (!OpenClaimedPort(*model)) return;

    imageFile_ = system_.images.OpenImage(imagePath_);
    if (imageFile_ == InvalidFileHandle) {
        const uint32_t error = system_.images.LastError();
        host_.ShowMessage(JoinText(FlashTexts::ImageOpenFailed, ErrorText(error)));
        DestroyPortList();
        return;
    }
    if (!StartTransfer()) return;
    host_.EnableButtons(false);
}

bool FlashUpdate::OpenClaimedPort(const FirmwareModel& model) {
    portList_ = std::make_unique<PrinterPortList>(system_.devices, system_.ports);
    printersFound_ = portList_->Find(model.vendorId, model.productId);
    skipped_ = portList_->skipped();
    if (printersFound_ == 0) {
        host_.ShowMessage(model.noneFoundText);
        DestroyPortList();
        return false;
    }
    if (printersFound_ > 1) {
        host_.ShowMessage(FormatText(FlashTexts::MultiplePrinters, model.modelName));
        DestroyPortList();
        return false;
    }
    claimedPort_ = portList_->Claim(-1);
    if (!claimedPort_->Open()) {
        DestroyPortList();
        host_.ShowMessage(FlashTexts::PortOpenFailed);
        return false;
    }
    return true;
}

bool FlashUpdate::StartTransfer() {
    uint64_t size = 0;
    if (!system_.images.Size(imageFile_, &size)) {
        // Taken before the close, which may set an error of its own.
        const uint32_t error = system_.images.LastError();
        CloseImage();
        host_.ShowMessage(JoinText(FlashTexts::SizeFailed, ErrorText(error)));
        DestroyPortList();
        return false;
    }
    if (size > LargestImage) {
        CloseImage();
        host_.ShowMessage(JoinText(FlashTexts::SizeFailed, ErrorText(ErrorCode::FileTooLarge)));
        DestroyPortList();
        return false;
    }
    imageSize_ = static_cast<uint32_t>(size);

    // The timer comes before the command: once the printer has been told a size, it must get
    // every byte of it.
    timerId_ = host_.SetTimer(TimerId, TimerPeriodMs);
    if (timerId_ == 0) {
        host_.SetProgress(0);
        host_.ShowMessage(FlashTexts::NoTimer);
        CloseImage();
        DestroyPortList();
        return false;
    }
    const UpdateCommand command = BuildUpdateCommand(imageSize_);
    if (!claimedPort_->Write(command.data(), static_cast<uint32_t>(command.size()))) {
        host_.KillTimer(timerId_);
        CloseImage();
        host_.ShowMessage(JoinText(FlashTexts::WriteFailed, claimedPort_->errorText()));
        DestroyPortList();
        return false;
    }
    // The printer gets at least one whole period after the command before the first piece,
    // however long the command took. Should the restart fail, the timer set before the command
    // still runs: the printer has been told a size and gets every byte of it all the same.
    host_.SetTimer(TimerId, TimerPeriodMs);
    busy_ = true;
    host_.SetProgress(0);
    bytesSent_ = 0;
    return true;
}

void FlashUpdate::OnTimer(uint32_t id) {
    if (busy_) {
        SendNextPiece();
        return;
    }
    host_.KillTimer(id);
    host_.EnableButtons(true);
}

void FlashUpdate::SendNextPiece() {
    // Never more than the size announced, even if the file has grown since.
    const uint32_t due = std::min(PieceSize, imageSize_ - bytesSent_);
    uint32_t count = 0;
    if (!system_.images.Read(imageFile_, piece_.data(), due, &count)) {
        FailTransfer(JoinText(FlashTexts::ReadFailed, ErrorText(system_.images.LastError())));
        return;
    }
    // A file that shrank would otherwise leave the printer waiting for bytes forever.
    if (count == 0 && due > 0) {
        FailTransfer(JoinText(FlashTexts::ReadFailed, ErrorText(ErrorCode::HandleEof)));
        return;
    }
    if (!claimedPort_->Write(piece_.data(), count)) {
        FailTransfer(JoinText(FlashTexts::WriteFailed, claimedPort_->errorText()));
        return;
    }
    bytesSent_ += count;
    host_.SetProgress(ProgressPosition());
    if (bytesSent_ == imageSize_) {
        busy_ = false;
        completed_ = true;
        CloseImage();
        host_.ShowCompletion(FlashTexts::Completion);
        DestroyPortList();
    }
}

void FlashUpdate::FailTransfer(const std::string& text) {
    // Cleared first: ticks that the message box's own loop delivers must not send.
    busy_ = false;
    host_.ShowMessage(text);
    CloseImage();
    DestroyPortList();
}

uint32_t FlashUpdate::ProgressPosition() const {
    const uint32_t divisor = imageSize_ / 100;
    if (divisor != 0) return bytesSent_ / divisor;
    // Below 100 bytes there is no hundredth to divide by; the one piece completes the bar.
    if (imageSize_ == 0) return 100;
    return static_cast<uint32_t>(uint64_t{bytesSent_} * 100 / imageSize_);
}

void FlashUpdate::CloseImage() {
    if (imageFile_ == InvalidFileHandle) return;
    system_.images.Close(imageFile_);
    imageFile_ = InvalidFileHandle;
}

void FlashUpdate::DestroyPortList() {
    claimedPort_ = nullptr;
    portList_.reset();
}

}  // namespace orlup
