// One ordered record of what the fakes saw, so tests can check the order of calls across seams.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

namespace orlup::test {

struct EventLog {
    std::vector<std::string> events;
    void Add(std::string event) { events.push_back(std::move(event)); }
    /// Position of the first or last event equal to that text, or -1.
    int IndexOf(const std::string& event) const {
        const auto found = std::find(events.begin(), events.end(), event);
        return found == events.end() ? -1 : static_cast<int>(found - events.begin());
    }
    int LastIndexOf(const std::string& event) const {
        const auto found = std::find(events.rbegin(), events.rend(), event);
        return static_cast<int>(events.rend() - found) - 1;
    }
    bool Contains(const std::string& event) const { return IndexOf(event) >= 0; }
};

}  // namespace orlup::test
