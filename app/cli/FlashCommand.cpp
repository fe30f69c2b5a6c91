// "orlup-cli flash": one printer as the dialog finds it, one named printer, or all of a model.
#include "FlashCommand.h"

#include <map>
#include <optional>
#include <ostream>
#include <utility>

#include "ExitStatus.h"
#include "FlashSession.h"
#include "PrinterListing.h"
#include "update/FlashTexts.h"

namespace orlup {

namespace {

constexpr int BarWidth = 40;

// The line about printers of the model that could not be opened; nothing when there are none.
void TellSkipped(std::ostream& err, const FirmwareModel& model,
                 const std::vector<SkippedPrinter>& skipped) {
    if (skipped.empty()) return;
    std::string reasons;
    for (const SkippedPrinter& printer : skipped) {
        const std::string reason = OpenFailureReason(printer.error);
        if (reasons.find(reason) == std::string::npos) {
            reasons += (reasons.empty() ? "" : "; ") + reason;
        }
    }
    err << skipped.size() << " " << model.modelName
        << (skipped.size() == 1 ? " printer" : " printers") << " could not be opened: " << reasons
        << '\n';
}

/// Which printers to flash, or why none may be now.
struct Choice {
    bool ready = false;
    std::vector<UsbDeviceRecord> targets;  // empty when ready: the search finds the printer
    std::string refusal;
    int status = 0;
    bool waitable = false;  // a printer plugged in later may change the answer
    std::vector<SkippedPrinter> skipped;
};

/// Progress, messages and the completion text of flash's transfers: a bar for a lone transfer
/// on a terminal, else a line at every tenth, each labelled with its printer when several run.
class FlashText : public TransferView {
public:
    FlashText(FlashSession& session, bool labelled)
        : session_(session),
          labelled_(labelled),
          bar_(session.context().terminal && !labelled && !session.json()) {}

    void Progress(Transfer& transfer, uint32_t sent, uint32_t size) override {
        if (session_.json()) return;
        const int percent = PercentOf(sent, size);
        const std::lock_guard<std::mutex> lock(session_.outputLock());
        // Kept one above the percent or tenth, so that nothing shown yet reads as 0.
        const int next = (bar_ ? percent : percent / 10) + 1;
        if (std::exchange(shown_[&transfer], next) == next) return;
        const std::string counts = std::to_string(percent) + "% " + std::to_string(sent) + "/" +
                                   std::to_string(size) + " bytes";
        std::ostream& out = session_.human();
        if (!bar_) {
            out << Label(transfer) << counts << std::endl;
            return;
        }
        const int filled = percent * BarWidth / 100;
        out << "\r[" << std::string(filled, '#') << std::string(BarWidth - filled, '.') << "] "
            << counts << std::flush;
        barOpen_ = true;
    }
    void Message(Transfer& transfer, const std::string& text) override {
        Line(session_.context().err, transfer, text);
    }
    // Several transfers share one completion text, told once at the end.
    void Completion(Transfer& transfer, const std::string& text) override {
        if (!labelled_) Line(session_.human(), transfer, text);
    }
    /// A line of its own, after the bar if one is drawn.
    void Line(std::ostream& stream, Transfer& transfer, const std::string& text) {
        const std::lock_guard<std::mutex> lock(session_.outputLock());
        if (std::exchange(barOpen_, false)) session_.human() << '\n';
        stream << Label(transfer) << text << std::endl;
    }

private:
    std::string Label(const Transfer& transfer) const {
        return labelled_ ? PrinterLabel(transfer.printer) + ": " : "";
    }

    FlashSession& session_;
    bool labelled_;
    bool bar_;
    bool barOpen_ = false;
    std::map<const Transfer*, int> shown_;
};

class FlashCommand {
public:
    FlashCommand(const FlashRequest& request, CliPlatform& platform, const CliContext& context)
        : request_(request), session_(request.image, request.json, platform, context) {}

    int Run() {
        if (const int status = session_.TakeImage(request_.sha256); status != 0) return status;
        watch_ = session_.platform().WatchDevices(request_.wait.has_value());
        Choice choice;
        // Without a choice of its own, flash searches as the dialog does, in the flash update.
        if (request_.wait || request_.all || !request_.printerId.empty()) {
            if (const std::optional<int> refused = ChooseOrWait(&choice)) return *refused;
        }
        FlashText view(session_, request_.all);
        if (choice.targets.empty()) session_.Start(nullptr, view, *watch_);
        for (const UsbDeviceRecord& printer : choice.targets) {
            session_.Start(&printer, view, *watch_);
        }
        session_.WaitForTransfers(*watch_);
        return Finish(choice.skipped);
    }

private:
    // Nothing once there is a choice, else the exit status of the refusal.
    std::optional<int> ChooseOrWait(Choice* choice) {
        using Clock = std::chrono::steady_clock;
        const bool forever = request_.wait && request_.wait->count() < 0;
        const Clock::time_point deadline =
            Clock::now() + request_.wait.value_or(std::chrono::seconds{});  // unused if forever
        for (;;) {
            *choice = Choose();
            if (choice->ready) return std::nullopt;
            if (!request_.wait || !choice->waitable) return Refuse(*choice);
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (!forever && left.count() <= 0) return Refuse(*choice);
            const UsbDeviceWatch::Event event =
                watch_->Wait(forever ? std::chrono::milliseconds(-1) : left);
            if (const int signal = session_.CaughtSignal(); signal != 0) {
                return session_.Refuse(
                    "orlup-cli: interrupted while waiting for a printer; nothing was sent",
                    ExitStatus::Interrupted(signal));
            }
            if (event == UsbDeviceWatch::Event::Woken) session_.TakeStop();
        }
    }

