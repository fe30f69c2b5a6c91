// "orlup-cli flash": one printer as the dialog finds it, one named printer, or all of a model.
#include "FlashCommand.h"

#include <algorithm>
#include <ctime>
#include <mutex>
#include <ostream>
#include <system_error>
#include <thread>
#include <vector>

#include "CliHost.h"
#include "History.h"
#include "ImageDigest.h"
#include "PrinterListing.h"
#include "text/ErrorText.h"
#include "text/MessageText.h"
#include "update/FlashTexts.h"

namespace orlup {

namespace {

/// The devices one attempt searches: the ones given, or what the source lists when the
/// search runs; either way the ones it saw are kept.
class AttemptDevices : public UsbDeviceSource {
public:
    explicit AttemptDevices(UsbDeviceSource* source, std::vector<UsbDeviceRecord> fixed = {})
        : source_(source), listed_(std::move(fixed)) {}
    std::vector<UsbDeviceRecord> ListUsbDevices() override {
        if (source_ != nullptr) listed_ = source_->ListUsbDevices();
        return listed_;
    }
    const std::vector<UsbDeviceRecord>& listed() const { return listed_; }

private:
    UsbDeviceSource* source_;
    std::vector<UsbDeviceRecord> listed_;
};

struct PrinterResult {
    UsbDeviceRecord printer;
    bool known = false;  // the search settled on this printer
    CliHost::Outcome outcome;
};

// Nothing when no printer was left out.
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

class FlashCommand {
public:
    FlashCommand(const FlashRequest& request, CliPlatform& platform, const CliContext& context)
        : request_(request),
          platform_(platform),
          context_(context),
          model_(ModelForPath(request.image)),
          history_(context.historyPath, context.err),
          started_(UtcTimestamp(std::time(nullptr))) {}

    int Run() {
        // The flash update tells an empty path or a wrong file name in its own words, before it
        // looks at any printer.
        if (model_ == nullptr) return Finish({RunOne(nullptr)});
        facts_ = platform_.TakeImage(request_.image);
        if (!request_.sha256.empty() && !CheckDigest()) return 1;
        if (request_.all) return RunAll();
        if (request_.printerId.empty()) {
            return Finish({RunOne(nullptr)});
        }
        UsbDeviceRecord printer;
        if (!FindNamedPrinter(&printer)) return 1;
        return Finish({RunOne(&printer)});
    }

private:
    // The image is read once, and every transfer then sends exactly what was read and hashed.
    bool CheckDigest() {
        if (facts_.error != 0) {
            return Refuse(JoinText(FlashTexts::ImageOpenFailed, ErrorText(facts_.error)));
        }
        if (facts_.sha256 == request_.sha256) return true;
        return Refuse("orlup-cli: the image's SHA-256 is " + facts_.sha256 + ", not the " +
                      request_.sha256 + " given; nothing was sent");
    }

    bool FindNamedPrinter(UsbDeviceRecord* printer) {
        const std::string id = Printable(request_.printerId);
        const std::vector<UsbDeviceRecord> named =
            PrintersNamed(platform_.Devices().ListUsbDevices(), request_.printerId);
        if (named.empty()) {
            return Refuse("orlup-cli: no Ilvaran or Ilvaran-II printer is known as " + id +
                          " (orlup-cli list shows them)");
        }
        if (named.size() > 1) {
            return Refuse("orlup-cli: " + id + " names " + std::to_string(named.size()) +
                          " printers; name one by its bus-port");
        }
        const FirmwareModel* model = ModelOfDevice(named.front());
        if (model != model_) {
            return Refuse("orlup-cli: printer " + id + " is an " + model->modelName +
                          ", the image is for an " + model_->modelName);
        }
        const uint32_t error = TestOpen(named.front());
        if (error != 0) {
            return Refuse("orlup-cli: printer " + id +
                          " cannot be opened: " + OpenFailureReason(error));
        }
        *printer = named.front();
        return true;
    }

    uint32_t TestOpen(const UsbDeviceRecord& printer) {
        const std::shared_ptr<DeviceFileApi> ports = platform_.MakePorts();
        const FileHandle handle = ports->OpenDevice(printer);
        if (handle == InvalidFileHandle) return ports->LastError();
        ports->Close(handle);
        return 0;
    }

    // Every free printer of the model, each in a thread of its own with its own flash update
    // and platform objects; a busy one is left out, as the search leaves it out.
    int RunAll() {
        std::vector<UsbDeviceRecord> free;
        std::vector<SkippedPrinter> skipped;
        for (const UsbDeviceRecord& device : platform_.Devices().ListUsbDevices()) {
            if (ModelOfDevice(device) != model_) continue;
            const uint32_t error = TestOpen(device);
            if (error == 0) {
                free.push_back(device);
            } else {
                skipped.push_back(SkippedPrinter{device, error});
            }
        }
        if (free.empty()) {
            Refuse(model_->noneFoundText);
            TellSkipped(context_.err, *model_, skipped);
            return 1;
        }
        std::vector<PrinterResult> results(free.size());
        std::vector<std::thread> threads;
        for (std::size_t i = 0; i < free.size(); ++i) {
            try {
                threads.emplace_back([this, &results, &free, i] { results[i] = RunOne(&free[i]); });
            } catch (const std::system_error&) {
                // Each transfer's thread is its timer.
                results[i] = PrinterResult{free[i], true, {}};
                results[i].outcome.message = FlashTexts::NoTimer;
            }
        }
        for (std::thread& thread : threads) thread.join();
        const int status = Finish(results);
        TellSkipped(context_.err, *model_, skipped);
        return status;
    }

