// Word of USB devices coming and going, from the system's device notifications.
// clang-format off
#include <windows.h>
#include <dbt.h>
// clang-format on
#include "platform/windows/WindowsDeviceWatch.h"

#include <algorithm>
#include <system_error>

#include "usb/SetupApiTypes.h"

namespace orlup {

namespace {

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* watch = reinterpret_cast<WindowsDeviceWatch*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_DEVICECHANGE && watch != nullptr &&
        (wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVICEREMOVECOMPLETE)) {
        watch->Notify();
        return TRUE;
    }
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcW(window, message, wParam, lParam);
}

bool RegisterWindowClass() {
    static const bool registered = [] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = &WindowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = WindowsDeviceWatch::WindowClass;
        return RegisterClassExW(&windowClass) != 0;
    }();
    return registered;
}

}  // namespace

WindowsDeviceWatch::WindowsDeviceWatch(bool hotplug, HANDLE alsoWoken)
    : woken_(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      changed_(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      alsoWoken_(alsoWoken) {
    if (!hotplug || !RegisterWindowClass()) return;
    const UniqueHandle ready(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!ready.IsValid()) return;
    try {
        listener_ = std::thread([this, event = ready.Get()] { Listen(event); });
    } catch (const std::system_error&) {
        return;  // no thread: told of nothing, like a system that sends no notifications
    }
    WaitForSingleObject(ready.Get(), INFINITE);
}

WindowsDeviceWatch::~WindowsDeviceWatch() {
    if (window_ != nullptr) PostMessageW(window_, WM_CLOSE, 0, 0);
    if (listener_.joinable()) listener_.join();
}

// The window lives and dies on this thread, which is the only one its messages reach.
void WindowsDeviceWatch::Listen(HANDLE ready) {
    HWND window = CreateWindowExW(0, WindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    HDEVNOTIFY notification = nullptr;
    if (window != nullptr) {
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        DEV_BROADCAST_DEVICEINTERFACE_W filter{};
        filter.dbcc_size = sizeof filter;
        filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
        static_assert(sizeof filter.dbcc_classguid == sizeof GuidDevinterfaceUsbDevice);
        std::copy_n(reinterpret_cast<const char*>(&GuidDevinterfaceUsbDevice),
                    sizeof filter.dbcc_classguid, reinterpret_cast<char*>(&filter.dbcc_classguid));
        notification = RegisterDeviceNotificationW(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
        if (notification == nullptr) DestroyWindow(window);
    }
    window_ = notification != nullptr ? window : nullptr;
    SetEvent(ready);
    if (window_ == nullptr) return;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    UnregisterDeviceNotification(notification);
}

UsbDeviceWatch::Event WindowsDeviceWatch::Wait(std::chrono::milliseconds timeout) {
    HANDLE events[3] = {woken_.Get(), changed_.Get(), alsoWoken_};
    const DWORD count = alsoWoken_ != nullptr ? 3 : 2;
    const DWORD ms = timeout.count() < 0
                         ? INFINITE
                         : static_cast<DWORD>(std::min<int64_t>(timeout.count(), INFINITE - 1));
    // Of several set at once the first is taken and the others stay set for the next wait.
    const DWORD result = WaitForMultipleObjects(count, events, FALSE, ms);
    if (result == WAIT_TIMEOUT) return Event::TimedOut;
    return result == WAIT_OBJECT_0 + 1 ? Event::Changed : Event::Woken;
}

void WindowsDeviceWatch::Wake() { SetEvent(woken_.Get()); }

void WindowsDeviceWatch::Notify() { SetEvent(changed_.Get()); }

}  // namespace orlup
