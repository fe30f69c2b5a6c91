// The events of flash and station as JSON Lines, one object a line, for scripts to read.
#include "JsonEvents.h"

#include <chrono>
#include <nlohmann/json.hpp>
#include <ostream>

#include "HistoryFile.h"
#include "PrinterListing.h"
#include "text/ErrorCodes.h"

namespace orlup {

class JsonEvents::Event {
public:
    Event(const char* name, const UsbDeviceRecord* printer) {
        json_["event"] = name;
        json_["time"] = UtcTimestamp(std::chrono::system_clock::now(), true);
        if (printer == nullptr) return;
        const FirmwareModel* model = ModelOfDevice(*printer);
        json_["model"] = model != nullptr ? model->modelName : "";
        json_["serial"] = printer->serial;
        json_["busPort"] = printer->busPort;
        json_["node"] = printer->node;
    }
    template <typename Value>
    Event& With(const char* key, const Value& value) {
        json_[key] = value;
        return *this;
    }
    // Device strings and paths need not be UTF-8: what is not becomes U+FFFD.
    std::string Line() const {
        return json_.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    }

private:
    nlohmann::ordered_json json_;
};

// Each event is built only once on() said so.
void JsonEvents::Emit(const Event& event) {
    const std::string line = event.Line();
    const std::lock_guard<std::mutex> lock(mutex_);
    *out_ << line << std::endl;
}

void JsonEvents::Started(const UsbDeviceRecord& printer, const std::string& image, uint64_t size,
                         const std::string& sha256) {
    if (!on()) return;
    Emit(Event("started", &printer).With("image", image).With("size", size).With("sha256", sha256));
}

void JsonEvents::Progress(const UsbDeviceRecord& printer, int percent, uint64_t sent,
                          uint64_t size) {
    if (!on()) return;
    Emit(Event("progress", &printer)
             .With("percent", percent)
             .With("bytesSent", sent)
             .With("size", size));
}

void JsonEvents::Done(const UsbDeviceRecord& printer, uint64_t sent, uint64_t size,
                      const std::string& sha256) {
    if (!on()) return;
    Emit(Event("done", &printer).With("bytesSent", sent).With("size", size).With("sha256", sha256));
}

void JsonEvents::Failed(const UsbDeviceRecord* printer, const std::string& message, uint32_t code,
                        uint64_t sent, uint64_t size, int status) {
    if (!on()) return;
    Emit(Event("failed", printer)
             .With("message", message)
             .With("code", code)
             .With("codeName", ErrorCodeName(code))
             .With("bytesSent", sent)
             .With("size", size)
             .With("status", status));
}

void JsonEvents::Skipped(const UsbDeviceRecord& printer, const std::string& reason) {
    if (!on()) return;
    Emit(Event("skipped", &printer).With("reason", reason));
}

void JsonEvents::Summary(int done, int failed, int skipped) {
    if (!on()) return;
    Emit(Event("summary", nullptr)
             .With("done", done)
             .With("failed", failed)
             .With("skipped", skipped));
}

std::string ErrorCodeName(uint32_t code) {
    if (code == 0) return "";
    for (const ErrorCodeInfo& info : ErrorCodeTable) {
        if (info.code == code) return info.name;
    }
    return "";
}

}  // namespace orlup
