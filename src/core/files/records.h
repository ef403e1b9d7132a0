// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The record types of the record files, with their exact byte layout
// (little-endian, no padding). Texts are UTF-8 in memory; fixed-length fields
// are converted to CP932 and padded with blanks (or cut at a whole character)
// when encoded, and keep their padding when decoded.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/files/record_views.h"

namespace tabinowa {

// One question of "問題.ran".
struct Mondai {
    static constexpr std::size_t kLength = mondai::kLength;

    std::string Inyo;  // 4
    std::int16_t InyoNo = 0;
    std::array<std::string, 4> Sentaku;  // Sentaku1..4, 250 each
    std::array<std::int16_t, 4> SentakuLen{};
    std::int16_t SentakuSu = 0;
    std::int16_t KotaeLen = 0;
    std::string Kotae;  // 250
    std::int16_t KaisetuLen = 0;
    std::string Kaisetu;                // 600
    std::array<std::string, 3> Bikou;  // 50 each
    std::int16_t DoublePoint = 0;
    std::string Mondai1;  // 150
    std::int16_t Mondai1Len = 0;
    std::int16_t Mondai2Len = 0;
    std::string Mondai2;  // 400
    std::int16_t Syokyo = 0;

    bool removed() const { return flagIsSet(Syokyo); }
    // `where` names the file and record for messages.
    std::string encode(std::string_view where) const;
    static Mondai decode(std::string_view bytes, std::string_view where);
};

// The question text: the first Mondai1Len characters of Mondai1, CR LF, one
// U+3000, the first Mondai2Len characters of Mondai2.
std::string questionText(const Mondai& m);
// The source line: Inyo as stored (blanks included) and InyoNo in decimal.
std::string sourceLine(const Mondai& m);
// The answer as the game shows it: the first KotaeLen characters of Kotae.
std::string shortAnswer(const Mondai& m);

// How much of a municipality record a decode takes: the whole record, or
// what the lists, the profile and the map use (KenNo, RecNo, CityName, the six
// figures, KyuSu and slots 1..KyuSu of the four arrays and KyuTextLen; every
// other field left empty or 0), and with it the descriptions (KyuText) or not.
enum class CityFields { Whole, Lists };
enum class Descriptions { Read, Skip };

// One municipality of "市町村.ran".
struct City {
    static constexpr std::size_t kLength = city::kLength;
    static constexpr int kSlots = 26;       // slot 0 unused
    static constexpr int kMaxOld = 25;      // KyuSu at most
    static constexpr int kMaxLenBytes = 52; // KyuTextLen text bytes at most

    std::int16_t KenNo = 0, Syubetu = 0, SubCode = 0, RecNo = 0;
    std::string KyuName, CityName, Name2, Name3;  // 20 each
    std::string Yobi;                             // 20, never set: zero bytes
    std::int16_t X = 0, Y = 0;
    std::int32_t Menseki = 0, Jinko = 0, Jigyosyo = 0, Jugyoin = 0, Kogyo = 0, Syogyo = 0;
    std::int16_t Extra1 = 0, Extra2 = 0;
    std::array<std::string, 5> Memo;  // 150 each
    std::int32_t Yobi2 = 0;
    std::array<std::uint8_t, 4> Yobi3{};
    std::array<std::string, kSlots> KyuNames;  // 20 each
    std::array<std::int16_t, kSlots> KyuX{}, KyuY{};
    std::array<std::string, kSlots> KyuText;     // 250 each
    std::array<std::string, kSlots> KyuTextLen;  // variable length
    std::int16_t KyuSu = 0;

    // A buffer as a fresh record starts: every fixed text all zero bytes.
    static City zeroed();

    std::string encode(std::string_view where) const;
    // The one decoder of a municipality record. Throws FileError (naming
    // `where`) on a short record, a description length that is negative or
    // overruns the record, KyuSu outside 0..25, or a text taken that is not CP932.
    static City decode(std::string_view bytes, std::string_view where, CityFields fields = CityFields::Whole,
                       Descriptions descriptions = Descriptions::Read);
};

// One visit mark of "訪問消去.ran".
struct Homon {
    static constexpr std::size_t kLength = homon::kLength;
    std::int16_t Homon = 0, HomonRec1 = 0, HomonRec2 = 0;
    std::string encode() const;
    static struct Homon decode(std::string_view bytes);
};

}  // namespace tabinowa
