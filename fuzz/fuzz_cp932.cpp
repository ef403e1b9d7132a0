// SPDX-License-Identifier: GPL-3.0-or-later
// The CP932 converters over any bytes: reading and writing by table give
// exactly what iconv alone gives (the same text, or a FileError where iconv
// refuses); valid input converts to UTF-8 that converts back to CP932 of the
// same character count; invalid input is a FileError, never a crash or a
// silent replacement. The bytes are also taken as UTF-8, to be written.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "core/files/cp932.h"
#include "core/files/error.h"

using namespace tabinowa;

namespace {

template <typename Convert>
std::optional<std::string> orNothing(Convert convert) {
    try {
        return convert();
    } catch (const FileError&) {
        return std::nullopt;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    // as UTF-8 to be written
    const auto written = orNothing([&] { return toCp932(bytes, "fuzz"); });
    if (written != toCp932ByIconv(bytes)) std::abort();
    for (std::size_t w : {std::size_t{1}, std::size_t{4}, std::size_t{20}}) {
        const auto field = orNothing([&] { return fixedField(bytes, w, "fuzz"); });
        if (field.has_value() != written.has_value()) std::abort();
        if (field && (field->size() != w || !orNothing([&] { return fromCp932(*field, "fuzz"); }))) std::abort();
    }

    // as CP932 to be read
    const auto read = orNothing([&] { return fromCp932(bytes, "fuzz"); });
    if (read != fromCp932ByIconv(bytes)) std::abort();
    if (!read) return 0;
    const std::string back = toCp932(*read, "fuzz");  // must not throw: every decoded character is encodable
    if (charCount(fromCp932(back, "fuzz")) != charCount(*read)) std::abort();
    for (std::size_t w : {std::size_t{1}, std::size_t{4}, std::size_t{20}}) {
        const std::string field = fixedField(*read, w, "fuzz");
        if (field.size() != w) std::abort();
        fromCp932(field, "fuzz");  // a cut never leaves half a character
    }
    return 0;
}
