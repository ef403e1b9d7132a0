// SPDX-License-Identifier: GPL-3.0-or-later
// Checks of the shipped municipality master (作業ファイル/市町村.csv) and
// prefecture data (file1/都道府県データ.csv): shape, every municipality and old
// municipality exactly once in its place, statistics, descriptions within what
// the program keeps; with the raw data at hand, the figures re-derived from it
// and the pipeline run again to the same bytes.
#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/build/builds.h"
#include "core/base/random.h"
#include "core/session/session.h"
#include "core/files/cp932.h"
#include "core/files/io.h"
#include "core/files/records.h"
#include "support/master_file.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

const fs::path kRepo = fs::path(TABINOWA_SOURCE_DIR);
const fs::path kRaw = kRepo / ".." / "shared" / "data";

fs::path u8(const std::string& s) { return fs::path(std::u8string(s.begin(), s.end())); }

std::string readBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

using Field = tabinowa::testing::MasterField;
using Line = tabinowa::testing::MasterLine;
using tabinowa::testing::readMaster;

long long num(const Field& f) {
    long long v = 0;
    auto [p, ec] = std::from_chars(f.text.data(), f.text.data() + f.text.size(), v);
    if (ec != std::errc() || p != f.text.data() + f.text.size() || f.quoted) {
        ADD_FAILURE() << "not a bare integer: '" << f.text << "'";
        return -999999;
    }
    return v;
}

// Hiragana only (the long vowel mark included), not empty.
bool isHiragana(const std::string& s) {
    if (s.empty()) return false;
    for (std::size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if ((c & 0xF0) != 0xE0 || i + 2 >= s.size()) return false;
        char32_t cp = ((c & 0x0F) << 12) | ((static_cast<unsigned char>(s[i + 1]) & 0x3F) << 6) |
                      (static_cast<unsigned char>(s[i + 2]) & 0x3F);
        if (!((cp >= 0x3041 && cp <= 0x309F) || cp == 0x30FC)) return false;
        i += 3;
    }
    return true;
}

std::size_t cp932Bytes(const std::string& s) { return tabinowa::toCp932(s, "test").size(); }

// The description as the program joins master fields 25..37.
std::string description(const Line& l, bool oldRow) {
    std::string s;
    for (int i = 24; i <= 36; ++i) {
        if (i > 24 && (oldRow || i != 34)) s += "\u3000";
        s += l[static_cast<std::size_t>(i)].text;
    }
    return s;
}

struct Present {
    const Line* row = nullptr;
    std::vector<const Line*> olds;  // old-municipality rows after it
    int code() const { return std::stoi((*row)[0].text); }
    const std::string& name() const { return (*row)[6].text; }
    bool merged() const { return (*row)[5].text.empty(); }
};

class Master : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        lines_ = new std::vector<Line>(readMaster(kRepo / "data" / u8("作業ファイル") / u8("市町村.csv")));
        prefs_ = new std::vector<Line>(readMaster(kRepo / "data" / "file1" / u8("都道府県データ.csv")));
        presents_ = new std::vector<Present>();
        for (std::size_t i = 1; i < lines_->size(); ++i) {
            const Line& l = (*lines_)[i];
            if (l.size() != 43) continue;
            if (l[4].text == "0") presents_->push_back(Present{&l, {}});
            else if (!presents_->empty()) presents_->back().olds.push_back(&l);
        }
    }
    static void TearDownTestSuite() {
        delete lines_;
        delete prefs_;
        delete presents_;
    }
    const Present* find(const std::string& name, int pref) const {
        for (const auto& p : *presents_)
            if (p.name() == name && std::stoi((*p.row)[1].text) == pref) return &p;
        return nullptr;
    }
    static std::vector<Line>* lines_;
    static std::vector<Line>* prefs_;
    static std::vector<Present>* presents_;
};
std::vector<Line>* Master::lines_ = nullptr;
std::vector<Line>* Master::prefs_ = nullptr;
std::vector<Present>* Master::presents_ = nullptr;

