// SPDX-License-Identifier: GPL-3.0-or-later
// The municipality map's data: reading a prefecture's records into list
// entries, rows and circles; the header, statistics and old-municipality texts;
// the numbered marks; hit-testing and the name under the pointer.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "core/files/cp932.h"
#include "core/files/error.h"
#include "core/files/prefectures.h"
#include "core/files/records.h"
#include "core/map/city_table.h"
#include "support/city_fixture.h"
#include "support/temp_folder.h"

using namespace tabinowa;
using namespace tabinowa::testing;

namespace {

// A municipality of prefecture 1 with 民力 494, as the file gives it back:
// fixed fields padded with blanks.
City makeCity(int recNo, const std::string& name, const std::vector<OldSpec>& old) {
    return City::decode(cityRecord(recNo, 1, name, 494, old).encode("test"), "test");
}

KenHani range(const std::string& name, int start, int end) { return rangeRow(1, {name, start, end}); }

std::string pad(const std::string& s, std::size_t n) { return padChars(s, n); }

}  // namespace

// ------------------------------------------------------ reading a prefecture

TEST(MapPrefecture, ListsEveryMunicipalityAndDrawsEveryOldOne) {
    TempProgramFolder folder;
    // record 1 belongs to another prefecture; ours runs 2..4 with 1, 3 and 2 old municipalities
    writeCities(folder.folders(), {
        makeCity(1, "よその町", {{"よその町", 1, 1, "他県"}}),
        makeCity(2, "一町", {{"一町", 100, 200, "そのまま"}}),
        makeCity(3, "三市", {{"甲村", 300, 310, "a"}, {"乙村", 320, 330, "b"}, {"丙町", 340, 350, "c"}}),
        makeCity(4, "二村", {{"丁村", 400, 410, "d"}, {"戊村", 420, 430, "e"}}),
    });
    PosixIo io;
    auto cities = readCities(io, folder.folders(), range("県", 2, 4));
    auto p = prefectureCities(cities);

    EXPECT_EQ(p.entries, (std::vector<std::string>{pad("一町", 20), pad("三市", 20), pad("二村", 20)}));
    ASSERT_EQ(p.rows.size(), 3u);
    EXPECT_EQ(p.rows[1].recNo, 3);
    EXPECT_EQ(p.rows[1].name12, pad("三市", 12));
    EXPECT_EQ(p.rows[1].kyuSu, 3);
    EXPECT_EQ(p.rows[1].minryoku, 494);

    ASSERT_EQ(p.circles.size(), 6u);
    EXPECT_EQ(circleCountText(p.circles.size()), "旧市町村数、6");
    const std::vector<std::pair<std::string, int>> order = {
        {"一町", 100}, {"甲村", 300}, {"乙村", 320}, {"丙町", 340}, {"丁村", 400}, {"戊村", 420}};
    for (std::size_t i = 0; i < order.size(); ++i) {
        EXPECT_EQ(p.circles[i].oldName, pad(order[i].first, 20)) << i;
        EXPECT_EQ(p.circles[i].x, order[i].second) << i;
        EXPECT_EQ(p.circles[i].y, order[i].second + (i == 0 ? 100 : 10)) << i;
    }
    EXPECT_EQ(p.circles[3].cityName, pad("三市", 20));
}

