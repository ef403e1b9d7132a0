// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/files/record_views.h"

#include "core/files/cp932.h"
#include "core/files/error.h"

namespace tabinowa {

std::string_view trimmedBytes(std::string_view field) {
    std::size_t n = field.size();
    while (n > 0 && (field[n - 1] == ' ' || field[n - 1] == '\t')) --n;
    return field.substr(0, n);
}

std::string mondaiDamage(std::string_view record) {
    namespace L = mondai;
    const MondaiView v(record);
    const FieldAt texts[] = {L::Inyo,
                             {L::kSentakuAt, 4 * L::kSentakuWidth},
                             L::Kotae,
                             L::Kaisetu,
                             {L::kBikouAt, 3 * L::kBikouWidth},
                             L::Mondai1,
                             L::Mondai2};
    for (const FieldAt& f : texts)
        if (v.bytes(f).find('\0') != std::string_view::npos) {
            if (record.substr(0, L::kLength).find_first_not_of('\0') == std::string_view::npos)
                return "0で埋まっています";
            return "文字の欄に0のバイトがあります";
        }
    if (v.trimmed(L::Mondai1).empty() && v.trimmed(L::Mondai2).empty() && v.trimmed(L::Kotae).empty())
        return "問題の文も答えも空です";
    return {};
}

bool looksLikeUtf8(std::string_view field) {
    bool multi = false;
    for (std::size_t i = 0; i < field.size();) {
        const auto c = static_cast<unsigned char>(field[i]);
        std::size_t n = 0;
        if (c < 0x80) n = 1;
        else if (c >= 0xC2 && c <= 0xDF) n = 2;
        else if (c >= 0xE0 && c <= 0xEF) n = 3;
        else if (c >= 0xF0 && c <= 0xF4) n = 4;
        else return false;
        if (i + n > field.size()) return false;
        for (std::size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(field[i + k]) & 0xC0) != 0x80) return false;
        if (n == 3) {
            const auto c1 = static_cast<unsigned char>(field[i + 1]);
            if ((c == 0xE0 && c1 < 0xA0) || (c == 0xED && c1 > 0x9F)) return false;
        }
        multi = multi || n > 1;
        i += n;
    }
    return multi;
}

void clearRemovedFlags(std::string& bytes, std::size_t count) {
    for (std::size_t r = 0; r < count && (r + 1) * mondai::kLength <= bytes.size(); ++r) {
        const std::size_t at = r * mondai::kLength + mondai::Syokyo.offset;
        bytes[at] = 0;
        bytes[at + 1] = 0;
    }
}

int removedCount(std::string_view bytes) {
    int n = 0;
    for (std::size_t at = 0; at + mondai::kLength <= bytes.size(); at += mondai::kLength)
        n += MondaiView(bytes.substr(at, mondai::kLength)).removed();
    return n;
}

void CityView::need(std::size_t at, std::size_t n) const {
    if (at > b_.size() || n > b_.size() - at) throw FileError(std::string(where_) + "：記録が短すぎます。");
}

std::int16_t CityView::i16(FieldAt f) const { return i16At(f.offset); }

std::int16_t CityView::i16At(std::size_t at) const {
    need(at, 2);
    return readLe16(b_, at);
}

std::int32_t CityView::i32At(std::size_t at) const {
    need(at, 4);
    return readLe32(b_, at);
}

std::string_view CityView::raw(std::size_t at, std::size_t width) const {
    need(at, width);
    return b_.substr(at, width);
}

std::string CityView::text(std::size_t at, std::size_t width) const {
    // The blanks at the end are kept as they are and only the rest is
    // converted: a blank byte is never the second byte of a two-byte character.
    const std::string_view field = raw(at, width);
    std::size_t used = field.size();
    while (used > 0 && field[used - 1] == ' ') --used;
    if (looksLikeUtf8(field.substr(0, used)))
        throw FileError(std::string(where_) + "に、シフトJISではなくUTF-8で書かれた文字があります（別のプログラムで書かれたものです）。");
    std::string s = fromCp932(field.substr(0, used), where_);
    s.append(field.size() - used, ' ');
    return s;
}

std::string CityView::cityName() const {
    if (raw(city::CityName.offset, city::CityName.width).find('\0') != std::string_view::npos)
        throw FileError(std::string(where_) + "が壊れています（市町村名が0で埋まっています）。");
    return text(city::CityName);
}

CityLengths CityView::lengths() const {
    CityLengths l;
    std::size_t pos = city::kKyuTextLenAt;
    const std::size_t limit = city::kLength - 2;  // KyuSu must still fit
    for (std::size_t k = 0; k < city::kSlots; ++k) {
        const std::int16_t n = i16At(pos);
        pos += 2;
        if (n < 0 || pos + static_cast<std::size_t>(n) > limit)
            throw FileError(std::string(where_) + "：旧市町村の説明の長さが記録に収まりません。");
        l.at[k] = pos;
        l.bytes[k] = static_cast<std::size_t>(n);
        pos += static_cast<std::size_t>(n);
    }
    l.kyuSu = i16At(pos);
    // every municipality is at least its own old municipality
    if (l.kyuSu < 1 || l.kyuSu > static_cast<std::int16_t>(city::kMaxOld))
        throw FileError(std::string(where_) + "：旧市町村の数（" + std::to_string(l.kyuSu) + "）が1～25の範囲にありません。");
    return l;
}

bool markVisited(std::string_view marks, int n) {
    if (n < 1) return false;
    const std::size_t at = static_cast<std::size_t>(n - 1) * homon::kLength;
    return at + homon::kLength <= marks.size() && HomonView(marks.substr(at)).visited();
}

}  // namespace tabinowa