TEST_F(Master, EveryLineHas43FieldsOfTheRightForm) {
    ASSERT_GT(lines_->size(), 1u);
    const std::set<int> numeric = {2, 3, 4, 5, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24};
    const std::set<int> alwaysEmpty = {10, 11, 12, 13, 14, 43};
    for (std::size_t i = 0; i < lines_->size(); ++i) {
        const Line& l = (*lines_)[i];
        ASSERT_EQ(l.size(), 43u) << "line " << i + 1;
        if (i == 0) {
            for (const auto& f : l) EXPECT_TRUE(f.quoted && !f.text.empty()) << "header field " << f.text;
            continue;
        }
        for (int c = 1; c <= 43; ++c) {
            const Field& f = l[static_cast<std::size_t>(c - 1)];
            if (numeric.count(c)) num(f);
            else if (alwaysEmpty.count(c)) EXPECT_TRUE(f.text.empty() && !f.quoted) << "line " << i + 1 << " field " << c;
            else EXPECT_TRUE(f.quoted || f.text.empty()) << "line " << i + 1 << " field " << c << " " << f.text;
        }
        EXPECT_EQ(l[0].text.size(), 5u) << "line " << i + 1;
        int code = std::stoi(l[0].text);
        EXPECT_EQ(num(l[3]), code % 1000) << "line " << i + 1;
        long long kind = num(l[2]);
        EXPECT_TRUE(kind == 2 || kind == 4 || kind == 5 || kind == 6) << "line " << i + 1;
        long long x = num(l[14]), y = num(l[15]);
        EXPECT_TRUE(x >= 0 && x <= 7575 && y >= 0 && y <= 7545) << "dot off the picture, line " << i + 1;
        long long pref = num(l[1]);
        EXPECT_TRUE(pref >= 1 && pref <= 47);
        EXPECT_EQ(pref, code / 1000) << "line " << i + 1;
    }
}

TEST_F(Master, EveryPresentMunicipalityOnceInPrefectureAndCodeOrder) {
    ASSERT_EQ(presents_->size(), 1741u);
    std::set<int> codes;
    std::pair<long long, int> last{0, 0};
    int wards = 0;
    for (const auto& p : *presents_) {
        int code = p.code();
        EXPECT_TRUE(codes.insert(code).second) << "twice: " << code;
        std::pair<long long, int> key{num((*p.row)[1]), code};
        EXPECT_LT(last, key) << "out of order at " << code;
        last = key;
        if (num((*p.row)[2]) == 4) ++wards;
        EXPECT_FALSE(code >= 1695 && code <= 1700) << "Northern Territories village " << code;
        EXPECT_EQ(p.name(), (*p.row)[6].text);
        const std::string& kana = (*p.row)[7].text;
        EXPECT_TRUE(isHiragana(kana)) << code << " reading " << kana;
    }
    EXPECT_EQ(wards, 23);  // Tokyo's special wards; designated cities count as one city
    EXPECT_TRUE(codes.count(1100));   // 札幌市
    EXPECT_FALSE(codes.count(1101));  // 札幌市中央区 is a ward of a designated city
    EXPECT_TRUE(codes.count(13101));  // 千代田区
    EXPECT_TRUE(codes.count(14100));  // 横浜市
}

TEST_F(Master, OldMunicipalitiesFollowTheirPresentMunicipality) {
    std::set<int> oldCodes;
    std::map<std::string, int> kinds;
    int mergedCount = 0;
    std::size_t most = 0;
    for (const auto& p : *presents_) {
        if (p.merged()) {
            ++mergedCount;
            EXPECT_GE(p.olds.size(), 2u) << p.name() << ": a merged municipality absorbs two or more";
            EXPECT_EQ(num((*p.row)[22]), static_cast<long long>(p.olds.size())) << p.name();
        } else {
            EXPECT_TRUE(p.olds.empty()) << p.name();
            EXPECT_TRUE(oldCodes.insert(p.code()).second);
            const std::string& oldName = (*p.row)[5].text;
            ++kinds[oldName.substr(oldName.size() - 3)];
        }
        most = std::max(most, p.olds.size());
        for (const Line* o : p.olds) {
            EXPECT_TRUE(oldCodes.insert(std::stoi((*o)[0].text)).second) << "old twice: " << (*o)[5].text;
            EXPECT_FALSE((*o)[5].text.empty());
            EXPECT_EQ((*o)[6].text, p.name()) << "old row names another present municipality";
            EXPECT_EQ((*o)[7].text, (*p.row)[7].text);
            for (int c = 17; c <= 22; ++c) EXPECT_EQ(num((*o)[static_cast<std::size_t>(c - 1)]), 0);
            const std::string& name = (*o)[5].text;
            ++kinds[name.substr(name.size() - 3)];
        }
    }
    EXPECT_EQ(mergedCount, 590);
    EXPECT_EQ(oldCodes.size(), 3255u);  // 3,232 municipalities of 1999-03-31 and the 23 wards
    EXPECT_EQ(kinds["市"], 670);
    EXPECT_EQ(kinds["町"], 1994);
    EXPECT_EQ(kinds["村"], 568);
    EXPECT_EQ(kinds["区"], 23);
    EXPECT_LE(most, 25u);  // a record holds at most 25 old municipalities
}

