// The emulator's command line.
#include "Options.h"

#include <cerrno>
#include <cstdlib>
#include <map>
#include <utility>

namespace orlup::harness {

namespace {

bool ParseCount(const std::string& text, uint64_t* value) {
    if (text.empty() || text[0] == '-') return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long long parsed = std::strtoull(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0') return false;
    *value = parsed;
    return true;
}

bool ParseFlags(int argc, const char* const* argv, std::map<std::string, std::string>* flags,
                std::string* error) {
    for (int i = 2; i < argc; i += 2) {
        const std::string name = argv[i];
        if (name.rfind("--", 0) != 0 || i + 1 >= argc) {
            *error = "expected --name value, got " + name;
            return false;
        }
        (*flags)[name.substr(2)] = argv[i + 1];
    }
    return true;
}

bool TakeCount(std::map<std::string, std::string>& flags, const std::string& name,
               std::optional<uint64_t>* value, std::string* error) {
    const auto found = flags.find(name);
    if (found == flags.end()) return true;
    uint64_t parsed = 0;
    if (!ParseCount(found->second, &parsed)) {
        *error = "--" + name + " needs a byte count";
        return false;
    }
    *value = parsed;
    flags.erase(found);
    return true;
}

bool ParseServe(int argc, const char* const* argv, ServeOptions* serve, std::string* error) {
    std::map<std::string, std::string> flags;
    if (!ParseFlags(argc, argv, &flags, error)) return false;
    std::optional<uint64_t> maxSeconds;
    if (!TakeCount(flags, "stall-after", &serve->stallAfter, error) ||
        !TakeCount(flags, "unplug-after", &serve->unplugAfter, error) ||
        !TakeCount(flags, "max-seconds", &maxSeconds, error)) {
        return false;
    }
    if (maxSeconds) serve->maxSeconds = static_cast<int>(*maxSeconds);
    const std::pair<const char*, std::string*> required[] = {{"gadget", &serve->gadget},
                                                             {"image", &serve->image},
                                                             {"report", &serve->report},
                                                             {"ready", &serve->ready}};
    for (const auto& [name, field] : required) {
        if (flags.count(name) == 0) {
            *error = std::string("--") + name + " is required";
            return false;
        }
        *field = flags[name];
        flags.erase(name);
    }
    if (flags.count("udc") != 0) {
        serve->udc = flags["udc"];
        flags.erase("udc");
    }
    if (serve->unplugAfter && serve->udc.empty()) {
        *error = "--unplug-after needs --udc";
        return false;
    }
    if (!flags.empty()) {
        *error = "unknown option --" + flags.begin()->first;
        return false;
    }
    return true;
}

}  // namespace

bool ParseOptions(int argc, const char* const* argv, Options* options, std::string* error) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "make-image") {
        options->mode = Options::Mode::MakeImage;
        if (argc != 4 || !ParseCount(argv[3], &options->makeImage.size)) {
            *error = "make-image PATH SIZE";
            return false;
        }
        options->makeImage.path = argv[2];
        return true;
    }
    if (mode == "drain" && argc == 3) {
        options->mode = Options::Mode::Drain;
        options->serve.gadget = argv[2];
        return true;
    }
    if (mode == "serve") {
        options->mode = Options::Mode::Serve;
        return ParseServe(argc, argv, &options->serve, error);
    }
    *error = "usage: printer-emulator serve ... | make-image PATH SIZE | drain GADGET";
    return false;
}

}  // namespace orlup::harness
