// The flash history: every attempt as one JSON line of a file that several programs append to.
#include "HistoryFile.h"

#include <ctime>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <nlohmann/json.hpp>
#include <ostream>
#include <sstream>
#include <utility>

#include "text/ErrorText.h"
#include "text/PrintableText.h"
#include "text/SystemTerms.h"

namespace orlup {

namespace {

using Json = nlohmann::ordered_json;

std::string Text(const Json& entry, const char* key) {
    const auto found = entry.find(key);
    return found != entry.end() && found->is_string() ? found->get<std::string>() : "";
}

std::string Count(const Json& entry, const char* key) {
    const auto found = entry.find(key);
    return found != entry.end() && found->is_number_unsigned()
               ? std::to_string(found->get<uint64_t>())
               : "?";
}

void PrintRow(std::ostream& out, const std::string& time, const std::string& model,
              const std::string& serial, const std::string& busPort, const std::string& bytes,
              const std::string& image, const std::string& result) {
    out << std::left << std::setw(22) << OrDash(time) << std::setw(12) << OrDash(model)
        << std::setw(20) << OrDash(serial) << std::setw(10) << OrDash(busPort) << std::setw(22)
        << bytes << std::setw(24) << OrDash(image) << "  " << OrDash(result) << '\n';
}

}  // namespace

HistoryFile::HistoryFile(std::string path, LineAppender append, std::string program,
                         std::ostream& err)
    : path_(std::move(path)), append_(std::move(append)), program_(std::move(program)), err_(err) {}

void HistoryFile::Record(const AttemptRecord& record) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (path_.empty()) {
        return Warn(std::string("no flash history is kept: set ") + SystemTerms::HistoryVariables);
    }
    const uint32_t error = append_(path_, HistoryLine(record));
    if (error != 0) {
        Warn("the flash history cannot be written to " + Printable(path_) + ": " +
             ErrorText(error));
    }
}

void HistoryFile::Warn(const std::string& why) {
    if (std::exchange(warned_, true)) return;
    err_ << program_ << ": " << why << std::endl;
}

std::string HistoryLine(const AttemptRecord& record) {
    const Json line = {{"time", record.time},         {"model", record.model},
                       {"serial", record.serial},     {"busPort", record.busPort},
                       {"image", record.image},       {"size", record.size},
                       {"sha256", record.sha256},     {"bytesSent", record.bytesSent},
                       {"result", record.result},     {"code", record.code}};
    return line.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

void PrintHistory(const std::string& path, bool json, std::ostream& out, std::ostream& err) {
    // Windows opens a narrow path in its ANSI code page, which need not hold the UTF-8 one.
    std::ifstream file(std::filesystem::u8path(path));
    std::string line;
    int shown = 0;
    int skipped = 0;
    while (std::getline(file, line)) {
        const Json entry = Json::parse(line, nullptr, false);
        if (!entry.is_object()) {
            ++skipped;
            continue;
        }
        ++shown;
        if (json) {
            out << entry.dump(-1, ' ', false, Json::error_handler_t::replace) << '\n';
            continue;
        }
        if (shown == 1) PrintRow(out, "TIME", "MODEL", "SERIAL", "BUS-PORT", "SENT", "IMAGE", "RESULT");
        PrintRow(out, Text(entry, "time"), Text(entry, "model"), Text(entry, "serial"),
                 Text(entry, "busPort"), Count(entry, "bytesSent") + "/" + Count(entry, "size"),
                 Text(entry, "image"), Text(entry, "result"));
    }
    if (shown == 0) err << "No flash attempts recorded in " << Printable(path) << '\n';
    if (skipped > 0) {
        err << "orlup-cli: skipped " << skipped << " line(s) of " << Printable(path)
            << " that are no flash record\n";
    }
}

// gmtime_r is POSIX's alone, and gmtime's result is shared: the lock keeps this program's own
// calls apart.
std::string UtcTimestamp(std::chrono::system_clock::time_point time, bool milliseconds) {
    static std::mutex calendar;
    const auto ms = std::chrono::floor<std::chrono::milliseconds>(time.time_since_epoch());
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    std::ostringstream stamp;
    {
        const std::lock_guard<std::mutex> lock(calendar);
        stamp << std::put_time(std::gmtime(&seconds), "%Y-%m-%dT%H:%M:%S");
    }
    // Three digits: 1000 more, without the leading 1.
    if (milliseconds) stamp << '.' << std::to_string(1000 + ms.count() % 1000).substr(1);
    return stamp.str() + "Z";
}

}  // namespace orlup