TEST_F(Master, KnownMergersAreInPlace) {
    struct Case {
        const char* present;
        int pref;
        std::vector<std::string> olds;  // all of them, in master order
    };
    const std::vector<Case> cases = {
        {"函館市", 1, {"函館市", "戸井町", "恵山町", "椴法華村", "南茅部町"}},
        {"丹波篠山市", 28, {"篠山町", "西紀町", "丹南町", "今田町"}},  // 篠山市 was formed on 1999-04-01
        {"石狩市", 1, {"石狩市", "厚田村", "浜益村"}},
    };
    for (const auto& c : cases) {
        const Present* p = find(c.present, c.pref);
        ASSERT_NE(p, nullptr) << c.present;
        std::vector<std::string> names;
        for (const Line* o : p->olds) names.push_back((*o)[5].text);
        EXPECT_EQ(names, c.olds) << c.present;
    }
    const Present* niigata = find("新潟市", 15);
    ASSERT_NE(niigata, nullptr);
    EXPECT_EQ(niigata->olds.size(), 15u);

    // 山口村 of 長野県 joined 中津川市 of 岐阜県
    const Present* nakatsugawa = find("中津川市", 21);
    ASSERT_NE(nakatsugawa, nullptr);
    auto yamaguchi = std::find_if(nakatsugawa->olds.begin(), nakatsugawa->olds.end(),
                                  [](const Line* o) { return (*o)[5].text == "山口村"; });
    ASSERT_NE(yamaguchi, nakatsugawa->olds.end());
    EXPECT_EQ((**yamaguchi)[1].text, "20");

    // 豊野村 (熊本県) became a town only on 2000-07-01
    const Present* uki = find("宇城市", 43);
    ASSERT_NE(uki, nullptr);
    EXPECT_TRUE(std::any_of(uki->olds.begin(), uki->olds.end(), [](const Line* o) { return (*o)[5].text == "豊野村"; }));

    // a municipality that only took a new status keeps its 1999 name in field 6
    const Present* tomiya = find("富谷市", 4);
    ASSERT_NE(tomiya, nullptr);
    EXPECT_FALSE(tomiya->merged());
    EXPECT_EQ((*tomiya->row)[5].text, "富谷町");
}

TEST_F(Master, DescriptionsNamesAndMemosFitTheRecord) {
    for (std::size_t i = 1; i < lines_->size(); ++i) {
        const Line& l = (*lines_)[i];
        bool oldRow = l[4].text != "0";
        std::string d = description(l, oldRow);
        EXPECT_LE(tabinowa::charCount(d), 99u) << "line " << i + 1 << ": " << d;
        EXPECT_FALSE(l[24].text.empty()) << "line " << i + 1 << ": no reading in the description";
        EXPECT_LE(cp932Bytes(l[5].text), 20u) << "old name cut: " << l[5].text;
        EXPECT_LE(cp932Bytes(l[6].text), 20u) << "name cut: " << l[6].text;
        for (int c = 38; c <= 42; ++c)
            EXPECT_LE(cp932Bytes(l[static_cast<std::size_t>(c - 1)].text), 150u) << "line " << i + 1 << " memo " << c;
        if (oldRow) {
            // how and when it came into its present municipality
            EXPECT_NE(d.find("年"), std::string::npos) << "line " << i + 1 << ": " << d;
            EXPECT_TRUE(d.find("合併で") != std::string::npos || d.find("を編入") != std::string::npos)
                << "line " << i + 1 << ": " << d;
        }
    }
}

