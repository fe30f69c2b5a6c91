// One ordered record of what the fakes saw, so tests can check the order of calls across seams.
#pragma once

#include <string>
#include <vector>

namespace orlup::test {

struct EventLog {
    std::vector<std::string> events;
    void Add(std::string event) { events.push_back(std::move(event)); }
    /// Position of the first event equal to that text, or -1.
    int IndexOf(const std::string& event) const;
    int LastIndexOf(const std::string& event) const;
    bool Contains(const std::string& event) const { return IndexOf(event) >= 0; }
};

}  // namespace orlup::test
