// One run of flash or station: the image read once, each printer's transfer on a thread of its
// own, and what every attempt tells and leaves in the records.
#include "FlashSession.h"

#include <algorithm>
#include <chrono>
#include <ostream>
#include <system_error>
#include <utility>

#include "ExitStatus.h"
#include "PrinterListing.h"
#include "text/ErrorCodes.h"
#include "text/ErrorText.h"
#include "text/MessageText.h"
#include "update/FlashTexts.h"

namespace orlup {

namespace {

/// The devices one attempt searches: the one given, or what the source lists when the search
/// runs.
class AttemptDevices : public UsbDeviceSource {
public:
    AttemptDevices(UsbDeviceSource& source, const std::optional<UsbDeviceRecord>& fixed)
        : source_(source), fixed_(fixed) {}
    std::vector<UsbDeviceRecord> ListUsbDevices() override {
        if (fixed_) return {*fixed_};
        return source_.ListUsbDevices();
    }

private:
    UsbDeviceSource& source_;
    const std::optional<UsbDeviceRecord>& fixed_;
};

}  // namespace

int PercentOf(uint64_t sent, uint64_t size) {
    return static_cast<int>(size == 0 ? 100 : sent * 100 / size);
}

FlashSession::FlashSession(std::string image, bool json, CliPlatform& platform,
                           const CliContext& context)
    : image_(std::move(image)),
      platform_(platform),
      context_(context),
      model_(ModelForPath(image_)),
      started_(UtcTimestamp(std::chrono::system_clock::now())),
      events_(json ? &context.out : nullptr),
      history_(context.historyPath, context.appendLine, "orlup-cli", context.err) {}

FlashSession::~FlashSession() {
    for (std::thread& thread : threads_) {
        if (thread.joinable()) thread.join();
    }
}

std::ostream& FlashSession::human() const { return json() ? context_.err : context_.out; }

int FlashSession::TakeImage(const std::string& sha256) {
    // The flash update's own words for a name it would refuse, before the image is looked at.
    if (model_ == nullptr) {
        return Refuse(image_.empty() ? FlashTexts::EmptyPath : FlashTexts::BadFileName,
                      ExitStatus::ImageRefused);
    }
    facts_ = platform_.TakeImage(image_, FlashUpdate::LargestImage,
                                 [this] { return CaughtSignal() != 0; });
    if (facts_.error == ErrorCode::OperationAborted && CaughtSignal() != 0) {
        return Refuse("orlup-cli: interrupted while the image was read; nothing was sent",
                      ExitStatus::Interrupted(CaughtSignal()), facts_.error);
    }
    if (facts_.error != 0) {
        return Refuse(facts_.problem.empty()
                          ? JoinText(FlashTexts::ImageOpenFailed, ErrorText(facts_.error))
                          : "orlup-cli: " + facts_.problem,
                      ExitStatus::ImageRefused, facts_.error);
    }
    if (facts_.size > FlashUpdate::LargestImage) {
        return Refuse(JoinText(FlashTexts::SizeFailed, ErrorText(ErrorCode::FileTooLarge)),
                      ExitStatus::ImageRefused, ErrorCode::FileTooLarge);
    }
    if (!sha256.empty() && facts_.sha256 != sha256) {
        return Refuse("orlup-cli: the image's SHA-256 is " + facts_.sha256 + ", not the " + sha256 +
                          " given; nothing was sent",
                      ExitStatus::ImageRefused);
    }
    return 0;
}

int FlashSession::Refuse(const std::string& line, int status, uint32_t code) {
    context_.err << line << std::endl;
    events_.Failed(nullptr, line, code, 0, facts_.size, status);
    AttemptOutcome outcome;
    outcome.message = line;
    outcome.errorCode = code;
    Record(nullptr, outcome, false);
    return status;
}

uint32_t FlashSession::TestOpen(const UsbDeviceRecord& printer) {
    const std::shared_ptr<DeviceFileApi> ports = platform_.MakePorts();
    const FileHandle handle = ports->OpenDevice(printer);
    if (handle == InvalidFileHandle) return ports->LastError();
    ports->Close(handle);
    return 0;
}

std::shared_ptr<Transfer> FlashSession::Start(const UsbDeviceRecord* printer, TransferView& view,
                                              UsbDeviceWatch& watch) {
    auto transfer = std::make_shared<Transfer>();
    if (printer != nullptr) {
        transfer->target = transfer->printer = *printer;
        transfer->known = true;
    }
    transfers_.push_back(transfer);
    try {
        threads_.emplace_back([this, transfer, &view, &watch] {
            Run(*transfer, view);
            transfer->ended = true;
            watch.Wake();
        });
    } catch (const std::system_error&) {
        threads_.emplace_back();
        // Each transfer's thread is its timer.
        transfer->result.outcome.message = FlashTexts::NoTimer;
        Finish(*transfer, ExitStatus::TransferFailed);
        view.Ended(*transfer);
        transfer->ended = true;
    }
    return transfer;
}

void FlashSession::Run(Transfer& transfer, TransferView& view) {
    const GatePass pass(&gate_);
    AttemptDevices devices(platform_.Devices(), transfer.target);
    const std::shared_ptr<DeviceFileApi> ports = platform_.MakePorts();
    const std::shared_ptr<ImageFileApi> images = platform_.MakeImages();
    CliHost::Options options;
    options.period = context_.period;
    options.gate = &gate_;
    if (context_.signals.caught) options.interrupted = [this] { return CaughtSignal() != 0; };
    int tenth = -1;
    CliHost::Hooks hooks;
    hooks.started = [&](const UsbDeviceRecord& printer) {
        transfer.printer = printer;  // known for the record once the attempt has ended
        events_.Started(printer, image_, facts_.size, facts_.sha256);
        view.Started(transfer);
    };
    hooks.progress = [&](uint32_t sent, uint32_t size) {
        const int percent = PercentOf(sent, size);
        if (percent / 10 != std::exchange(tenth, percent / 10)) {
            events_.Progress(transfer.printer, percent, sent, size);
        }
        view.Progress(transfer, sent, size);
    };
    hooks.message = [&](const std::string& text) { view.Message(transfer, text); };
    hooks.completion = [&](const std::string& text) { view.Completion(transfer, text); };
    CliHost host(image_, options, hooks);
    transfer.result = host.Flash(FlashSystem{devices, *ports, *images});
    Finish(transfer);
    view.Ended(transfer);
}

// The attempt's own status, its event and its records, as soon as it ends.
void FlashSession::Finish(Transfer& transfer, std::optional<int> status) {
    CliHost::Result& result = transfer.result;
    AttemptOutcome& outcome = result.outcome;
    if (!transfer.known && outcome.printer) {
        transfer.printer = *outcome.printer;
        transfer.known = true;
    }
    if (result.cutShort) {
        outcome.message = "Transfer interrupted after " + std::to_string(outcome.bytesSent) +
                          " of " + std::to_string(outcome.imageSize) + " bytes";
        outcome.errorCode = ErrorCode::OperationAborted;
    }
    transfer.status = status.value_or(StatusOf(result, CaughtSignal()));
    const UsbDeviceRecord* printer = transfer.known ? &transfer.printer : nullptr;
    if (outcome.completed) {
        events_.Done(transfer.printer, outcome.bytesSent, facts_.size, facts_.sha256);
    } else {
        events_.Failed(printer, outcome.message, outcome.errorCode, outcome.bytesSent, facts_.size,
                       transfer.status);
    }
    Record(printer, outcome, outcome.completed);
}

void FlashSession::Record(const UsbDeviceRecord* printer, const AttemptOutcome& outcome,
                          bool done) {
    AttemptRecord record;
    record.time = started_;
    record.model = model_ != nullptr ? model_->modelName : "";
    if (printer != nullptr) {
        record.serial = printer->serial;
        record.busPort = printer->busPort;
    }
    record.image = image_;
    record.size = facts_.size;
    record.sha256 = facts_.sha256;
    record.bytesSent = outcome.bytesSent;
    record.done = done;
    record.result = done ? "done" : outcome.message;
    record.code = outcome.errorCode;
    history_.Record(record);
    for (AttemptRecorder* recorder : context_.recorders) recorder->Record(record);
}

void FlashSession::WaitForTransfers(UsbDeviceWatch& watch) {
    auto ended = [](const std::shared_ptr<Transfer>& transfer) { return transfer->ended.load(); };
    while (!std::all_of(transfers_.begin(), transfers_.end(), ended)) {
        watch.Wait(std::chrono::milliseconds(-1));
        TakeStop();
    }
}

void FlashSession::JoinEnded() {
    for (std::size_t i = 0; i < threads_.size(); ++i) {
        if (transfers_[i]->ended && threads_[i].joinable()) threads_[i].join();
    }
}

void FlashSession::TakeStop() {
    const CliSignals& signals = context_.signals;
    if (!signals.takeStopRequest || !signals.takeStopRequest()) return;
    gate_.Close();
    if (CaughtSignal() == 0 && signals.stopProcess) signals.stopProcess();
    gate_.Open();
}

int StatusOf(const CliHost::Result& result, int signalNumber) {
    const AttemptOutcome& outcome = result.outcome;
    if (outcome.completed) return ExitStatus::Done;
    const bool interrupted = result.cutShort || outcome.errorCode == ErrorCode::OperationAborted;
    if (outcome.commandSent) {
        return interrupted && signalNumber != 0 ? ExitStatus::Interrupted(signalNumber)
                                                : ExitStatus::TransferFailed;
    }
    if (!outcome.printer) {
        return result.printersFound == 0 && result.skipped.empty() ? ExitStatus::NoPrinter
                                                                   : ExitStatus::NoUsablePrinter;
    }
    return outcome.portOpened ? ExitStatus::TransferFailed : ExitStatus::NoUsablePrinter;
}

}  // namespace orlup
