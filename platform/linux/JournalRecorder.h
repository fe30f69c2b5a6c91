// Flash attempts as structured entries of the systemd journal, which a service centre can
// collect from every bench.
#pragma once

#include "update/AttemptRecord.h"

namespace orlup {

/// Sends each record to the journal with MESSAGE_ID=31434674ef8f41d2abe48661ccee2767, a
/// one-line MESSAGE, PRIORITY 6 (done) or 3 (failed) and the fields ORLUP_SERIAL,
/// ORLUP_BUS_PORT, ORLUP_MODEL, ORLUP_IMAGE, ORLUP_SHA256, ORLUP_BYTES_SENT, ORLUP_SIZE,
/// ORLUP_RESULT and ORLUP_CODE (decimal), each value byte for byte. Where no journal runs, a
/// record costs one failed send and says nothing.
class JournalRecorder : public AttemptRecorder {
public:
    void Record(const AttemptRecord& record) override;
};

}  // namespace orlup
