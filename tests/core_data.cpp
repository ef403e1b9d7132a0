// SPDX-License-Identifier: GPL-3.0-or-later
// Municipality values, the prefecture range file and the visit game's state files.
#include <gtest/gtest.h>

#include "core/files/cp932.h"
#include "core/files/error.h"
#include "core/files/prefectures.h"
#include "core/files/record_file.h"
#include "core/files/visit_state.h"
#include "support/temp_folder.h"

using namespace tabinowa;
using namespace tabinowa::testing;

namespace {

City cityWith(std::int32_t jinko, std::int32_t menseki, std::int32_t jigyosyo, std::int32_t jugyoin,
              std::int32_t kogyo, std::int32_t syogyo) {
    City c = City::zeroed();
    c.Jinko = jinko;
    c.Menseki = menseki;
    c.Jigyosyo = jigyosyo;
    c.Jugyoin = jugyoin;
    c.Kogyo = kogyo;
    c.Syogyo = syogyo;
    return c;
}

std::string rangeLines(int lines, int homonAt13 = 0) {
    std::string text;
    for (int i = 1; i <= lines; ++i) {
        int start = (i - 1) * 10 + 1;
        text += std::to_string(i) + ",0,\"県" + std::to_string(i) + "\"," + std::to_string(start) + "," +
                std::to_string(start + 9) + "," + std::to_string(i == 13 ? homonAt13 : i % 3) + "\n";
    }
    return sjisLines(text);
}

std::vector<std::string> splitLines(const std::string& s) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t p; (p = s.find("\r\n", start)) != std::string::npos; start = p + 2) out.push_back(s.substr(start, p - start));
    return out;
}

}  // namespace

TEST(Minryoku, Examples) {
    struct Case {
        std::int32_t jinko;
        std::int32_t expected;
    };
    // 50 km², 400 establishments, 3,000 employees, 100 + 200 億円
    const Case cases[] = {{10000, 494}, {9500, 505}, {8500, 530}};
    for (const auto& c : cases) EXPECT_EQ(minryoku(cityWith(c.jinko, 50, 400, 3000, 100, 200)), c.expected) << c.jinko;
    // A municipality with no residents (双葉町, 2020): the employees term is 0, not a division by zero.
    EXPECT_EQ(minryoku(cityWith(0, 51, 150, 800, 5, 0)), 0 + 0 + 51 + 0 + 0 + 2);
    EXPECT_THROW(minryoku(cityWith(0, 0, 0, 0, 2147483647, 10)), FileError);
}

TEST(Minryoku, Density) {
    EXPECT_EQ(density(123456, 78), 1583);
    EXPECT_EQ(density(17, 2), 8);  // 8.5 -> 8
    EXPECT_EQ(density(19, 2), 10);
    EXPECT_FALSE(density(0, 50).has_value());
    EXPECT_FALSE(density(1000, 0).has_value());
}

TEST(RangeFile, ListEntriesMarkCompletePrefectures) {
    KenHani k;
    k.KenName = Value::text("青森県");
    k.StartRec = Value::number(41);
    k.EndRec = Value::number(52);
    struct Case {
        Value homon;
        const char* expected;
    };
    const Case cases[] = {{Value::number(12), "済　青森県"}, {Value::number(11), "　　青森県"}, {Value(), "　　青森県"}};
    for (const auto& c : cases) {
        k.HomonSu = c.homon;
        EXPECT_EQ(k.listEntry(), c.expected);
    }
}

TEST(RangeFile, RewriteWithResetAndAfterAVisit) {
    TempProgramFolder tmp;
    auto f = tmp.folders();
    PosixIo io;
    writeBytes(f.rangeFile(), rangeLines(47, 4));
    const std::string original = readBytes(f.rangeFile());
    auto table = readRanges(io, f);
    ASSERT_EQ(table.size(), 47u);
    EXPECT_EQ(table[12].name(), "県13");

    rewriteRanges(io, f, table, false);
    EXPECT_EQ(readBytes(f.rangeFile()), original);  // what was read is written back unchanged

    table[12].HomonSu = Value::number(table[12].homonSu() + 1);
    rewriteRanges(io, f, table, false);
    auto before = splitLines(original), after = splitLines(readBytes(f.rangeFile()));
    ASSERT_EQ(after.size(), 47u);
    for (std::size_t i = 0; i < 47; ++i) {
        if (i == 12) EXPECT_EQ(after[i], "13,0,\"" + toCp932("県13", "t") + "\",121,130,5");
        else EXPECT_EQ(after[i], before[i]);
    }

    rewriteRanges(io, f, table, true);
    for (const auto& k : readRanges(io, f)) EXPECT_EQ(k.homonSu(), 0);
    EXPECT_TRUE(readRanges(io, f)[0].KenName.isText());
}

