// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The municipality map's data, as plain values: the rows of the municipality
// list, the circles of the old municipalities with their hit-test, and the
// texts the map and the visit game show for a municipality (header, statistics,
// the numbered list of old municipalities). Standard C++ only; the windows put
// these values into their controls.
//
// Names are UTF-8; "characters" are Unicode code points. A name "padded to n"
// is cut to n characters or filled with ASCII blanks to n characters.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/files/folders.h"
#include "core/files/io.h"
#include "core/files/prefectures.h"
#include "core/files/records.h"

namespace tabinowa {

// Width of the names kept in the tables.
constexpr std::size_t kNameWidth = 20;       // CityName, KyuNames as stored
constexpr std::size_t kRowNameWidth = 12;    // a row's own name
constexpr std::size_t kHeaderNameWidth = 7;  // the name in the header label
constexpr std::size_t kDescriptionKeep = 200;  // characters of a description kept in a row
constexpr int kMapOldNameWidth = 12;   // old names in the map's profile
constexpr int kGameOldNameWidth = 8;   // old names in the visit game's profile
constexpr double kCircleRadius = 10;   // twips
constexpr double kHitDistance = 60;    // twips either way from a circle's centre
constexpr double kMarkOffset = 100;    // a number is printed this far left of and above its circle

// One old municipality of a row.
struct OldTown {
    std::string name;         // KyuNames k, padded to 20 (cut by oldTownList, kept padded to 20)
    std::int16_t x = 0;       // KyuX k, twips on the prefecture picture
    std::int16_t y = 0;       // KyuY k
    std::string description;  // the first 200 characters of KyuText k (cut by oldTownList)
    int descriptionLength = 0;  // KyuTextLen k as a number (0 when it is not one)
};

// One entry of a municipality list.
struct CityRow {
    int recNo = 0;
    std::string name12;  // the trimmed CityName padded to 12 (headerText cuts it to 7, padded to 12)
    std::int32_t Menseki = 0, Jinko = 0, Jigyosyo = 0, Jugyoin = 0, Kogyo = 0, Syogyo = 0;
    std::int32_t minryoku = 0;  // 民力 index
    int kyuSu = 0;
    std::vector<OldTown> old;  // kyuSu entries, old municipality k at old[k - 1]
};

// One circle drawn on the map: the present municipality, the old one, the centre.
struct Circle {
    std::string cityName;  // CityName padded to 20
    std::string oldName;   // KyuNames k padded to 20
    int x = 0;
    int y = 0;
};

// A sequence number printed on the map for an old municipality of the chosen
// municipality: the number k at the drawing position (x, y) in twips.
struct Mark {
    int number = 0;
    double x = 0;
    double y = 0;
};

// Everything the map's municipality list holds for one prefecture.
struct PrefectureCities {
    std::vector<std::string> entries;  // CityName padded to 20, one per row
    std::vector<CityRow> rows;         // row r = list position + 1
    std::vector<Circle> circles;       // in drawing order
};

// The row of a municipality record: the fields listed above and its 民力
// index. Throws FileError when the 民力 index leaves the 32-bit range.
CityRow makeCityRow(const City& c);

// The municipality list entry: CityName as stored, padded to 20 characters.
std::string cityListEntry(const City& c);

// The circles of one record, one per old municipality 1..KyuSu, in order.
std::vector<Circle> circlesOf(const City& c);

// The old municipalities 1..KyuSu of a record, as a row holds them.
std::vector<OldTown> oldTownsOf(const City& c);

// Reads the records StartRec..EndRec of a prefecture from "市町村.ran" in
// ascending order, decoded by City::decode (CityFields::Lists; without the
// descriptions, KyuText, with Descriptions::Skip: the map's municipality list
// does without them until a municipality is chosen); the file is opened for reading
// and closed here. A prefecture whose EndRec is below its StartRec has no
// municipalities. Throws FileError naming the file when it is missing (it is
// never created), when the range does not lie inside the file, or when a
// record cannot be read.
std::vector<City> readCities(Io& io, const AppFolders& folders, const KenHani& ken,
                             Descriptions descriptions = Descriptions::Read);

// The list entries, rows and circles of a prefecture's records.
PrefectureCities prefectureCities(const std::vector<City>& cities);

// The same for a prefecture's records in "市町村.ran", read and decoded
// straight into the list's values, without the descriptions: what
// prefectureCities(readCities(io, folders, ken, Descriptions::Skip)) gives,
// failing where it fails with the same messages, without a City apiece.
PrefectureCities readPrefectureCities(Io& io, const AppFolders& folders, const KenHani& ken);

// Puts the old municipalities of `cities` (as read again from the file) back
// into the rows, row by row, undoing earlier cuts of their names and
// descriptions. Rows beyond the records given are left as they are.
void refreshOldTowns(std::vector<CityRow>& rows, const std::vector<City>& cities);

// "旧市町村数、" followed by the number of circles.
std::string circleCountText(std::size_t circles);

// The header of a chosen municipality: cuts the row's name to its first 7
// characters (stored back, padded to 12 again) and returns those 7 characters,
// "　民力：" and the 民力 index.
std::string headerText(CityRow& row);

// The statistics text: "　人口：" population "人　面積：" area "平方ｋｍ　人口密度："
// density "　事業所数：" … "億円". The density is "－" when the population or
// the area is 0.
std::string statisticsText(const CityRow& row);

// The list of old municipalities: CR LF, then for each one k, one blank, its
// name cut to `nameWidth` characters, its description cut to its stored
// length, and CR LF. The cut names and descriptions are stored back in the row
// (names kept padded to 20). The map uses 12, the visit game 8.
std::string oldTownList(CityRow& row, int nameWidth);

// The numbers to print for a row's old municipalities: k at 100 twips left of
// and above its circle.
std::vector<Mark> numberMarks(const CityRow& row);
// A name without its padding blanks (ASCII or ideographic) at either end.
std::string trimmedName(std::string s);

// The first circle, in drawing order, whose centre lies within 60 twips of
// (x, y) both across and down (borders included); none when there is none.
std::optional<std::size_t> hitTest(const std::vector<Circle>& circles, double x, double y);

// The text naming a circle under the pointer: the municipality's name (20
// characters) when the first 10 characters of the old and present names are
// equal, else the old name's first 10 characters, "現　" and the present name.
std::string pointerName(const Circle& circle);

}  // namespace tabinowa
