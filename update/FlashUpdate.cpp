// The flash update: the start checks, the update command and the timer-paced transfer.
#include "update/FlashUpdate.h"

#include <algorithm>

#include "text/ErrorCodes.h"
#include "text/ErrorText.h"
#include "text/MessageText.h"
#include "update/FlashTexts.h"

namespace orlup {

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
    sizeKnown_ = portOpened_ = commandSent_ = false;
    claimedPrinter_.reset();
    end_ = {};
    imagePath_ = host_.TakeImagePath();
    if (imagePath_.empty()) {
        EndWith(FlashTexts::EmptyPath, 0);
        return;
    }
    const FirmwareModel* model = ModelForPath(imagePath_);
    if (model == nullptr) {
        EndWith(FlashTexts::BadFileName, 0);
        return;
    }
    if (!OpenClaimedPort(*model)) return;

    imageFile_ = system_.images.OpenImage(imagePath_);
    if (imageFile_ == InvalidFileHandle) {
        const uint32_t error = system_.images.LastError();
        EndWith(JoinText(FlashTexts::ImageOpenFailed, ErrorText(error)), error);
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
        EndWith(model.noneFoundText, 0);
        DestroyPortList();
        return false;
    }
    if (printersFound_ > 1) {
        EndWith(FormatText(FlashTexts::MultiplePrinters, model.modelName), 0);
        DestroyPortList();
        return false;
    }
    claimedPort_ = portList_->Claim(-1);
    claimedPrinter_ = claimedPort_->device();
    if (!claimedPort_->Open()) {
        const uint32_t error = claimedPort_->lastError();
        DestroyPortList();
        // The sentence names no cause, but a record of the attempt keeps it.
        EndWith(FlashTexts::PortOpenFailed, error);
        return false;
    }
    portOpened_ = true;
    return true;
}

bool FlashUpdate::StartTransfer() {
    uint64_t size = 0;
    if (!system_.images.Size(imageFile_, &size)) {
        // Taken before the close, which may set an error of its own.
        const uint32_t error = system_.images.LastError();
        CloseImage();
        EndWith(JoinText(FlashTexts::SizeFailed, ErrorText(error)), error);
        DestroyPortList();
        return false;
    }
    if (size > LargestImage) {
        CloseImage();
        EndWith(JoinText(FlashTexts::SizeFailed, ErrorText(ErrorCode::FileTooLarge)),
                ErrorCode::FileTooLarge);
        DestroyPortList();
        return false;
    }
    imageSize_ = static_cast<uint32_t>(size);
    sizeKnown_ = true;

    // The timer comes before the command: once the printer has been told a size, it must get
    // every byte of it.
    timerId_ = host_.SetTimer(TimerId, TimerPeriodMs);
    if (timerId_ == 0) {
        host_.SetProgress(0);
        EndWith(FlashTexts::NoTimer, 0);
        CloseImage();
        DestroyPortList();
        return false;
    }
    const UpdateCommand command = BuildUpdateCommand(imageSize_);
    // Told a size as soon as the write begins: part of the command may arrive even if it fails.
    commandSent_ = true;
    bytesSent_ = 0;
    if (!claimedPort_->Write(command.data(), static_cast<uint32_t>(command.size()))) {
        host_.KillTimer(timerId_);
        CloseImage();
        EndWith(JoinText(FlashTexts::WriteFailed, claimedPort_->errorText()),
                claimedPort_->lastError());
        DestroyPortList();
        return false;
    }
    // The printer gets at least one whole period after the command before the first piece,
    // however long the command took. Should the restart fail, the timer set before the command
    // still runs: the printer has been told a size and gets every byte of it all the same.
    host_.SetTimer(TimerId, TimerPeriodMs);
    busy_ = true;
    host_.SetProgress(0);
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
    uint32_t count;  // set whenever the read succeeds
    if (!system_.images.Read(imageFile_, piece_.data(), due, &count)) {
        const uint32_t error = system_.images.LastError();
        FailTransfer(JoinText(FlashTexts::ReadFailed, ErrorText(error)), error);
        return;
    }
    // A file that shrank would otherwise leave the printer waiting for bytes forever.
    if (count == 0 && due > 0) {
        FailTransfer(JoinText(FlashTexts::ReadFailed, ErrorText(ErrorCode::HandleEof)),
                     ErrorCode::HandleEof);
        return;
    }
    if (!claimedPort_->Write(piece_.data(), count)) {
        FailTransfer(JoinText(FlashTexts::WriteFailed, claimedPort_->errorText()),
                     claimedPort_->lastError());
        return;
    }
    bytesSent_ += count;
    host_.SetProgress(ProgressPosition());
    if (bytesSent_ == imageSize_) {
        busy_ = false;
        completed_ = true;
        CloseImage();
        end_ = {FlashTexts::Completion, 0};
        host_.AttemptEnded(outcome());
        host_.ShowCompletion(FlashTexts::Completion);
        DestroyPortList();
    }
}

void FlashUpdate::FailTransfer(const std::string& text, uint32_t code) {
    // Cleared first: ticks that the message box's own loop delivers must not send.
    busy_ = false;
    EndWith(text, code);
    CloseImage();
    DestroyPortList();
}

void FlashUpdate::EndWith(const std::string& text, uint32_t code) {
    end_ = {text, code};
    host_.AttemptEnded(outcome());
    host_.ShowMessage(text);
}

AttemptOutcome FlashUpdate::outcome() const {
    AttemptOutcome outcome;
    outcome.completed = completed_;
    outcome.message = end_.text;
    outcome.errorCode = end_.code;
    outcome.portOpened = portOpened_;
    outcome.commandSent = commandSent_;
    outcome.imageSize = sizeKnown_ ? imageSize_ : 0;
    outcome.bytesSent = commandSent_ ? bytesSent_ : 0;
    outcome.printer = claimedPrinter_;
    return outcome;
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
