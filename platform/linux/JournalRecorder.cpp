// Flash attempts as structured entries of the systemd journal, which a service centre can
// collect from every bench.
#include "platform/linux/JournalRecorder.h"

// The recorder's own source line tells a service centre nothing.
#define SD_JOURNAL_SUPPRESS_LOCATION
#include <sys/uio.h>
#include <systemd/sd-journal.h>

#include <string>
#include <vector>

namespace orlup {

namespace {

// journalctl MESSAGE_ID=... finds every attempt of every version.
constexpr char MessageId[] = "31434674ef8f41d2abe48661ccee2767";
constexpr char PriorityDone[] = "6";    // LOG_INFO
constexpr char PriorityFailed[] = "3";  // LOG_ERR

// "Ilvaran SN1 at 1-1", or as much of it as is known.
std::string Printer(const AttemptRecord& record) {
    std::string printer = record.model.empty() ? "printer" : record.model;
    if (!record.serial.empty()) printer += " " + record.serial;
    if (!record.busPort.empty()) printer += " at " + record.busPort;
    return printer;
}

std::string Summary(const AttemptRecord& record) {
    const std::string size = std::to_string(record.size);
    if (record.done) return Printer(record) + ": done, " + size + " bytes of " + record.image;
    if (record.size == 0) return Printer(record) + ": failed before sending - " + record.result;
    return Printer(record) + ": failed after " + std::to_string(record.bytesSent) + " of " + size +
           " bytes - " + record.result;
}

}  // namespace

void JournalRecorder::Record(const AttemptRecord& record) {
    // Sent as they are: the journal's protocol carries a value with line breaks or any bytes
    // whole, which device strings and paths may hold.
    const std::string fields[] = {
        std::string("MESSAGE_ID=") + MessageId,
        "MESSAGE=" + Summary(record),
        std::string("PRIORITY=") + (record.done ? PriorityDone : PriorityFailed),
        "ORLUP_SERIAL=" + record.serial,
        "ORLUP_BUS_PORT=" + record.busPort,
        "ORLUP_MODEL=" + record.model,
        "ORLUP_IMAGE=" + record.image,
        "ORLUP_SHA256=" + record.sha256,
        "ORLUP_BYTES_SENT=" + std::to_string(record.bytesSent),
        "ORLUP_SIZE=" + std::to_string(record.size),
        "ORLUP_RESULT=" + record.result,
        "ORLUP_CODE=" + std::to_string(record.code),
    };
    std::vector<iovec> parts;
    for (const std::string& field : fields) {
        parts.push_back({const_cast<char*>(field.data()), field.size()});
    }
    // A journal that is not there, or full, is no reason to trouble a flash.
    sd_journal_sendv(parts.data(), static_cast<int>(parts.size()));
}

}  // namespace orlup
