// Text from devices and files made safe to show on a terminal.
#include "text/PrintableText.h"

namespace orlup {

std::string Printable(const std::string& text) {
    std::string shown;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const auto next = static_cast<unsigned char>(text[i + 1]);  // the terminator at the end
        const bool c1 = byte == 0xC2 && next >= 0x80 && next < 0xA0;
        if (byte < 0x20 || byte == 0x7F || c1) {
            shown += '?';
            i += c1 ? 1 : 0;
        } else {
            shown += text[i];
        }
    }
    return shown;
}

std::string OrDash(const std::string& text) { return text.empty() ? "-" : Printable(text); }

}  // namespace orlup