    Choice Choose() {
        const std::vector<UsbDeviceRecord> devices = session_.platform().Devices().ListUsbDevices();
        if (!request_.printerId.empty()) return ChooseNamed(devices);
        const FirmwareModel& model = *session_.model();
        Choice choice;
        for (const UsbDeviceRecord& device : devices) {
            if (ModelOfDevice(device) != &model) continue;
            const uint32_t error = session_.TestOpen(device);
            if (error == 0) {
                choice.targets.push_back(device);
            } else {
                choice.skipped.push_back(SkippedPrinter{device, error});
            }
        }
        choice.ready = !choice.targets.empty();
        if (!request_.all) choice.targets.clear();
        choice.refusal = model.noneFoundText;
        choice.status =
            choice.skipped.empty() ? ExitStatus::NoPrinter : ExitStatus::NoUsablePrinter;
        choice.waitable = true;
        return choice;
    }

    Choice ChooseNamed(const std::vector<UsbDeviceRecord>& devices) {
        const std::string id = Printable(request_.printerId);
        const std::vector<UsbDeviceRecord> named = PrintersNamed(devices, request_.printerId);
        Choice choice;
        choice.status = ExitStatus::NoUsablePrinter;
        if (named.empty()) {
            choice.refusal = "orlup-cli: no Ilvaran or Ilvaran-II printer is known as " + id +
                             " (orlup-cli list shows them)";
            choice.status = ExitStatus::NoPrinter;
            choice.waitable = true;
            return choice;
        }
        if (named.size() > 1) {
            choice.refusal = "orlup-cli: " + id + " names " + std::to_string(named.size()) +
                             " printers; name one by its bus-port";
            return choice;
        }
        const FirmwareModel* model = ModelOfDevice(named.front());
        if (model != session_.model()) {
            choice.refusal = "orlup-cli: printer " + id + " is an " + model->modelName +
                             ", the image is for an " + session_.model()->modelName;
            return choice;
        }
        if (const uint32_t error = session_.TestOpen(named.front()); error != 0) {
            choice.refusal =
                "orlup-cli: printer " + id + " cannot be opened: " + OpenFailureReason(error);
            choice.waitable = true;
            return choice;
        }
        choice.ready = true;
        choice.targets = named;
        return choice;
    }

    int Refuse(const Choice& choice) {
        const int status = session_.Refuse(choice.refusal, choice.status);
        TellSkipped(session_.context().err, *session_.model(), choice.skipped);
        return status;
    }

    // The summary, the completion text once, the interruption lines; and the exit status.
    int Finish(const std::vector<SkippedPrinter>& skipped) {
        std::ostream& out = session_.human();
        std::ostream& err = session_.context().err;
        const int signal = session_.CaughtSignal();
        bool anyDone = false;
        bool allDone = true;
        bool interrupted = false;
        for (const std::shared_ptr<Transfer>& transfer : session_.transfers()) {
            const AttemptOutcome& outcome = transfer->result.outcome;
            anyDone = anyDone || outcome.completed;
            allDone = allDone && outcome.completed;
            interrupted = interrupted || transfer->status == ExitStatus::Interrupted(signal);
            if (!request_.all) TellSkipped(err, *session_.model(), transfer->result.skipped);
            if (transfer->known)
                out << PrinterLabel(transfer->printer) << ": " << Summary(*transfer) << '\n';
        }
        if (anyDone && request_.all) out << FlashTexts::Completion << '\n';
        out << std::flush;
        TellSkipped(err, *session_.model(), skipped);
        for (const std::shared_ptr<Transfer>& transfer : session_.transfers()) {
            if (signal == 0 || transfer->status != ExitStatus::Interrupted(signal)) continue;
            if (request_.all) err << PrinterLabel(transfer->printer) << ": ";
            const AttemptOutcome& outcome = transfer->result.outcome;
            err << "Transfer interrupted after " << outcome.bytesSent << " of " << outcome.imageSize
                << " bytes. Re-power the printer with the rotary switch at position 4 and flash "
                   "again.\n";
        }
        if (interrupted) return ExitStatus::Interrupted(signal);
        if (!request_.all) return session_.transfers().front()->status;
        return allDone ? ExitStatus::Done : ExitStatus::TransferFailed;
    }

    std::string Summary(const Transfer& transfer) const {
        const AttemptOutcome& outcome = transfer.result.outcome;
        if (outcome.completed) {
            return "done, " + std::to_string(outcome.bytesSent) + " bytes, sha256 " +
                   session_.facts().sha256;
        }
        const std::string why = transfer.result.cutShort ? "interrupted" : outcome.message;
        if (!outcome.commandSent) return "failed before sending - " + why;
        return "failed after " + std::to_string(outcome.bytesSent) + " of " +
               std::to_string(outcome.imageSize) + " bytes - " + why;
    }

    const FlashRequest& request_;
    // Before the session, whose transfers wake it until the session is gone.
    std::unique_ptr<UsbDeviceWatch> watch_;
    FlashSession session_;
};

}  // namespace

int RunFlash(const FlashRequest& request, CliPlatform& platform, const CliContext& context) {
    return FlashCommand(request, platform, context).Run();
}

}  // namespace orlup
