// "orlup-cli station": flashes every printer of the image's model as it is plugged in.
#include "StationCommand.h"

#include <map>
#include <ostream>
#include <set>
#include <utility>

#include "ExitStatus.h"
#include "FlashSession.h"
#include "PrinterListing.h"
#include "StationView.h"

namespace orlup {

namespace {

// A printer that was just flashed is re-powered by the technician and comes back: within one
// run a serial that took the image is not flashed again, and one whose attempt failed is, once
// it comes back. A printer that cannot be told apart across re-powers is refused.
class Station {
public:
    Station(const StationRequest& request, CliPlatform& platform, const CliContext& context)
        : request_(request), session_(request.image, request.json, platform, context) {}

    int Run() {
        if (const int status = session_.TakeImage(request_.sha256); status != 0) return status;
        watch_ = session_.platform().WatchDevices(true);
        view_ = std::make_unique<StationView>(session_);
        session_.human() << "Waiting for " << session_.model()->modelName
                         << " printers to flash with " << Printable(request_.image) << " ("
                         << session_.facts().size << " bytes, sha256 " << session_.facts().sha256
                         << "); Ctrl-C stops." << std::endl;
        Rescan();
        while (session_.CaughtSignal() == 0) {
            const UsbDeviceWatch::Event event = watch_->Wait(std::chrono::milliseconds(-1));
            Reap();
            if (session_.CaughtSignal() != 0) break;
            if (event == UsbDeviceWatch::Event::Woken) session_.TakeStop();
            Rescan();
        }
        session_.WaitForTransfers(*watch_);
        Reap();
        return Finish();
    }

private:
    // An appearance of a printer: the same one re-powered comes back with another node.
    static std::string Key(const UsbDeviceRecord& printer) {
        return printer.devicePath + '\n' + printer.serial + '\n' + printer.node;
    }

    void Rescan() {
        std::vector<UsbDeviceRecord> printers;
        std::map<std::string, int> serials;
        for (const UsbDeviceRecord& device : session_.platform().Devices().ListUsbDevices()) {
            if (ModelOfDevice(device) != session_.model()) continue;
            printers.push_back(device);
            ++serials[device.serial];
        }
        std::set<std::string> present;
        for (const UsbDeviceRecord& printer : printers) {
            const std::string key = Key(printer);
            present.insert(key);
            if (present_.count(key) != 0 && retry_.erase(key) == 0) continue;
            Decide(printer, serials[printer.serial]);
        }
        present_ = std::move(present);
    }

    // The device appears before its driver's node, and comes back with it as another
    // appearance: decided only then, or one re-power would be told of twice.
    void Decide(const UsbDeviceRecord& printer, int sameSerial) {
        if (printer.node.empty()) return view_->Show(printer, "waiting", "waiting for its driver");
        if (printer.serial.empty()) {
            return Skip(printer, "refused: no serial number",
                        "it has no serial number, so it could not be told apart once re-powered; "
                        "flash it by hand with orlup-cli flash --printer " +
                            OrDash(printer.busPort));
        }
        if (sameSerial > 1) {
            return Skip(printer, "refused: serial shared",
                        "another attached printer has the same serial number, so they could not "
                        "be told apart once re-powered; flash it by hand with orlup-cli flash "
                        "--printer " +
                            OrDash(printer.busPort));
        }
        if (done_.count(printer.serial) != 0) {
            return Skip(printer, "already flashed",
                        "already flashed with this image in this run; not flashed again");
        }
        if (running_.count(printer.serial) != 0) {
            // Back while its last transfer is still failing: decided again once that has ended.
            retry_.insert(Key(printer));
            return;
        }
        if (const uint32_t error = session_.TestOpen(printer); error != 0) {
            return Skip(printer, "failed: cannot be opened",
                        "cannot be opened: " + OpenFailureReason(error));
        }
        running_[printer.serial] = session_.Start(&printer, *view_, *watch_);
    }

    void Skip(const UsbDeviceRecord& printer, const std::string& state, const std::string& reason) {
        ++skipped_;
        session_.events().Skipped(printer, reason);
        view_->Show(printer, state, reason);
    }

    void Reap() {
        session_.JoinEnded();
        for (auto running = running_.begin(); running != running_.end();) {
            const Transfer& transfer = *running->second;
            if (!transfer.ended) {
                ++running;
                continue;
            }
            const bool completed = transfer.result.outcome.completed;
            (completed ? done_ : failedLast_).insert(running->first);
            if (completed) failedLast_.erase(running->first);
            running = running_.erase(running);
        }
    }

    int Finish() {
        const int signal = session_.CaughtSignal();
        int done = 0;
        int failed = 0;
        bool interrupted = false;
        for (const std::shared_ptr<Transfer>& transfer : session_.transfers()) {
            (transfer->result.outcome.completed ? done : failed) += 1;
            if (signal == 0 || transfer->status != ExitStatus::Interrupted(signal)) continue;
            interrupted = true;
            const AttemptOutcome& outcome = transfer->result.outcome;
            session_.context().err
                << PrinterLabel(transfer->printer) << ": Transfer interrupted after "
                << outcome.bytesSent << " of " << outcome.imageSize
                << " bytes. Re-power the printer with the rotary switch at position 4 and flash "
                   "again.\n";
        }
        session_.events().Summary(done, failed, skipped_);
        session_.human() << "Station stopped: " << done << " done, " << failed << " failed, "
                         << skipped_ << " skipped" << std::endl;
        if (interrupted) return ExitStatus::Interrupted(signal);
        return failedLast_.empty() ? ExitStatus::Done : ExitStatus::TransferFailed;
    }

    const StationRequest& request_;
    std::unique_ptr<UsbDeviceWatch> watch_;
    std::unique_ptr<StationView> view_;
    FlashSession session_;
    std::set<std::string> present_;
    std::set<std::string> retry_;
    std::map<std::string, std::shared_ptr<Transfer>> running_;  // by serial
    std::set<std::string> done_;
    std::set<std::string> failedLast_;
    int skipped_ = 0;
};

}  // namespace

int RunStation(const StationRequest& request, CliPlatform& platform, const CliContext& context) {
    return Station(request, platform, context).Run();
}

}  // namespace orlup
