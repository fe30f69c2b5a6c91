// The record of every flash attempt that orlup-cli made, one JSON line each.
#include "History.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iomanip>
#include <nlohmann/json.hpp>
#include <ostream>

#include "PrinterListing.h"
#include "platform/linux/LinuxErrors.h"
#include "platform/linux/UniqueFd.h"
#include "text/ErrorCodes.h"
#include "text/ErrorText.h"

namespace orlup {

namespace {

using Json = nlohmann::ordered_json;

// Folders that exist keep their modes: only the ones made here are private.
bool MakeFolders(const std::string& path) {
    for (auto slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        if (mkdir(path.substr(0, slash).c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    return true;
}

// One write of the whole line, so that processes flashing side by side never mix their lines.
// O_NONBLOCK: a FIFO put in the file's place must not hold the flash up.
uint32_t AppendLine(const std::string& path, const std::string& line) {
    if (!MakeFolders(path)) return LastErrnoCode();
    const UniqueFd fd(
        open(path.c_str(),
             O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK, 0600));
    struct stat status {};
    if (!fd.IsValid() || fstat(fd.Get(), &status) != 0) return LastErrnoCode();
    if (!S_ISREG(status.st_mode)) return ErrorCode::AccessDenied;
    const ssize_t written = write(fd.Get(), line.data(), line.size());
    if (written < 0) return LastErrnoCode();
    return static_cast<std::size_t>(written) == line.size() ? 0 : ErrorCode::DiskFull;
}

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

std::string HistoryPath(const char* xdgStateHome, const char* home) {
    // A relative value is to be ignored, as if unset.
    if (xdgStateHome != nullptr && xdgStateHome[0] == '/') {
        return std::string(xdgStateHome) + "/orlup/history.jsonl";
    }
    if (home != nullptr && home[0] == '/') {
        return std::string(home) + "/.local/state/orlup/history.jsonl";
    }
    return "";
}

std::string UtcTimestamp(std::time_t time) {
    std::tm utc{};
    char text[32] = "";
    gmtime_r(&time, &utc);
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

HistoryFile::HistoryFile(std::string path, std::ostream& err) : path_(std::move(path)), err_(err) {}

void HistoryFile::Append(const HistoryEntry& entry) {
    const Json line = {
        {"time", entry.time},       {"model", entry.model},         {"serial", entry.serial},
        {"busPort", entry.busPort}, {"image", entry.image},         {"size", entry.size},
        {"sha256", entry.sha256},   {"bytesSent", entry.bytesSent}, {"result", entry.result}};
    // Paths and USB serials need not be UTF-8: what is not becomes U+FFFD, so the line stays JSON.
    const uint32_t error =
        AppendLine(path_, line.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n");
    if (error == 0 || warned_) return;
    warned_ = true;
    err_ << "orlup-cli: the flash history cannot be written to "
         << (path_.empty() ? "a folder (set HOME or XDG_STATE_HOME)" : Printable(path_)) << ": "
         << ErrorText(error) << std::endl;
}

void PrintHistory(const std::string& path, std::ostream& out, std::ostream& err) {
    std::ifstream file(path);
    std::string line;
    int shown = 0;
    int skipped = 0;
    while (std::getline(file, line)) {
        const Json entry = Json::parse(line, nullptr, false);
        if (!entry.is_object()) {
            ++skipped;
            continue;
        }
        if (shown++ == 0)
            PrintRow(out, "TIME", "MODEL", "SERIAL", "BUS-PORT", "SENT", "IMAGE", "RESULT");
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

}  // namespace orlup