TEST(MapPrefecture, RangeProblemsAreReportedAndNothingIsCreated) {
    TempProgramFolder folder;
    PosixIo io;
    const auto file = folder.folders().cityRecords();

    // missing file: an error naming it, and no empty file left behind
    try {
        readCities(io, folder.folders(), range("県", 1, 1));
        ADD_FAILURE() << "no error for a missing file";
    } catch (const FileError& e) {
        EXPECT_NE(std::string(e.what()).find("市町村.ran"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(std::filesystem::exists(file));

    writeCities(folder.folders(), {makeCity(1, "一町", {{"一町", 1, 1, ""}}), makeCity(2, "二町", {{"二町", 2, 2, ""}})});
    struct Case {
        int start, end;
        bool ok;
        std::size_t count;
    };
    const Case cases[] = {
        {1, 2, true, 2}, {2, 2, true, 1}, {3, 2, true, 0},  // EndRec below StartRec: no municipalities
        {2, 3, false, 0}, {0, 1, false, 0}, {5, 9, false, 0},
    };
    for (const auto& c : cases) {
        if (c.ok) {
            EXPECT_EQ(readCities(io, folder.folders(), range("県", c.start, c.end)).size(), c.count) << c.start;
        } else {
            EXPECT_THROW(readCities(io, folder.folders(), range("県", c.start, c.end)), FileError) << c.start;
        }
    }
    EXPECT_EQ(readBytes(file).size(), 2 * City::kLength);  // only read
}

TEST(MapPrefecture, ListFieldsAgreeWithTheWholeRecord) {
    std::vector<OldSpec> many;
    for (int k = 1; k <= City::kMaxOld; ++k) many.push_back({"旧" + std::to_string(k), k * 10, k * 20, std::to_string(k)});
    City odd = makeCity(9, "ｶﾀｶﾅ市", {{"甲", -5, 32767, "長い説明"}, {"乙", 0, -32768, ""}});
    odd.KyuTextLen[0] = "12345";  // slot 0 and slots above KyuSu still move KyuSu
    odd.KyuTextLen[7] = "99";
    odd.Memo[0] = "使わない欄";
    // 空町: one old municipality with no description
    const City cities[] = {makeCity(1, "一町", {{"一町", 1, 2, "説明"}}), makeCity(2, "空町", {{"空町", 0, 0, ""}}),
                           makeCity(3, "多町", many), odd};
    for (const City& c : cities) {
        const std::string bytes = c.encode("test");
        const City whole = City::decode(bytes, "test");
        const City part = City::decode(bytes, "test", CityFields::Lists);
        EXPECT_EQ(part.KyuSu, whole.KyuSu) << c.RecNo;
        EXPECT_EQ(part.KenNo, whole.KenNo);
        const CityRow a = makeCityRow(part), b = makeCityRow(whole);
        EXPECT_EQ(a.recNo, b.recNo);
        EXPECT_EQ(a.name12, b.name12);
        EXPECT_EQ(std::tie(a.Menseki, a.Jinko, a.Jigyosyo, a.Jugyoin, a.Kogyo, a.Syogyo, a.minryoku),
                  std::tie(b.Menseki, b.Jinko, b.Jigyosyo, b.Jugyoin, b.Kogyo, b.Syogyo, b.minryoku));
        ASSERT_EQ(a.old.size(), b.old.size());
        for (std::size_t k = 0; k < a.old.size(); ++k) {
            EXPECT_EQ(a.old[k].name, b.old[k].name) << k;
            EXPECT_EQ(std::tie(a.old[k].x, a.old[k].y), std::tie(b.old[k].x, b.old[k].y)) << k;
            EXPECT_EQ(a.old[k].description, b.old[k].description) << k;
            EXPECT_EQ(a.old[k].descriptionLength, b.old[k].descriptionLength) << k;
        }
        EXPECT_EQ(cityListEntry(part), cityListEntry(whole));

        // without the descriptions: the same fields, the descriptions empty
        const City lean = City::decode(bytes, "test", CityFields::Lists, Descriptions::Skip);
        EXPECT_EQ(lean.KyuSu, whole.KyuSu);
        EXPECT_EQ(lean.CityName, whole.CityName);
        for (int k = 1; k <= whole.KyuSu; ++k) {
            EXPECT_EQ(lean.KyuNames[k], whole.KyuNames[k]) << k;
            EXPECT_EQ(std::tie(lean.KyuX[k], lean.KyuY[k]), std::tie(whole.KyuX[k], whole.KyuY[k])) << k;
            EXPECT_EQ(lean.KyuTextLen[k], whole.KyuTextLen[k]) << k;
            EXPECT_EQ(lean.KyuText[k], "") << k;
        }
    }

    // broken records fail as the whole decode does
    std::string tooMany = cities[0].encode("test");
    tooMany[8074 + 1] = 26;  // KyuSu after one length byte ("2" of "説明")
    std::string overrun = cities[0].encode("test");
    overrun[8022] = '\x7F';  // slot 0 claims 32639 bytes
    std::string badText = cities[0].encode("test");
    badText[898 + 20] = '\x81';  // half a character at the end of old name 1
    badText[898 + 21] = '\x00';
    for (const std::string& broken : {tooMany, overrun, badText, cities[0].encode("test").substr(0, 5000)}) {
        EXPECT_THROW(City::decode(broken, "test"), FileError);
        EXPECT_THROW(City::decode(broken, "test", CityFields::Lists), FileError);
        EXPECT_THROW(City::decode(broken, "test", CityFields::Lists, Descriptions::Skip), FileError);
    }
}

// The lists' values read straight from the file are the ones made from the
// records, across several blocks of records, and a broken or out-of-range
// record fails with the same message.
TEST(MapPrefecture, ListValuesReadStraightAgreeWithTheRecords) {
    std::vector<OldSpec> many;
    for (int k = 1; k <= City::kMaxOld; ++k) many.push_back({"旧" + std::to_string(k), k * 10, k * 20, std::to_string(k)});
    std::vector<City> cities;
    for (int r = 1; r <= 19; ++r) {
        std::vector<OldSpec> old;
        for (int k = 0; k < 1 + r % 4; ++k) old.push_back({"村" + std::to_string(r * 10 + k), r * 100 + k, r * 50 - k, "説明"});
        cities.push_back(makeCity(r, r % 3 ? "町" + std::to_string(r) : " ｶﾀｶﾅ市　", old));
    }
    cities.push_back(makeCity(20, "多町", many));
    City odd = makeCity(21, "長い名前の市町村です長い名前の市町村", {{"甲", -5, 32767, "長い説明"}, {"乙", 0, -32768, ""}});
    odd.KyuTextLen[0] = "12345";
    odd.KyuTextLen[2] = "x9";
    cities.push_back(odd);

    TempProgramFolder folder;
    writeCities(folder.folders(), cities);
    PosixIo io;
    for (const auto& [start, end] : std::vector<std::pair<int, int>>{{1, 21}, {2, 9}, {9, 9}, {17, 21}, {5, 4}}) {
        const KenHani ken = range("県", start, end);
        const PrefectureCities want = prefectureCities(readCities(io, folder.folders(), ken, Descriptions::Skip));
        const PrefectureCities got = readPrefectureCities(io, folder.folders(), ken);
        EXPECT_EQ(got.entries, want.entries) << start;
        ASSERT_EQ(got.rows.size(), want.rows.size()) << start;
        for (std::size_t r = 0; r < want.rows.size(); ++r) {
            const CityRow &a = got.rows[r], &b = want.rows[r];
            EXPECT_EQ(std::tie(a.recNo, a.name12, a.kyuSu, a.minryoku), std::tie(b.recNo, b.name12, b.kyuSu, b.minryoku)) << r;
            EXPECT_EQ(std::tie(a.Menseki, a.Jinko, a.Jigyosyo, a.Jugyoin, a.Kogyo, a.Syogyo),
                      std::tie(b.Menseki, b.Jinko, b.Jigyosyo, b.Jugyoin, b.Kogyo, b.Syogyo)) << r;
            ASSERT_EQ(a.old.size(), b.old.size()) << r;
            for (std::size_t k = 0; k < a.old.size(); ++k)
                EXPECT_EQ(std::tie(a.old[k].name, a.old[k].x, a.old[k].y, a.old[k].description, a.old[k].descriptionLength),
                          std::tie(b.old[k].name, b.old[k].x, b.old[k].y, b.old[k].description, b.old[k].descriptionLength))
                    << r << " " << k;
        }
        ASSERT_EQ(got.circles.size(), want.circles.size()) << start;
        for (std::size_t i = 0; i < want.circles.size(); ++i)
            EXPECT_EQ(std::tie(got.circles[i].cityName, got.circles[i].oldName, got.circles[i].x, got.circles[i].y),
                      std::tie(want.circles[i].cityName, want.circles[i].oldName, want.circles[i].x, want.circles[i].y))
                << i;
    }

    // Record 11 broken in turn: each way fails, with the message the records give.
    const std::string good = cities[10].encode("test");
    auto broken = [&](std::size_t at, std::string bytes) {
        std::string b = good;
        b.replace(at, bytes.size(), bytes);
        return b;
    };
    City huge = cities[10];
    huge.Kogyo = 2147483647;  // with Syogyo: the sum leaves 32 bits
    const std::string cases[] = {
        broken(8022, "\x7F"),            // slot 0's length overruns the record
        broken(8022 + 2 * City::kSlots + 3, "\x1A"),  // KyuSu 26 (after three one-byte lengths)
        broken(898 + 20, {'\x81', '\0'}),            // half a character in old name 1
        broken(28, {'\x81', '\0'}),                  // and in the name
        huge.encode("test"),
    };
    const auto file = folder.folders().cityRecords();
    const std::string whole = readBytes(file);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        std::string bytes = whole;
        bytes.replace(10 * City::kLength, City::kLength, cases[i]);
        writeBytes(file, bytes);
        std::string want, got;
        try {
            (void)readCities(io, folder.folders(), range("県", 1, 21), Descriptions::Skip);
        } catch (const FileError& e) {
            want = e.what();
        }
        try {
            (void)readPrefectureCities(io, folder.folders(), range("県", 1, 21));
        } catch (const FileError& e) {
            got = e.what();
        }
        EXPECT_NE(want, "") << i;
        EXPECT_NE(want.find("11件目"), std::string::npos) << want;
        EXPECT_EQ(got, want) << i;
    }
    // a file shorter than the range, and a missing one
    writeBytes(file, whole.substr(0, 20 * City::kLength));
    EXPECT_THROW(readPrefectureCities(io, folder.folders(), range("県", 1, 21)), FileError);
    std::filesystem::remove(file);
    EXPECT_THROW(readPrefectureCities(io, folder.folders(), range("県", 1, 21)), FileError);
    EXPECT_FALSE(std::filesystem::exists(file));
}

// ------------------------------------------------------------- the texts

TEST(MapProfile, StatisticsText) {
    CityRow row;
    row.Jinko = 123456;
    row.Menseki = 78;
    row.Jigyosyo = 5000;
    row.Jugyoin = 40000;
    row.Kogyo = 1200;
    row.Syogyo = 3400;
    EXPECT_EQ(statisticsText(row),
              "\u3000人口：123456人\u3000面積：78平方ｋｍ\u3000人口密度：1583\u3000事業所数：5000所"
              "\u3000従業員数：40000人\u3000工業出荷額：1200億円\u3000商業販売額：3400億円");

    for (auto [jinko, menseki] : {std::pair{0, 78}, std::pair{123456, 0}}) {
        row.Jinko = jinko;
        row.Menseki = menseki;
        auto s = statisticsText(row);
        EXPECT_NE(s.find("\u3000人口密度：－\u3000事業所数："), std::string::npos) << s;
    }
}

TEST(MapProfile, HeaderCutsTheNameToSevenAndKeepsItCut) {
    struct Case {
        std::string name, shown;
    };
    const Case cases[] = {
        {"三文字", "三文字    "},
        {"ななもじのなまえ", "ななもじのなま"},
        {"ｱｲｳｴｵｶｷｸｹｺｻｼ", "ｱｲｳｴｵｶｷ"},  // 12 characters
        {"", "       "},
        {"  北町", "北町     "},  // trimmed on both sides before the cut
    };
    for (const auto& c : cases) {
        CityRow row = makeCityRow(makeCity(1, c.name, {{"旧町", 1, 1, ""}}));
        row.minryoku = 494;
        const std::string expected = c.shown + "\u3000民力：494";
        EXPECT_EQ(headerText(row), expected) << c.name;
        EXPECT_EQ(row.name12, pad(c.shown, 12)) << c.name;
        EXPECT_EQ(headerText(row), expected) << "second time: " << c.name;
    }
}

TEST(MapProfile, NonMergedMunicipalityShowsOneLineAndOneMark) {
    City c = makeCity(7, "一町", {{"一町", 1234, 2345, "海辺の町"}});
    CityRow row = makeCityRow(c);
    EXPECT_EQ(oldTownList(row, kMapOldNameWidth), "\r\n1 " + pad("一町", 12) + "海辺の町\r\n");
    auto marks = numberMarks(row);
    ASSERT_EQ(marks.size(), 1u);
    EXPECT_EQ(marks[0].number, 1);
    EXPECT_DOUBLE_EQ(marks[0].x, 1134);
    EXPECT_DOUBLE_EQ(marks[0].y, 2245);
}

TEST(MapProfile, OldTownNamesAndDescriptionsAreCut) {
    const std::string ten = "あいうえおかきくけこ";
    const std::string longName = "ｲﾁﾆｻﾝｼｺﾞﾛｸｼﾁﾊﾁｸｼﾞ";  // 17 half-width characters: 17 of the 20 bytes
    City c = makeCity(1, "合併市", {{ten, 10, 20, "説明一"}, {longName, 30, 40, "説明二は長い"}, {"短", 50, 60, "三"}});
    c.KyuTextLen[2] = "3";    // the stored length cuts the second description
    c.KyuTextLen[3] = "900";  // longer than the text: the whole text as kept (200 characters)
    struct Case {
        int width;
        std::string list;
    };
    const Case cases[] = {
        {kMapOldNameWidth, "\r\n1 " + ten + "  説明一\r\n2 ｲﾁﾆｻﾝｼｺﾞﾛｸｼﾁ説明二\r\n3 " + pad("短", 12) + pad("三", 200) + "\r\n"},
        {kGameOldNameWidth, "\r\n1 あいうえおかきく説明一\r\n2 ｲﾁﾆｻﾝｼｺﾞ説明二\r\n3 " + pad("短", 8) + pad("三", 200) + "\r\n"},
    };
    for (const auto& k : cases) {
        CityRow row = makeCityRow(c);
        EXPECT_EQ(oldTownList(row, k.width), k.list) << k.width;
        EXPECT_EQ(oldTownList(row, k.width), k.list) << "again " << k.width;  // the cuts stored back hold
        EXPECT_EQ(row.old[1].name, pad(leftChars(longName, static_cast<std::size_t>(k.width)), 20));

        // reading the records again undoes the cuts
        std::vector<CityRow> rows{row};
        refreshOldTowns(rows, {c});
        EXPECT_EQ(rows[0].old[1].name, pad(longName, 20));
        EXPECT_EQ(rows[0].old[1].description, pad("説明二は長い", 200));
    }
    auto marks = numberMarks(makeCityRow(c));
    ASSERT_EQ(marks.size(), 3u);
    EXPECT_EQ(marks[2].number, 3);
    EXPECT_DOUBLE_EQ(marks[2].x, -50);
    EXPECT_DOUBLE_EQ(marks[2].y, -40);
}

TEST(MapProfile, DescriptionLengthThatIsNotANumberShowsNothing) {
    City c = makeCity(1, "町", {{"町", 1, 1, "説明"}});
    c.KyuTextLen[1] = "";
    CityRow row = makeCityRow(c);
    EXPECT_EQ(row.old[0].descriptionLength, 0);
    EXPECT_EQ(oldTownList(row, 12), "\r\n1 " + pad("町", 12) + "\r\n");
}

// ---------------------------------------------------------- hit-testing

TEST(MapPointer, HitSquareIs60TwipsEitherWay) {
    const std::vector<Circle> circles = {{pad("市", 20), pad("村", 20), 1000, 2000}};
    struct Case {
        double dx, dy;
        bool hit;
    };
    const Case cases[] = {
        {0, 0, true},     {60, 60, true},   {-60, -60, true}, {60, -60, true},  {59.5, 0, true},
        {61, 0, false},   {0, 61, false},   {-61, 0, false},  {0, -61, false},  {60.5, 60, false},
        {61, 61, false},
    };
    for (const auto& c : cases) {
        auto h = hitTest(circles, 1000 + c.dx, 2000 + c.dy);
        EXPECT_EQ(h.has_value(), c.hit) << c.dx << "," << c.dy;
    }
    EXPECT_FALSE(hitTest({}, 0, 0).has_value());
}

TEST(MapPointer, OverlappingSquaresGoToTheCircleDrawnFirst) {
    const std::vector<Circle> circles = {
        {pad("遠市", 20), pad("遠村", 20), 5000, 5000},
        {pad("一市", 20), pad("一村", 20), 1000, 1000},
        {pad("二市", 20), pad("二村", 20), 1050, 1050},
    };
    EXPECT_EQ(hitTest(circles, 1040, 1040), 1u);  // both squares hold it; the earlier one wins
    EXPECT_EQ(hitTest(circles, 1100, 1100), 2u);  // only the later one
    EXPECT_EQ(hitTest(circles, 4950, 5060), 0u);
}

TEST(MapPointer, NameUnderThePointer) {
    struct Case {
        std::string city, old, shown;
    };
    const Case cases[] = {
        {"一町", "一町", pad("一町", 20)},                             // did not merge: the name alone
        {"三市", "甲村", pad("甲村", 10) + "現\u3000" + pad("三市", 20)},  // merged: old, 現, present
        // names that differ only after the tenth character count as the same
        {"あいうえおかきくけこ市", "あいうえおかきくけこ村", pad("あいうえおかきくけこ市", 20)},
        {"ｱｲｳｴｵｶｷｸｹｺｼ", "ｱｲｳｴｵｶｷｸｹｺﾑﾗ", pad("ｱｲｳｴｵｶｷｸｹｺｼ", 20)},
        {"新市", "ｱｲｳｴｵｶｷｸｹｺﾑﾗ", "ｱｲｳｴｵｶｷｸｹｺ現\u3000" + pad("新市", 20)},
    };
    for (const auto& c : cases) EXPECT_EQ(pointerName(Circle{pad(c.city, 20), pad(c.old, 20), 0, 0}), c.shown) << c.old;
}
