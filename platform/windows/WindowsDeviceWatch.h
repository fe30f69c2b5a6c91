// Word of USB devices coming and going, from the system's device notifications.
#pragma once

#include <windows.h>

#include <thread>

#include "platform/windows/UniqueHandle.h"
#include "usb/UsbDeviceWatch.h"

namespace orlup {

/// Device arrivals and removals of GUID_DEVINTERFACE_USB_DEVICE reach a hidden message-only
/// window on a thread of its own (RegisterDeviceNotification), which works from Windows XP on
/// and under Wine; the waits themselves block on events, polling nothing.
class WindowsDeviceWatch : public UsbDeviceWatch {
public:
    /// Without hotplug, only Wake, Notify and alsoWoken end a wait. alsoWoken is an auto-reset
    /// event, such as InterruptionEvent, or null.
    WindowsDeviceWatch(bool hotplug, HANDLE alsoWoken);
    ~WindowsDeviceWatch() override;
    WindowsDeviceWatch(const WindowsDeviceWatch&) = delete;
    WindowsDeviceWatch& operator=(const WindowsDeviceWatch&) = delete;

    /// The system tells the window of devices.
    bool hotplugWorks() const { return window_ != nullptr; }

    Event Wait(std::chrono::milliseconds timeout) override;
    void Wake() override;
    /// A device may have come or gone: the current or next Wait ends with Changed.
    void Notify();

    /// The window's class, by which a test finds it.
    static constexpr const wchar_t* WindowClass = L"OrlupDeviceWatch";

private:
    void Listen(HANDLE ready);

    UniqueHandle woken_;
    UniqueHandle changed_;
    HANDLE alsoWoken_;
    HWND window_ = nullptr;
    std::thread listener_;
};

}  // namespace orlup
