// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/files/text_file.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "core/files/cp932.h"
#include "core/files/error.h"

namespace tabinowa {

std::optional<double> parseNumber(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    s = s.substr(b, e - b);
    if (s.empty()) return std::nullopt;
    std::size_t i = 0;
    if (s[i] == '+' || s[i] == '-') ++i;
    std::size_t digits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
    }
    if (digits == 0) return std::nullopt;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
        std::size_t expDigits = 0;
        while (j < s.size() && s[j] >= '0' && s[j] <= '9') ++j, ++expDigits;
        if (expDigits == 0) return std::nullopt;
        i = j;
    }
    if (i != s.size()) return std::nullopt;
    std::string copy(s);
    double v = std::strtod(copy.c_str(), nullptr);
    if (!std::isfinite(v)) return std::nullopt;
    return v;
}

double roundHalfEven(double x) {
    double r = std::round(x);
    if (std::fabs(x - std::trunc(x)) == 0.5) r = 2.0 * std::round(x / 2.0);
    return r;
}

std::optional<double> Value::asNumber() const {
    switch (kind_) {
        case Kind::Empty: return 0.0;
        case Kind::Number: return number_;
        case Kind::Text: return parseNumber(text_);
    }
    return std::nullopt;
}

std::string Value::asText() const {
    switch (kind_) {
        case Kind::Empty: return {};
        case Kind::Text: return text_;
        case Kind::Number: {
            if (number_ == std::trunc(number_) && std::fabs(number_) < 1e15) {
                return std::to_string(static_cast<long long>(number_));
            }
            char buf[64];
            std::snprintf(buf, sizeof buf, "%.15g", number_);
            return buf;
        }
    }
    return {};
}

bool operator==(const Value& a, const Value& b) {
    if (a.kind_ == b.kind_) return a.kind_ == Value::Kind::Empty || (a.kind_ == Value::Kind::Number ? a.number_ == b.number_ : a.text_ == b.text_);
    // The empty value equals 0 and "".
    if (a.isEmpty()) return b.isNumber() ? b.number_ == 0 : b.text_.empty();
    if (b.isEmpty()) return b == a;
    return false;
}

FieldReader::FieldReader(std::string bytes, std::string fileName)
    : bytes_(std::move(bytes)), fileName_(std::move(fileName)) {}

void FieldReader::fail(const std::string& what) const {
    throw FileError("ファイル" + fileName_ + "の" + std::to_string(lastLine_) + "行目：" + what);
}

bool FieldReader::scanField(std::size_t& pos, int& line, Span& field) const {
    const std::size_t size = bytes_.size();
    const char* b = bytes_.data();
    auto stopsField = [](char c) { return c == ',' || c == '\r' || c == '\n'; };
    while (pos < size && (b[pos] == ' ' || b[pos] == '\t')) ++pos;
    if (pos < size && b[pos] == '"') {
        const std::size_t close = bytes_.find('"', pos + 1);
        if (close == std::string::npos) return false;
        field = Span{pos + 1, close - pos - 1, true};
        for (std::size_t i = pos + 1; i < close; ++i)
            if (b[i] == '\n') ++line;
        pos = close + 1;
        // whatever follows the closing quote up to the field's end is passed over
        while (pos < size && !stopsField(b[pos])) ++pos;
    } else {
        const std::size_t start = pos;
        while (pos < size && !stopsField(b[pos])) ++pos;
        field = Span{start, pos - start, false};
    }
    // the comma or the line end that closes the field
    if (pos < size) {
        if (b[pos] == ',') {
            ++pos;
        } else if (b[pos] == '\r') {
            ++pos;
            if (pos < size && b[pos] == '\n') ++pos;
            ++line;
        } else if (b[pos] == '\n') {
            ++pos;
            ++line;
        }
    }
    return true;
}

FieldReader::Raw FieldReader::next() {
    lastLine_ = line_;
    if (atEnd()) fail("ファイルが途中で終わっています（項目が足りません）。");
    Span f;
    if (!scanField(pos_, line_, f)) fail("閉じる「\"」がありません。");
    Raw raw;
    raw.quoted = f.quoted;
    const std::string_view bytes = std::string_view(bytes_).substr(f.start, f.length);
    raw.bytes = f.quoted ? std::string(bytes) : trimRight(bytes);
    return raw;
}

std::optional<int> FieldReader::lineOfFieldAhead(std::size_t n) const {
    if (n == 0) return std::nullopt;
    std::size_t pos = pos_;
    int line = line_;
    Span f;
    for (std::size_t i = 1; pos < bytes_.size(); ++i) {
        if (i == n) return line;
        if (!scanField(pos, line, f)) return std::nullopt;
    }
    return std::nullopt;
}

std::string FieldReader::decode(const std::string& raw) const {
    return fromCp932(raw, "ファイル" + fileName_ + "の" + std::to_string(lastLine_) + "行目");
}

Value FieldReader::readValue() {
    Raw raw = next();
    if (raw.quoted) return Value::text(decode(raw.bytes));
    if (raw.bytes.empty()) return Value();
    if (auto n = parseNumber(raw.bytes)) return Value::number(*n);
    return Value::text(decode(raw.bytes));
}

std::string FieldReader::readText() {
    Raw raw = next();
    return decode(raw.bytes);
}

std::int64_t FieldReader::toInteger(const Raw& raw, std::int64_t lo, std::int64_t hi) {
    auto n = parseNumber(raw.bytes);
    if (!n) {
        decode(raw.bytes);  // invalid bytes are still an error
        return 0;
    }
    double r = roundHalfEven(*n);
    if (r < static_cast<double>(lo) || r > static_cast<double>(hi))
        fail("数値" + std::string(raw.bytes) + "が範囲（" + std::to_string(lo) + "～" + std::to_string(hi) +
             "）を超えています。");
    return static_cast<std::int64_t>(r);
}

std::int16_t FieldReader::readInt16() {
    Raw raw = next();
    return static_cast<std::int16_t>(toInteger(raw, std::numeric_limits<std::int16_t>::min(),
                                               std::numeric_limits<std::int16_t>::max()));
}

std::int32_t FieldReader::readInt32() {
    Raw raw = next();
    return static_cast<std::int32_t>(toInteger(raw, std::numeric_limits<std::int32_t>::min(),
                                               std::numeric_limits<std::int32_t>::max()));
}

std::vector<Value> FieldReader::readValues(int n) {
    std::vector<Value> out;
    out.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) out.push_back(readValue());
    return out;
}

void TextWriter::writeFields(const std::vector<Value>& values) {
    ++lines_;
    std::string where = "ファイル" + fileName_ + "の" + std::to_string(lines_) + "行目";
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0) bytes_ += ',';
        const Value& v = values[i];
        if (v.isText()) {
            if (v.asText().find('"') != std::string::npos)
                throw FileError(where + "：文字「\"」を含む項目は書けません。");
            bytes_ += '"';
            bytes_ += toCp932(v.asText(), where);
            bytes_ += '"';
        } else if (v.isNumber()) {
            bytes_ += v.asText();
        }
    }
    bytes_ += "\r\n";
}

void TextWriter::printNumber(std::int32_t n) {
    ++lines_;
    if (n >= 0) bytes_ += ' ';
    bytes_ += std::to_string(n);
    bytes_ += "\r\n";
}

}  // namespace tabinowa
