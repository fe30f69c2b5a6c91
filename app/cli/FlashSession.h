// One run of flash or station: the image read once, each printer's transfer on a thread of its
// own, and what every attempt tells and leaves in the records.
#pragma once

#include <atomic>
#include <chrono>
#include <iosfwd>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "CliHost.h"
#include "CliPlatform.h"
#include "HistoryFile.h"
#include "JsonEvents.h"
#include "TransferGate.h"
#include "update/FirmwareModel.h"

namespace orlup {

/// One attempt to flash one printer, or the one printer the search finds.
struct Transfer {
    std::optional<UsbDeviceRecord> target;  // the printer named; none: the search's
    // Set once the attempt ended, on its own thread; read after ended.
    UsbDeviceRecord printer;  // the printer flashed, when known
    bool known = false;
    CliHost::Result result;
    int status = 0;  // the exit status this attempt alone gives
    std::atomic<bool> ended{false};
};

/// How transfers show themselves as text; each is called on the transfer's own thread.
class TransferView {
public:
    virtual ~TransferView() = default;
    virtual void Started(Transfer&) {}
    virtual void Progress(Transfer&, uint32_t /*sent*/, uint32_t /*size*/) {}
    /// The flash update's failure texts.
    virtual void Message(Transfer&, const std::string& /*text*/) {}
    virtual void Completion(Transfer&, const std::string& /*text*/) {}
    /// After its records are kept.
    virtual void Ended(Transfer&) {}
};

class FlashSession {
public:
    FlashSession(std::string image, bool json, CliPlatform& platform, const CliContext& context);
    /// Waits for every transfer still running.
    ~FlashSession();
    FlashSession(const FlashSession&) = delete;
    FlashSession& operator=(const FlashSession&) = delete;

    const FirmwareModel* model() const { return model_; }
    const std::string& image() const { return image_; }
    const ImageFacts& facts() const { return facts_; }
    CliPlatform& platform() { return platform_; }
    const CliContext& context() const { return context_; }
    /// Where human text goes: standard output, or standard error when JSON takes the output.
    std::ostream& human() const;
    bool json() const { return events_.on(); }
    JsonEvents& events() { return events_; }
    /// Held around every piece of text that transfers running side by side write.
    std::mutex& outputLock() { return outputLock_; }

    /// The image's name, its size and content, and the digest asked for: 0 when it may be
    /// sent, else the exit status of its refusal, which is told and recorded.
    int TakeImage(const std::string& sha256);
    /// Tells a refusal of the whole run on standard error and as a JSON failure, records it,
    /// and returns status.
    int Refuse(const std::string& line, int status, uint32_t code = 0);
    /// 0 when the printer can be opened right now, else why not.
    uint32_t TestOpen(const UsbDeviceRecord& printer);

    /// Starts a transfer on a thread of its own, to printer or, when it is null, to the one the
    /// search finds; the watch is woken when it ends.
    std::shared_ptr<Transfer> Start(const UsbDeviceRecord* printer, TransferView& view,
                                    UsbDeviceWatch& watch);
    /// Waits on the watch until every transfer started has ended, taking stops on the way.
    void WaitForTransfers(UsbDeviceWatch& watch);
    /// Lets go of the threads of transfers that have ended, so that a station that runs for
    /// days keeps none but the running ones.
    void JoinEnded();
    /// A pending request to stop is taken once every transfer holds between two pieces.
    void TakeStop();
    int CaughtSignal() const { return context_.CaughtSignal(); }
    /// The transfers started so far, in the order they were.
    const std::vector<std::shared_ptr<Transfer>>& transfers() const { return transfers_; }

private:
    void Run(Transfer& transfer, TransferView& view);
    void Finish(Transfer& transfer, std::optional<int> status = std::nullopt);
    void Record(const UsbDeviceRecord* printer, const AttemptOutcome& outcome, bool done);

    std::string image_;
    CliPlatform& platform_;
    const CliContext& context_;
    const FirmwareModel* model_;
    std::string started_;
    ImageFacts facts_;
    JsonEvents events_;
    HistoryFile history_;
    std::mutex outputLock_;
    TransferGate gate_;
    std::vector<std::shared_ptr<Transfer>> transfers_;
    std::vector<std::thread> threads_;  // one for each transfer, empty where none could start
};

/// The share of an image sent, in whole per cent; all of nothing is all.
int PercentOf(uint64_t sent, uint64_t size);

/// The exit status one attempt gives on its own.
int StatusOf(const CliHost::Result& result, int signalNumber);

}  // namespace orlup
