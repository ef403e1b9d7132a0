// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where every field of the record files lies, and the rules that read their
// flags, in one place. Every reader of "問題.ran", "市町村.ran" and
// "訪問消去.ran" (deck, review, statistics, map, game, builds, environment
// window) goes through these views or through the decoders built on them
// (Mondai::decode, City::decode, Homon::decode), so changing one rule -
// which flag values mean "removed" - is one edit here.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tabinowa {

// A little-endian 16-bit or 32-bit signed integer at `at`; the caller has
// checked that the bytes are there.
inline std::int16_t readLe16(std::string_view b, std::size_t at) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) |
                                                                static_cast<unsigned char>(b[at + 1]) << 8));
}
inline std::int32_t readLe32(std::string_view b, std::size_t at) {
    std::uint32_t u = 0;
    for (std::size_t i = 0; i < 4; ++i) u |= static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + i])) << (8 * i);
    return static_cast<std::int32_t>(u);
}

// The removed flag (Syokyo) and the visited flag (Homon): any value but 0 is set.
constexpr bool flagIsSet(std::int16_t value) { return value != 0; }

// A fixed field's raw bytes without the blanks and tabs at its end. Neither
// byte is ever the second byte of a CP932 character (those are 0x40 and
// above), so trimming the raw bytes trims what trimming the text would.
std::string_view trimmedBytes(std::string_view field);

struct FieldAt {
    std::size_t offset;
    std::size_t width;
};

// "問題.ran": one question, 2578 bytes.
namespace mondai {
inline constexpr std::size_t kLength = 2578;
inline constexpr FieldAt Inyo{0, 4}, InyoNo{4, 2};
inline constexpr std::size_t kSentakuAt = 6, kSentakuWidth = 250;     // 4 of them
inline constexpr std::size_t kSentakuLenAt = 1006;                    // 4 × int16
inline constexpr FieldAt SentakuSu{1014, 2}, KotaeLen{1016, 2}, Kotae{1018, 250}, KaisetuLen{1268, 2},
    Kaisetu{1270, 600};
inline constexpr std::size_t kBikouAt = 1870, kBikouWidth = 50;       // 3 of them
inline constexpr FieldAt DoublePoint{2020, 2}, Mondai1{2022, 150}, Mondai1Len{2172, 2}, Mondai2Len{2174, 2},
    Mondai2{2176, 400}, Syokyo{2576, 2};
static_assert(Syokyo.offset + Syokyo.width == kLength);
// The byte a removal writes (the flag's low byte) and its value.
inline constexpr std::size_t kRemovedByteAt = Syokyo.offset;
inline constexpr char kRemovedByte = '\x01';
}  // namespace mondai

class MondaiView {
public:
    // `record` holds at least mondai::kLength bytes.
    explicit MondaiView(std::string_view record) : b_(record) {}
    bool removed() const { return flagIsSet(readLe16(b_, mondai::Syokyo.offset)); }
    std::int16_t inyoNo() const { return readLe16(b_, mondai::InyoNo.offset); }
    std::string_view bytes(FieldAt f) const { return b_.substr(f.offset, f.width); }
    std::string_view trimmed(FieldAt f) const { return trimmedBytes(bytes(f)); }
    std::string_view bikou(int i) const { return b_.substr(mondai::kBikouAt + mondai::kBikouWidth * static_cast<std::size_t>(i), mondai::kBikouWidth); }

private:
    std::string_view b_;
};

// What makes a question record unusable, or empty when nothing does: a text
// field holding a zero byte (the builds pad every text with blanks, so a
// record of zero bytes was never written by them), or a question with neither
// text nor answer.
std::string mondaiDamage(std::string_view record);

// True when a text field's bytes are UTF-8 rather than CP932: valid UTF-8
// with at least one character of two or more bytes. CP932 text of Japanese
// is almost never valid UTF-8 (its kana and most kanji begin with bytes UTF-8
// allows only inside a character), so such a field came from another program.
bool looksLikeUtf8(std::string_view field);

// Clears the removed flag (both bytes of it) of records 1..count of `bytes`,
// which hold at least that many whole records.
void clearRemovedFlags(std::string& bytes, std::size_t count);
// How many whole records of these bytes are removed.
int removedCount(std::string_view bytes);