    // One attempt over the named printer alone, or over every device as the dialog searches.
    PrinterResult RunOne(const UsbDeviceRecord* named) {
        AttemptDevices devices = named != nullptr ? AttemptDevices(nullptr, {*named})
                                                  : AttemptDevices(&platform_.Devices());
        const std::shared_ptr<DeviceFileApi> ports = platform_.MakePorts();
        const std::shared_ptr<ImageFileApi> images = platform_.MakeImages();
        CliHost::Options options;
        options.terminal = context_.terminal;
        options.period = context_.period;
        if (request_.all && named != nullptr) options.label = PrinterLabel(*named);
        options.outputLock = &outputLock_;
        if (context_.interruptSignal) {
            options.interrupted = [this] { return context_.CaughtSignal() != 0; };
        }
        CliHost host(request_.image, context_.out, context_.err, options);
        PrinterResult result;
        result.outcome = host.Flash(FlashSystem{devices, *ports, *images});
        if (!request_.all) TellSkipped(context_.err, *model_, result.outcome.skipped);
        if (named != nullptr) return PrinterResult{*named, true, result.outcome};
        // The printer searched is the one of the model that the search did not leave out; the
        // search lists nothing for an image of no model.
        std::vector<UsbDeviceRecord> found;
        for (const UsbDeviceRecord& device : devices.listed()) {
            const bool left = std::any_of(
                result.outcome.skipped.begin(), result.outcome.skipped.end(),
                [&](const SkippedPrinter& s) { return s.device.devicePath == device.devicePath; });
            if (ModelOfDevice(device) == model_ && !left) found.push_back(device);
        }
        result.known = found.size() == 1 && result.outcome.printersFound == 1;
        if (result.known) result.printer = found.front();
        return result;
    }

    // The summary, the completion text once, the history; and the exit status.
    int Finish(const std::vector<PrinterResult>& results) {
        bool allDone = true;
        bool anyDone = false;
        for (const PrinterResult& result : results) {
            const CliHost::Outcome& outcome = result.outcome;
            allDone = allDone && outcome.completed;
            anyDone = anyDone || outcome.completed;
            Record(result);
            if (!result.known) continue;
            context_.out << PrinterLabel(result.printer) << ": "
                         << (outcome.completed
                                 ? "done, " + std::to_string(outcome.bytesSent) +
                                       " bytes, sha256 " + facts_.sha256
                                 : "failed after " + std::to_string(outcome.bytesSent) + " of " +
                                       std::to_string(outcome.imageSize) + " bytes - " +
                                       (outcome.message.empty() ? "interrupted"
                                                                : outcome.message))
                         << '\n';
        }
        if (anyDone && request_.all) context_.out << FlashTexts::Completion << '\n';
        context_.out << std::flush;
        const int signal = context_.CaughtSignal();
        if (signal != 0) {
            for (const PrinterResult& result : results) {
                if (result.outcome.completed || !result.known) continue;
                if (request_.all) context_.err << PrinterLabel(result.printer) << ": ";
                context_.err << "Transfer interrupted after " << result.outcome.bytesSent << " of "
                             << result.outcome.imageSize
                             << " bytes. Re-power the printer with the rotary switch at position "
                                "4 and flash again.\n";
            }
            return 128 + signal;
        }
        return allDone ? 0 : 1;
    }

    bool Refuse(const std::string& line) {
        context_.err << line << '\n';
        PrinterResult result;
        result.outcome.message = line;
        Record(result);
        return false;
    }

    void Record(const PrinterResult& result) {
        HistoryEntry entry;
        entry.time = started_;
        entry.model = model_ != nullptr ? model_->modelName : "";
        entry.serial = result.printer.serial;
        entry.busPort = result.printer.busPort;
        entry.image = request_.image;
        entry.size = facts_.size;
        entry.sha256 = facts_.sha256;
        entry.bytesSent = result.outcome.bytesSent;
        entry.result = result.outcome.completed ? "done" : result.outcome.message;
        history_.Append(entry);
    }

    const FlashRequest& request_;
    CliPlatform& platform_;
    const CliContext& context_;
    const FirmwareModel* model_;
    HistoryFile history_;
    std::string started_;
    ImageFacts facts_;
    std::mutex outputLock_;
};

}  // namespace

int RunFlash(const FlashRequest& request, CliPlatform& platform, const CliContext& context) {
    return FlashCommand(request, platform, context).Run();
}

}  // namespace orlup
