// What a flashing station shows: a live table on a terminal, else one line per event.
#include "StationView.h"

#include <algorithm>
#include <iomanip>
#include <ostream>
#include <utility>

#include "PrinterListing.h"
#include "update/FlashTexts.h"

namespace orlup {

std::string RowKey(const UsbDeviceRecord& printer) {
    return printer.serial.empty() ? "\n" + printer.busPort : printer.serial;
}

StationView::StationView(FlashSession& session)
    : session_(session), table_(session.context().terminal && !session.json()) {}

void StationView::Show(const UsbDeviceRecord& printer, const std::string& state,
                       const std::string& line) {
    const std::lock_guard<std::mutex> lock(session_.outputLock());
    Set(printer, state, line);
}

void StationView::Started(Transfer& transfer) {
    const std::lock_guard<std::mutex> lock(session_.outputLock());
    percent_.erase(RowKey(transfer.printer));  // what its last attempt showed
    Set(transfer.printer, "0 %", "flashing");
}

// A line at every tenth, or the row at every percent.
void StationView::Progress(Transfer& transfer, uint32_t sent, uint32_t size) {
    const int percent = PercentOf(sent, size);
    const std::lock_guard<std::mutex> lock(session_.outputLock());
    int& shown = percent_[RowKey(transfer.printer)];
    if (table_ ? percent == shown : percent / 10 == shown / 10) return;
    shown = percent;
    Set(transfer.printer, std::to_string(percent) + " %",
        std::to_string(percent) + "% " + std::to_string(sent) + "/" + std::to_string(size) +
            " bytes");
}

void StationView::Message(Transfer& transfer, const std::string& text) {
    if (table_) return;  // the row tells it once the attempt has ended
    const std::lock_guard<std::mutex> lock(session_.outputLock());
    session_.human() << PrinterLabel(transfer.printer) << ": " << text << std::endl;
}

void StationView::Ended(Transfer& transfer) {
    if (!transfer.known) return;
    const AttemptOutcome& outcome = transfer.result.outcome;
    const std::lock_guard<std::mutex> lock(session_.outputLock());
    if (outcome.completed) {
        Set(transfer.printer, "done",
            "done, " + std::to_string(outcome.bytesSent) + " bytes, sha256 " +
                session_.facts().sha256);
        // What the technician does next is the same for every printer: told once.
        if (!std::exchange(toldCompletion_, true)) {
            if (table_) return Draw();
            session_.human() << FlashTexts::Completion << std::endl;
        }
        return;
    }
    const std::string why = transfer.result.cutShort ? "interrupted" : outcome.message;
    const std::string sent = outcome.commandSent
                                 ? "failed after " + std::to_string(outcome.bytesSent) + " of " +
                                       std::to_string(outcome.imageSize) + " bytes - "
                                 : "failed before sending - ";
    Set(transfer.printer, "failed: " + why, sent + why);
}

void StationView::Set(const UsbDeviceRecord& printer, const std::string& state,
                      const std::string& line) {
    if (!table_) {
        session_.human() << PrinterLabel(printer) << ": " << line << std::endl;
        return;
    }
    const std::string key = RowKey(printer);
    auto row = std::find_if(rows_.begin(), rows_.end(), [&](const Row& r) { return r.key == key; });
    if (row == rows_.end())
        row = rows_.insert(rows_.end(), Row{key, OrDash(printer.serial), "", ""});
    row->busPort = OrDash(printer.busPort);
    row->state = Printable(state);
    Draw();
}

// The whole table again, over the one drawn before.
void StationView::Draw() {
    std::ostream& out = session_.human();
    if (drawnLines_ > 0) out << "\x1b[" << drawnLines_ << "A\r\x1b[J";
    out << std::left << std::setw(20) << "SERIAL" << std::setw(10) << "BUS-PORT"
        << "STATE\n";
    for (const Row& row : rows_) {
        out << std::setw(20) << row.serial << std::setw(10) << row.busPort << row.state << '\n';
    }
    drawnLines_ = 1 + static_cast<int>(rows_.size());
    if (toldCompletion_) {
        const std::string completion = FlashTexts::Completion;
        out << '\n' << completion << '\n';
        drawnLines_ += 2 + static_cast<int>(std::count(completion.begin(), completion.end(), '\n'));
    }
    out << std::flush;
}

}  // namespace orlup