// Municipalities whose figure is missing from the e-Stat table (secret "X" in
// every year from 2011 on, or "-"): 0 in the master, listed in docs/DATA.md.
const std::set<int> kShipmentGaps = {1409,  1437,  1463,  1485,  1520,  2304,  2426,  2450,
                                     7446,  19442, 20305, 20412, 20414, 20429, 30427, 33586,
                                     33643, 39305, 43425, 46523, 47354, 47358};
const std::set<int> kSalesGaps = {7547, 13382};

TEST_F(Master, StatisticsArePresentExceptTheDocumentedGaps) {
    int zeroShipments = 0, zeroSales = 0;
    for (const auto& p : *presents_) {
        const Line& l = *p.row;
        int code = p.code();
        if (code != 7546) {  // 双葉町 had no residents in 2020
            EXPECT_GT(num(l[16]), 0) << p.name();
        }
        EXPECT_GE(num(l[17]), 1) << p.name();
        EXPECT_GT(num(l[18]), 0) << p.name();
        EXPECT_GT(num(l[19]), 0) << p.name();
        if (kShipmentGaps.count(code)) {
            EXPECT_EQ(num(l[20]), 0) << p.name();
        }
        if (kSalesGaps.count(code)) {
            EXPECT_EQ(num(l[21]), 0) << p.name();
        }
        if (num(l[20]) == 0 && !kShipmentGaps.count(code)) ++zeroShipments;
        if (num(l[21]) == 0 && !kSalesGaps.count(code)) ++zeroSales;
    }
    // A few have a true 0: no factory, evacuated after 2011, or less than
    // 50 百万円 (0 億円 when rounded). A lost column would show as hundreds.
    EXPECT_LT(zeroShipments, 40);
    EXPECT_LT(zeroSales, 20);
    const Present* sapporo = find("札幌市", 1);
    ASSERT_NE(sapporo, nullptr);
    EXPECT_EQ(num((*sapporo->row)[16]), 1973395);
}

TEST_F(Master, PrefectureDataMatchesTheMaster) {
    ASSERT_EQ(prefs_->size(), 47u);
    const std::map<int, std::string> capitals = {{1, "札幌市"},  {11, "さいたま市"}, {13, "新宿区"}, {21, "岐阜市"},
                                                 {24, "津市"},   {10, "前橋市"},    {46, "鹿児島市"}, {47, "那覇市"}};
    for (std::size_t i = 0; i < prefs_->size(); ++i) {
        const Line& l = (*prefs_)[i];
        ASSERT_EQ(l.size(), 8u);
        int pref = static_cast<int>(i + 1);
        EXPECT_EQ(num(l[0]), pref);
        EXPECT_TRUE(l[1].quoted && l[4].quoted);
        long long population = 0;
        int count = 0;
        bool capitalFound = false;
        for (const auto& p : *presents_) {
            if (num((*p.row)[1]) != pref) continue;
            population += num((*p.row)[16]);
            ++count;
            if (p.name() == l[4].text) capitalFound = true;
        }
        EXPECT_TRUE(capitalFound) << l[4].text << " is not a municipality of " << l[1].text;
        EXPECT_EQ(num(l[5]), population) << l[1].text;
        EXPECT_EQ(num(l[3]), count);
        EXPECT_EQ(num(l[7]), count);
        long long region = num(l[2]);
        EXPECT_TRUE(region >= 1 && region <= 8);
        EXPECT_GT(num(l[6]), 0);
        auto cap = capitals.find(pref);
        if (cap != capitals.end()) {
            EXPECT_EQ(l[4].text, cap->second) << l[1].text;
        }
    }
    EXPECT_EQ((*prefs_)[0][1].text, "北海道");
    EXPECT_EQ((*prefs_)[46][1].text, "沖縄県");
}

// ---- against the raw data --------------------------------------------------------

