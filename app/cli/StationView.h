// What a flashing station shows: a live table on a terminal, else one line per event.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "FlashSession.h"

namespace orlup {

class StationView : public TransferView {
public:
    explicit StationView(FlashSession& session);

    /// A printer seen, in a state of its own making: "waiting", "already flashed", "refused: ...".
    void Show(const UsbDeviceRecord& printer, const std::string& state, const std::string& line);

    void Started(Transfer& transfer) override;
    void Progress(Transfer& transfer, uint32_t sent, uint32_t size) override;
    void Message(Transfer& transfer, const std::string& text) override;
    void Ended(Transfer& transfer) override;

private:
    struct Row {
        std::string key;
        std::string serial;
        std::string busPort;
        std::string state;
    };
    /// Sets the printer's row and shows it, or the line when there is no table; needs the lock.
    void Set(const UsbDeviceRecord& printer, const std::string& state, const std::string& line);
    void Draw();

    FlashSession& session_;
    bool table_;
    std::vector<Row> rows_;               // in the order the printers were first seen
    std::map<std::string, int> percent_;  // by row key, the last percent shown
    int drawnLines_ = 0;
    bool toldCompletion_ = false;
};

/// A printer's row key: its serial, or its bus-port when it has none.
std::string RowKey(const UsbDeviceRecord& printer);

}  // namespace orlup
