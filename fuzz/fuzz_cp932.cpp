// The CP932 decoder over any bytes: valid input converts to UTF-8 that
// converts back to CP932 of the same character count; invalid input is a
// FileError, never a crash or a silent replacement.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "files/cp932.h"
#include "files/error.h"

using namespace tabinowa;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    std::string utf8;
    try {
        utf8 = fromCp932(bytes, "fuzz");
    } catch (const FileError&) {
        return 0;
    }
    std::string back = toCp932(utf8, "fuzz");  // must not throw: every decoded character is encodable
    if (charCount(fromCp932(back, "fuzz")) != charCount(utf8)) std::abort();
    for (std::size_t w : {std::size_t{1}, std::size_t{4}, std::size_t{20}}) {
        std::string field = fixedField(utf8, w, "fuzz");
        if (field.size() != w) std::abort();
        fromCp932(field, "fuzz");  // a cut never leaves half a character
    }
    return 0;
}