std::vector<std::vector<std::string>> rawCsv(const fs::path& p) {
    std::string text = readBytes(p);
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> row;
    std::string field;
    bool q = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (q) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') { field += '"'; ++i; }
            else if (c == '"') q = false;
            else field += c;
        } else if (c == '"') {
            q = true;
        } else if (c == ',') {
            row.push_back(field);
            field.clear();
        } else if (c == '\n' || c == '\r') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            row.push_back(field);
            field.clear();
            rows.push_back(row);
            row.clear();
        } else {
            field += c;
        }
    }
    if (!field.empty() || !row.empty()) { row.push_back(field); rows.push_back(row); }
    return rows;
}

long long halfEven(long long a, long long b) {
    long long q = a / b, r = a % b;
    if (2 * r > b || (2 * r == b && q % 2 == 1)) ++q;
    return q;
}

TEST_F(Master, FiguresAgreeWithTheRawData) {
    if (!fs::exists(kRaw / "ssdse_a_2026.csv")) GTEST_SKIP() << "raw data not present";
    auto ssdse = rawCsv(kRaw / "ssdse_a_2026.csv");
    ASSERT_GT(ssdse.size(), 3u);
    const auto& head = ssdse[0];
    auto col = [&](const char* name) {
        return static_cast<std::size_t>(std::find(head.begin(), head.end(), name) - head.begin());
    };
    std::size_t pop = col("A1101"), area = col("B1101"), est = col("C2108"), emp = col("C2208");
    std::map<int, const std::vector<std::string>*> byCode;
    for (std::size_t i = 3; i < ssdse.size(); ++i) byCode[std::stoi(ssdse[i][0].substr(1))] = &ssdse[i];

    // the e-Stat figures, latest year from 2011 on with a number
    std::map<std::pair<std::string, int>, std::map<int, std::string>> estat;
    for (const auto& r : rawCsv(kRaw / "estat_sales_shipments_2000_2018.csv"))
        if (r.size() == 4 && r[0] != "cat01_code") estat[{r[0], std::stoi(r[1])}][std::stoi(r[2].substr(0, 4))] = r[3];
    const std::map<int, int> renamed = {{4216, 4423}, {40231, 40305}};  // became cities after the table's codes
    auto figure = [&](const std::string& cat, int code) -> long long {
        std::map<int, std::string> years = estat[{cat, code}];
        if (renamed.count(code))
            for (const auto& [y, v] : estat[{cat, renamed.at(code)}]) years.emplace(y, v);
        for (auto it = years.rbegin(); it != years.rend() && it->first >= 2011; ++it)
            if (it->second != "X" && it->second != "-") return halfEven(std::stoll(it->second), 100);
        return 0;
    };

    ASSERT_EQ(byCode.size(), presents_->size());
    for (const auto& p : *presents_) {
        const Line& l = *p.row;
        auto it = byCode.find(p.code());
        ASSERT_NE(it, byCode.end()) << p.name();
        const auto& r = *it->second;
        EXPECT_EQ(r[2], p.name());
        EXPECT_EQ(num(l[16]), std::stoll(r[pop])) << p.name();
        long long km2 = halfEven(std::stoll(r[area]), 100);
        EXPECT_EQ(num(l[17]), std::max(km2, 1LL)) << p.name();
        EXPECT_EQ(num(l[18]), std::stoll(r[est])) << p.name();
        EXPECT_EQ(num(l[19]), std::stoll(r[emp])) << p.name();
        EXPECT_EQ(num(l[20]), figure("C3401", p.code())) << p.name();
        EXPECT_EQ(num(l[21]), figure("C3501", p.code())) << p.name();
        if (kShipmentGaps.count(p.code())) {
            EXPECT_EQ(figure("C3401", p.code()), 0) << p.name();
        }
    }
}

TEST_F(Master, NamesAndReadingsAgreeWithTheCodeList) {
    if (!fs::exists(kRaw / "municipality_codes_2024.csv")) GTEST_SKIP() << "raw data not present";
    std::map<int, std::pair<std::string, std::string>> list;  // code -> name, kana
    for (const auto& r : rawCsv(kRaw / "municipality_codes_2024.csv")) {
        if (r.size() != 6 || r[0] == "code5") continue;
        list[std::stoi(r[0])] = r[4].empty() ? std::make_pair(r[2], r[3]) : std::make_pair(r[4], r[5]);
    }
    for (const auto& p : *presents_) {
        auto it = list.find(p.code());
        ASSERT_NE(it, list.end()) << p.name();
        EXPECT_EQ(p.name(), it->second.first);
        EXPECT_EQ((*p.row)[7].text, it->second.second) << p.name();
    }
}

