// The error text of any code, and the program's own formats over arguments of any bytes and
// length (the formats themselves are constants and never fuzzed).
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/FuzzCheck.h"
#include "text/ErrorText.h"
#include "text/MessageText.h"
#include "update/FlashTexts.h"

using namespace orlup;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const uint32_t code = input.ConsumeIntegral<uint32_t>();
    const int copies = input.ConsumeIntegralInRange(1, 16);  // a few kilobytes pass the limit
    const std::string piece = input.ConsumeRemainingBytesAsString();
    std::string argument;
    for (int i = 0; i < copies; ++i) argument += piece;
    const std::string printed = argument.c_str();  // what %s prints of it

    char codeText[16];
    std::snprintf(codeText, sizeof codeText, " (0x%X)", code);
    const std::string error = ErrorText(code);
    FUZZ_CHECK(EndsWith(error, codeText) && error.size() > std::strlen(codeText));
    FUZZ_CHECK(JoinText(FlashTexts::ReadFailed, error) == FlashTexts::ReadFailed + error);

    const std::string text = FormatText("%s (0x%X)", argument.c_str(), code);
    FUZZ_CHECK(text.size() <= FormatTextLimit && StartsWith(printed + codeText, text));
    FUZZ_CHECK(text.size() == FormatTextLimit || EndsWith(text, codeText));
    return 0;
}
