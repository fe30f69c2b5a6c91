// Word that the attached USB devices may have changed, so that a caller lists them again only then.
#pragma once

#include <chrono>

namespace orlup {

class UsbDeviceWatch {
public:
    enum class Event { Changed, Woken, TimedOut };

    virtual ~UsbDeviceWatch() = default;
    /// Blocks until a device may have come or gone (Changed), Wake was called or the program
    /// was asked to stop (Woken), or the timeout passed (TimedOut); a negative timeout waits
    /// without end. A change or wake that came while nobody waited ends the next wait at once.
    virtual Event Wait(std::chrono::milliseconds timeout) = 0;
    /// Ends the current or the next Wait with Woken; safe from any thread.
    virtual void Wake() = 0;
};

}  // namespace orlup
