// The flash history: every attempt as one JSON line of a file that several programs append to.
#include "HistoryFile.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <nlohmann/json.hpp>
#include <ostream>
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

// The calendar worked out from the day count, in 400-year eras of 146097 days that begin on
// 1 March, so that the leap day ends each year: gmtime_r is POSIX alone, and gmtime shares its
// result between threads.
std::string UtcTimestamp(std::chrono::system_clock::time_point time, bool milliseconds) {
    using Days = std::chrono::duration<int64_t, std::ratio<86400>>;
    const auto ms = std::chrono::floor<std::chrono::milliseconds>(time.time_since_epoch());
    const auto days = std::chrono::floor<Days>(ms);
    const int64_t msOfDay = (ms - days).count();
    const int64_t shifted = days.count() + 719468;  // days from 1 March of year 0
    const int64_t era = (shifted >= 0 ? shifted : shifted - 146096) / 146097;
    const int64_t dayOfEra = shifted - era * 146097;
    const int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
    const int64_t day = dayOfYear - (153 * monthFromMarch + 2) / 5 + 1;
    const int64_t month = monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9;
    const int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    char text[96] = "";  // room for any year the compiler cannot rule out
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lld",
                  static_cast<long long>(year), static_cast<long long>(month),
                  static_cast<long long>(day), static_cast<long long>(msOfDay / 3600000),
                  static_cast<long long>(msOfDay / 60000 % 60),
                  static_cast<long long>(msOfDay / 1000 % 60));
    std::string stamp = text;
    if (milliseconds) {
        std::snprintf(text, sizeof text, ".%03lld", static_cast<long long>(msOfDay % 1000));
        stamp += text;
    }
    return stamp + "Z";
}

}  // namespace orlup