// The program's own builds take the shipped masters as they are: one record
// per present municipality with its old municipalities, and every question.
TEST_F(Master, TheProgramBuildsItsWorkingFilesFromTheShippedMasters) {
    tabinowa::testing::TempProgramFolder folder;
    tabinowa::PosixIo io;
    tabinowa::MtRandom random(1);
    tabinowa::Session session(folder.path(), io, random);
    const auto& f = session.folders;
    const fs::path data = kRepo / "data";
    fs::copy_file(data / u8("作業ファイル") / u8("市町村.csv"), f.cityMaster());
    fs::copy_file(data / u8("作業ファイル") / u8("問題.csv"), f.questionMaster());
    fs::copy_file(data / "file1" / u8("都道府県データ.csv"), f.prefectureData());

    EXPECT_EQ(tabinowa::buildCityFiles(session), "終了　1741");
    std::string records = readBytes(f.cityRecords());
    ASSERT_EQ(records.size(), 1741u * tabinowa::City::kLength);
    for (std::size_t i = 0; i < presents_->size(); ++i) {
        const Present& p = (*presents_)[i];
        auto c = tabinowa::City::decode(std::string_view(records).substr(i * tabinowa::City::kLength,
                                                                         tabinowa::City::kLength), "test");
        std::string name = c.CityName.substr(0, c.CityName.find_last_not_of(' ') + 1);
        EXPECT_EQ(name, p.name());
        EXPECT_EQ(c.KyuSu, static_cast<std::int16_t>(p.merged() ? p.olds.size() : 1)) << p.name();
        EXPECT_EQ(c.Jinko, num((*p.row)[16])) << p.name();
        for (int k = 1; k <= c.KyuSu; ++k) {
            // the description count the program keeps is that of the joined text
            const Line& row = p.merged() ? *p.olds[static_cast<std::size_t>(k - 1)] : *p.row;
            EXPECT_EQ(c.KyuTextLen[static_cast<std::size_t>(k)],
                      std::to_string(tabinowa::charCount(description(row, p.merged()))))
                << p.name() << " slot " << k;
        }
    }

    std::size_t questions = readMaster(data / u8("作業ファイル") / u8("問題.csv")).size();
    EXPECT_EQ(tabinowa::buildQuestionFile(session),
              std::to_string(questions) + "  " + std::to_string(questions) + "件　終了");
}

#ifdef TABINOWA_MAKE_DATA
// Two runs give the same bytes: the pipeline run again into a fresh folder
// reproduces every committed file.
TEST(Pipeline, RerunReproducesTheCommittedFilesByteForByte) {
    if (!fs::exists(kRaw / "ssdse_a_2026.csv")) GTEST_SKIP() << "raw data not present";
    QTemporaryDir out;
    ASSERT_TRUE(out.isValid());
    QProcess run;
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.start(QString::fromUtf8(TABINOWA_MAKE_DATA),
              {QString::fromStdString(kRaw.string()), out.path()});
    ASSERT_TRUE(run.waitForFinished(600000));
    ASSERT_EQ(run.exitCode(), 0) << run.readAll().toStdString();

    std::vector<fs::path> files = {u8("作業ファイル") / u8("市町村.csv"), u8("作業ファイル") / u8("問題.csv"),
                                   u8("作業ファイル") / u8("問題難度.csv"), fs::path("file1") / u8("都道府県データ.csv"),
                                   fs::path("file1") / u8("区域.dat")};
    for (int i = 1; i <= 47; ++i) files.push_back(fs::path("file1") / ("k" + std::to_string(i) + ".jpg"));
    const fs::path fresh = out.path().toStdString();
    for (const auto& f : files) {
        std::string a = readBytes(kRepo / "data" / f), b = readBytes(fresh / f);
        EXPECT_FALSE(b.empty()) << f;
        EXPECT_TRUE(a == b) << f << " differs from the committed file (" << a.size() << " / " << b.size()
                            << " bytes): run `make data`";
    }
}
#endif

}  // namespace
