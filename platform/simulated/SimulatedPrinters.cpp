// Simulated printers behind the same seams as real ones.
#include "platform/simulated/SimulatedPrinters.h"

#include <algorithm>
#include <thread>

#include "text/ErrorCodes.h"
#include "update/FirmwareModel.h"

namespace orlup {

namespace {

// Faster than the one piece per 10 ms that it is sent, as a real printer is.
constexpr uint64_t BytesPerSecond = 1024 * 1024;

UsbDeviceRecord SimulatedRecord(const FirmwareModel& model, int number, std::string serial) {
    UsbDeviceRecord record;
    record.vendorId = model.vendorId;
    record.productId = model.productId;
    record.serial = std::move(serial);
    record.busPort = "sim-" + std::to_string(number);
    // Unique, as real nodes are, so that any of the three names a printer.
    record.node = "sim-lp" + std::to_string(number);
    record.devicePath = "simulated:" + record.busPort;
    record.description = std::string("Simulated ") + model.modelName;
    return record;
}

}  // namespace

thread_local uint32_t SimulatedPrinters::lastError_ = 0;

bool SimulatedPrinters::ParseTrouble(const std::string& word, Trouble* trouble) {
    const std::pair<const char*, Trouble> words[] = {
        {"", Trouble::None}, {"stall", Trouble::Stall}, {"unplug", Trouble::Unplug}};
    for (const auto& [name, value] : words) {
        if (word == name) {
            *trouble = value;
            return true;
        }
    }
    return false;
}

SimulatedPrinters::SimulatedPrinters(Trouble trouble, std::chrono::milliseconds writeTimeout)
    : trouble_(trouble), writeTimeout_(writeTimeout) {
    int number = 0;
    for (const FirmwareModel& model : FirmwareModels) {
        Printer printer;
        printer.record = SimulatedRecord(model, ++number, std::string("SIM-") + model.fileNameTag);
        printers_.push_back(printer);
    }
}

UsbDeviceRecord SimulatedPrinters::Plug(const FirmwareModel& model) {
    UsbDeviceRecord record;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        const int number = static_cast<int>(printers_.size()) + 1;
        Printer printer;
        printer.record = SimulatedRecord(
            model, number, std::string("SIM-") + model.fileNameTag + "-" + std::to_string(number));
        printers_.push_back(printer);
        record = printer.record;
    }
    Changed();
    return record;
}

void SimulatedPrinters::Unplug(const std::string& serial) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        for (Printer& printer : printers_) {
            if (printer.record.serial == serial) printer.present = false;
        }
    }
    Changed();
}

void SimulatedPrinters::SetChangeListener(std::function<void()> listener) {
    const std::lock_guard<std::mutex> lock(mutex_);
    listener_ = std::move(listener);
}

// Outside the lock: the listener may well list the printers at once.
void SimulatedPrinters::Changed() {
    std::function<void()> listener;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        listener = listener_;
    }
    if (listener) listener();
}

std::vector<UsbDeviceRecord> SimulatedPrinters::ListUsbDevices() {
    const std::lock_guard<std::mutex> lock(mutex_);
    std::vector<UsbDeviceRecord> records;
    for (const Printer& printer : printers_) {
        if (printer.present) records.push_back(printer.record);
    }
    return records;
}

FileHandle SimulatedPrinters::OpenDevice(const UsbDeviceRecord& device) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto printer = std::find_if(printers_.begin(), printers_.end(), [&](const Printer& p) {
        return p.present && p.record.devicePath == device.devicePath;
    });
    if (printer == printers_.end() || printer->open) {
        Fail(printer == printers_.end() ? ErrorCode::FileNotFound : ErrorCode::Busy);
        return InvalidFileHandle;
    }
    printer->open = true;
    printer->intake = PrinterIntake();
    printer->commandAt.reset();
    return static_cast<FileHandle>(printer - printers_.begin() + 1);
}

bool SimulatedPrinters::Write(FileHandle handle, const void* bytes, uint32_t count,
                              uint32_t* written) {
    std::unique_lock<std::mutex> lock(mutex_);
    Printer* const open = OpenPrinter(handle);
    if (open == nullptr) return Fail(ErrorCode::InvalidHandle);
    Printer& printer = *open;
    if (!printer.present) return Fail(ErrorCode::DeviceNotConnected);
    const PrinterIntake& intake = printer.intake;
    const bool halfWay = intake.Announced() > 0 && intake.ImageTaken() * 2 >= intake.Announced();
    if (halfWay && trouble_ == Trouble::Unplug) {
        printer.present = false;
        lock.unlock();
        Changed();
        return Fail(ErrorCode::DeviceNotConnected);
    }
    if (halfWay && trouble_ == Trouble::Stall) {
        lock.unlock();
        std::this_thread::sleep_for(writeTimeout_);
        return Fail(ErrorCode::Timeout);
    }
    // A printer that is told one size and sent another is a printer left half flashed.
    const bool commandDue = !intake.CommandWhole();
    printer.intake.Take(static_cast<const uint8_t*>(bytes), count);
    if (intake.Spoiled()) return Fail(ErrorCode::WriteFault);
    if (commandDue && intake.CommandWhole()) printer.commandAt = std::chrono::steady_clock::now();
    lock.unlock();
    std::this_thread::sleep_for(std::chrono::microseconds(count * 1000000ull / BytesPerSecond));
    *written = count;
    return true;
}

bool SimulatedPrinters::Close(FileHandle handle) {
    const std::lock_guard<std::mutex> lock(mutex_);
    Printer* const printer = OpenPrinter(handle);
    if (printer == nullptr) return Fail(ErrorCode::InvalidHandle);
    printer->open = false;
    return true;
}

SimulatedPrinters::Printer* SimulatedPrinters::OpenPrinter(FileHandle handle) {
    if (handle < 1 || static_cast<std::size_t>(handle) > printers_.size()) return nullptr;
    Printer& printer = printers_[static_cast<std::size_t>(handle) - 1];
    return printer.open ? &printer : nullptr;
}

uint32_t SimulatedPrinters::LastError() const { return lastError_; }

const SimulatedPrinters::Printer* SimulatedPrinters::Find(const std::string& serial) const {
    for (const Printer& printer : printers_) {
        if (printer.record.serial == serial) return &printer;
    }
    return nullptr;
}

uint64_t SimulatedPrinters::Received(const std::string& serial) const {
    const std::lock_guard<std::mutex> lock(mutex_);
    const Printer* printer = Find(serial);
    return printer != nullptr ? printer->intake.ImageTaken() : 0;
}

std::optional<std::chrono::steady_clock::time_point> SimulatedPrinters::CommandTime(
    const std::string& serial) const {
    const std::lock_guard<std::mutex> lock(mutex_);
    const Printer* printer = Find(serial);
    return printer != nullptr ? printer->commandAt : std::nullopt;
}

bool SimulatedPrinters::Fail(uint32_t code) {
    lastError_ = code;
    return false;
}

}  // namespace orlup
