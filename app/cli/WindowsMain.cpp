// orlup-cli.exe: wires the printers of the Setup API, or simulated ones, to the command line.
#include <windows.h>

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "RunCli.h"
#include "SimulatedPlatform.h"
#include "SnapshotPlatform.h"
#include "platform/windows/HeldImage.h"
#include "platform/windows/Interruption.h"
#include "platform/windows/RecordFiles.h"
#include "platform/windows/TimerResolution.h"
#include "platform/windows/WideText.h"
#include "platform/windows/WindowsDeviceWatch.h"
#include "platform/windows/WindowsErrors.h"
#include "platform/windows/WindowsFileApi.h"
#include "platform/windows/WindowsLibraryApi.h"
#include "usb/UsbDeviceEnumerator.h"

namespace {

using namespace orlup;

// Real or simulated printers alike are sent the held image at the 10 ms pace.
class HeldImagePlatform : public SnapshotPlatform<HeldImage, HeldImageFiles> {
public:
    // Each transfer makes its image seam as it starts and lets it go as it ends: while any does,
    // the system timer keeps the 10 ms between pieces, which it would stretch to 15.6.
    std::shared_ptr<ImageFileApi> MakeImages() override {
        struct Held {
            std::shared_ptr<ImageFileApi> images;
            std::shared_ptr<TimerResolution> timer;
        };
        auto held =
            std::make_shared<Held>(Held{SnapshotPlatform::MakeImages(), ShareTimerResolution()});
        return std::shared_ptr<ImageFileApi>(held, held->images.get());
    }
};

class WindowsPlatform : public HeldImagePlatform {
public:
    UsbDeviceSource& Devices() override { return devices_; }
    std::shared_ptr<DeviceFileApi> MakePorts() override {
        return std::make_shared<WindowsFileApi>();
    }
    std::unique_ptr<UsbDeviceWatch> WatchDevices(bool hotplug) override {
        auto watch = std::make_unique<WindowsDeviceWatch>(hotplug, InterruptionEvent());
        if (hotplug && !watch->hotplugWorks()) {
            std::cerr << "orlup-cli: printers plugged in cannot be told of (no device "
                         "notifications); they are looked for only when something else wakes "
                         "the program"
                      << std::endl;
        }
        return watch;
    }

private:
    WindowsLibraryApi libraries_;
    SetupApiDeviceSource devices_{libraries_};
};

/// The console as the run needs it, and as it was afterwards: it belongs to the shell as well.
class RunConsole {
public:
    RunConsole() : output_(GetStdHandle(STD_OUTPUT_HANDLE)), savedPage_(GetConsoleOutputCP()) {
        SetConsoleOutputCP(CP_UTF8);  // every text's encoding
        // Escape sequences, which the station's table moves its cursor with. A pipe, a file and
        // NUL are no console, though the C library counts NUL as a terminal.
        escapes_ = GetConsoleMode(output_, &savedMode_) &&
                   SetConsoleMode(output_, savedMode_ | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    }
    ~RunConsole() {
        if (escapes_) SetConsoleMode(output_, savedMode_);
        if (savedPage_ != 0) SetConsoleOutputCP(savedPage_);
    }
    RunConsole(const RunConsole&) = delete;
    RunConsole& operator=(const RunConsole&) = delete;

    bool takesEscapes() const { return escapes_; }

private:
    HANDLE output_;
    UINT savedPage_;  // 0 without a console
    DWORD savedMode_ = 0;
    bool escapes_ = false;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const RunConsole console;
    KeepErrorTextsOnOneLine();
    std::vector<std::string> arguments;
    for (int i = 0; i < argc; ++i) arguments.push_back(Utf8FromWide(argv[i]));
    std::vector<char*> utf8Argv;
    for (std::string& argument : arguments) utf8Argv.push_back(argument.data());
    utf8Argv.push_back(nullptr);

    CliContext context{
        std::cout, std::cerr, [](std::optional<SimulatedPrinters::Trouble> simulate) {
            if (simulate) {
                return std::unique_ptr<CliPlatform>(
                    std::make_unique<
                        SimulatedPlatform<HeldImagePlatform, WindowsDeviceWatch, HANDLE>>(
                        std::make_shared<SimulatedPrinters>(*simulate), InterruptionEvent()));
            }
            return std::unique_ptr<CliPlatform>(std::make_unique<WindowsPlatform>());
        }};
    context.terminal = console.takesEscapes();
    if (InstallInterruptionHandler()) context.signals.caught = InterruptSignal;
    context.historyPath = HistoryPath(_wgetenv(L"LOCALAPPDATA"));
    context.appendLine = AppendRecordLine;
    return RunCli(argc, utf8Argv.data(), context);
}
