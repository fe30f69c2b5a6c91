// Plays an Ilvaran printer on the gadget side for one transfer and reports what it received.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "GadgetPort.h"
#include "Options.h"
#include "TransferLog.h"

namespace orlup::harness {

/// Set from the SIGTERM handler: the script saw the host program end.
bool StopRequested();
void InstallStopHandler();

class EmulatedPrinter {
public:
    explicit EmulatedPrinter(ServeOptions options);

    /// 0 once a report is written, 3 when the port or the image could not be opened.
    int Run();

private:
    enum class Ending { Stopped, Stalled, Unplugged, PortFailed, Watchdog };

    Ending Receive();
    Ending HoldStalled();
    Ending Unplug();
    void ReceiveUntilIdle(int idleMs);
    bool ReadOnce(int timeoutMs);
    size_t ReadLimit() const;
    bool WatchdogExpired() const;
    int64_t NowMs() const;
    int Fail(const std::string& what, int error);
    void WriteReport(Ending ending);

    // Above the gadget's q_len (10) times its request size (8 KiB).
    static constexpr size_t ReadBufferSize = 128 * 1024;

    ServeOptions options_;
    GadgetPort port_;
    TransferLog log_;
    std::vector<uint8_t> buffer_;
    int64_t startMs_ = 0;
    uint64_t stale_ = 0;
    uint64_t drainedAfterStall_ = 0;
    int portError_ = 0;
    int unplugError_ = 0;
};

}  // namespace orlup::harness
