// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/build/master_row.h"

#include <limits>

#include "core/files/cp932.h"
#include "core/files/error.h"
#include "core/files/messages.h"

namespace tabinowa::build {

std::string lineLabel(const std::string& fileName, int line) {
    return "ファイル" + fileName + "の" + std::to_string(line) + "行目";
}

void withMasterRepair(const std::function<void()>& read) {
    try {
        read();
    } catch (const FileError& e) {
        const std::string said = e.what();
        if (said.find(kUnchanged) != std::string::npos) throw;
        throw FileError(said + masterRepair());
    }
}

MasterRow::MasterRow(FieldReader& reader, int columns) : fileName_(reader.fileName()) {
    fields_.reserve(static_cast<std::size_t>(columns));
    lines_.reserve(static_cast<std::size_t>(columns));
    for (int c = 0; c < columns; ++c) {
        if (reader.atEnd())
            throw FileError(lineLabel(fileName_, c == 0 ? reader.line() : lines_.front()) +
                            "：ファイルが行の途中で終わっています（" + std::to_string(columns) + "項目のうち" +
                            std::to_string(c) + "項目しかありません）。");
        fields_.push_back(reader.readValue());
        lines_.push_back(reader.lastLine());
    }
}

std::string MasterRow::where(int column) const {
    return lineLabel(fileName_, lineOf(column)) + "（" + std::to_string(column) + "列目）";
}

std::int64_t MasterRow::integer(int column, std::int64_t lo, std::int64_t hi) const {
    const Value& v = at(column);
    auto n = v.asNumber();
    if (!n) throw FileError(where(column) + "：「" + v.asText() + "」は数値ではありません。");
    double r = roundHalfEven(*n);
    if (r < static_cast<double>(lo) || r > static_cast<double>(hi))
        throw FileError(where(column) + "：数値" + v.asText() + "が範囲（" + std::to_string(lo) + "～" +
                        std::to_string(hi) + "）を超えています。");
    return static_cast<std::int64_t>(r);
}

std::int16_t MasterRow::int16(int column) const {
    return static_cast<std::int16_t>(
        integer(column, std::numeric_limits<std::int16_t>::min(), std::numeric_limits<std::int16_t>::max()));
}

std::int32_t MasterRow::int32(int column) const {
    return static_cast<std::int32_t>(
        integer(column, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

std::string MasterRow::text(int column) const {
    std::string t = at(column).asText();
    if (t.find('\0') != std::string::npos) throw FileError(where(column) + "：文字に0のバイトがあります。");
    return t;
}

std::int16_t MasterRow::length(int column) const {
    std::size_t n = charCount(text(column));
    if (n > static_cast<std::size_t>(std::numeric_limits<std::int16_t>::max()))
        throw FileError(where(column) + "：文字数（" + std::to_string(n) + "）が多すぎます（最大" +
                        std::to_string(std::numeric_limits<std::int16_t>::max()) + "文字）。");
    return static_cast<std::int16_t>(n);
}

}  // namespace tabinowa::build