TEST(RangeFile, OtherLineCountsKeepTheirRowsOrAreRefused) {
    TempProgramFolder tmp;
    auto f = tmp.folders();
    PosixIo io;
    writeBytes(f.rangeFile(), rangeLines(3));
    auto table = readRanges(io, f);
    rewriteRanges(io, f, table, true);
    EXPECT_EQ(splitLines(readBytes(f.rangeFile())).size(), 3u);  // never padded with empty lines

    writeBytes(f.rangeFile(), rangeLines(49));
    const std::string tooLong = readBytes(f.rangeFile());
    EXPECT_THROW(readRanges(io, f), FileError);
    EXPECT_EQ(readBytes(f.rangeFile()), tooLong);
}

TEST(PointFile, WrittenByTheLinePrinterAndReadBack) {
    TempProgramFolder tmp;
    auto f = tmp.folders();
    PosixIo io;
    struct Case {
        std::int32_t total;
        const char* bytes;
    };
    const Case cases[] = {{1500, " 1500\r\n"}, {0, " 0\r\n"}, {-20, "-20\r\n"}, {2147483647, " 2147483647\r\n"}};
    for (const auto& c : cases) {
        writePoints(io, f, c.total);
        EXPECT_EQ(readBytes(f.pointFile()), c.bytes);
        EXPECT_EQ(readPoints(io, f), c.total);
    }
}

TEST(PointFile, BadPointFiles) {
    TempProgramFolder tmp;
    auto f = tmp.folders();
    PosixIo io;
    EXPECT_THROW(readPoints(io, f), FileError);  // missing
    writeBytes(f.pointFile(), "");
    EXPECT_THROW(readPoints(io, f), FileError);  // empty: end of file
    // anything but one number is damage, never read as 0 (and written over at the next right answer)
    for (const char* bad : {"abc\r\n", " 1200\r\n 500\r\n", " 1200 pt\r\n"}) {
        writeBytes(f.pointFile(), bad);
        EXPECT_THROW(readPoints(io, f), FileError) << bad;
    }
    writeBytes(f.pointFile(), " 9999999999\r\n");
    EXPECT_THROW(readPoints(io, f), FileError);
}

TEST(VisitMarks, SetVisitedAndReset) {
    TempProgramFolder tmp;
    auto f = tmp.folders();
    PosixIo io;
    {
        RecordFile marks(io, f.visitMarks(), Homon::kLength);
        for (int n = 1; n <= 1800; ++n) {
            Homon h;
            h.HomonRec1 = h.HomonRec2 = static_cast<std::int16_t>(n);
            marks.put(n, h.encode());
        }
    }
    const std::string fresh = readBytes(f.visitMarks());
    setVisited(io, f, 12);
    std::string now = readBytes(f.visitMarks());
    for (std::size_t i = 0; i < now.size(); ++i) {
        if (i == 66) continue;
        EXPECT_EQ(now[i], fresh[i]) << i;
    }
    EXPECT_EQ(now[66], 1);
    EXPECT_TRUE(readMark(io, f, 12));
    EXPECT_FALSE(readMark(io, f, 13));
    EXPECT_FALSE(readMark(io, f, 5000));

    setVisited(io, f, 1800);
    writeBytes(f.visitMarks(), readBytes(f.visitMarks()) + "xyz");  // a partial record stays as it is
    resetMarks(io, f);
    EXPECT_EQ(readBytes(f.visitMarks()), fresh + "xyz");
}

TEST(VisitMarks, AMissingFileCountsAsNothingVisited) {
    TempProgramFolder tmp;
    auto f = tmp.folders();
    PosixIo io;
    EXPECT_FALSE(readMark(io, f, 3));
    setVisited(io, f, 3);  // the visit creates the record it sets
    EXPECT_EQ(readBytes(f.visitMarks()).size(), 18u);
    EXPECT_TRUE(readMark(io, f, 3));
}