// "市町村.ran": one municipality, 8128 bytes, with KyuSu after the variable-length texts.
namespace city {
inline constexpr std::size_t kLength = 8128;
inline constexpr std::size_t kSlots = 26, kMaxOld = 25;
inline constexpr FieldAt KenNo{0, 2}, Syubetu{2, 2}, SubCode{4, 2}, RecNo{6, 2}, KyuName{8, 20}, CityName{28, 20},
    Name2{48, 20}, Name3{68, 20}, Yobi{88, 20}, X{108, 2}, Y{110, 2};
inline constexpr std::size_t kStatsAt = 112;  // Menseki, Jinko, Jigyosyo, Jugyoin, Kogyo, Syogyo: int32 each
inline constexpr FieldAt Extra1{136, 2}, Extra2{138, 2};
inline constexpr std::size_t kMemoAt = 140, kMemoWidth = 150;  // 5 of them
inline constexpr FieldAt Yobi2{890, 4}, Yobi3{894, 4};
inline constexpr std::size_t kKyuNamesAt = 898, kKyuNameWidth = 20;
inline constexpr std::size_t kKyuXAt = 1418, kKyuYAt = 1470;
inline constexpr std::size_t kKyuTextAt = 1522, kKyuTextWidth = 250;
inline constexpr std::size_t kKyuTextLenAt = 8022;
static_assert(kKyuTextAt + kSlots * kKyuTextWidth == kKyuTextLenAt);
}  // namespace city

// The variable-length part of a municipality record: where each KyuTextLen
// text lies and KyuSu after the last.
struct CityLengths {
    std::array<std::size_t, city::kSlots> at{}, bytes{};
    std::int16_t kyuSu = 0;
};

class CityView {
public:
    // `where` names the record in messages.
    CityView(std::string_view record, std::string_view where) : b_(record), where_(where) {}
    std::int16_t i16(FieldAt f) const;
    std::int16_t i16At(std::size_t at) const;
    std::int32_t i32At(std::size_t at) const;
    // A fixed-length text with its padding, decoded from CP932.
    std::string text(std::size_t at, std::size_t width) const;
    std::string text(FieldAt f) const { return text(f.offset, f.width); }
    std::string_view raw(std::size_t at, std::size_t width) const;
    std::string kyuName(std::size_t k) const { return text(city::kKyuNamesAt + city::kKyuNameWidth * k, city::kKyuNameWidth); }
    std::int16_t kyuX(std::size_t k) const { return i16At(city::kKyuXAt + 2 * k); }
    std::int16_t kyuY(std::size_t k) const { return i16At(city::kKyuYAt + 2 * k); }
    std::string kyuText(std::size_t k) const { return text(city::kKyuTextAt + city::kKyuTextWidth * k, city::kKyuTextWidth); }
    // Menseki, Jinko, Jigyosyo, Jugyoin, Kogyo, Syogyo in the order stored (i = 0..5).
    std::int32_t figure(std::size_t i) const { return i32At(city::kStatsAt + 4 * i); }
    // The municipality's name. Throws FileError when it holds a zero byte: a
    // name is never empty, so that is a record made zero (checked before the
    // counts, whose own messages would not name the cause).
    std::string cityName() const;
    // Throws FileError when a length is negative or overruns the record, or
    // KyuSu lies outside 1..25.
    CityLengths lengths() const;
    std::string_view where() const { return where_; }

private:
    void need(std::size_t at, std::size_t n) const;
    std::string_view b_;
    std::string_view where_;
};

// "訪問消去.ran": one visit mark, 6 bytes.
namespace homon {
inline constexpr std::size_t kLength = 6;
inline constexpr FieldAt Homon{0, 2}, HomonRec1{2, 2}, HomonRec2{4, 2};
}  // namespace homon

class HomonView {
public:
    // `mark` holds at least homon::kLength bytes.
    explicit HomonView(std::string_view mark) : b_(mark) {}
    std::int16_t flag() const { return readLe16(b_, homon::Homon.offset); }
    bool visited() const { return flagIsSet(flag()); }

private:
    std::string_view b_;
};

// Mark n (1-based) of the visit-mark file's bytes: visited when the record is
// there and its flag is set; a record beyond the end reads as not visited.
bool markVisited(std::string_view marks, int n);

}  // namespace tabinowa
