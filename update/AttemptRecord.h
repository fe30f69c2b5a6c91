// One flash attempt as it is kept afterwards: which image went to which printer, and how it ended.
#pragma once

#include <cstdint>
#include <string>

namespace orlup {

struct AttemptRecord {
    std::string time;     // when the attempt started, ISO 8601 in UTC
    std::string model;    // the image's model, empty for a name of no model
    std::string serial;   // the printer's, empty when no printer was settled on or it has none
    std::string busPort;  // empty when no printer was settled on
    std::string image;    // the path as given
    uint64_t size = 0;    // 0 when the image was never read
    std::string sha256;   // empty when the image was never read
    uint64_t bytesSent = 0;
    bool done = false;   // the printer took the whole image
    std::string result;  // "done", or the message that ended the attempt
    uint32_t code = 0;   // the system error code of that message, 0 for none
};

/// Somewhere attempts are kept: a history file, the system journal.
class AttemptRecorder {
public:
    virtual ~AttemptRecorder() = default;
    /// Keeps the record, or tells once why it cannot; never stops a flash.
    virtual void Record(const AttemptRecord& record) = 0;
};

}  // namespace orlup
