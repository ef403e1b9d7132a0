// SPDX-License-Identifier: GPL-3.0-or-later
// A catalogue of bad inputs, one table: each row spoils one file of a sound
// program folder, drives the window that meets it (start-up, training, the
// map, the visit game, the environment window's builds) and states what the
// user sees: the Japanese message naming the file in that window's own label,
// or, where the input is accepted by design, the defined behaviour. Every row
// also compares every byte of the program folder before and after: nothing is
// changed unless the row names the file the action legitimately writes.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/session/session.h"
#include "core/files/cp932.h"
#include "core/files/database.h"
#include "core/files/records.h"
#include "core/quiz/memory.h"
#include "ui/display_scale.h"
#include "screens/frm2CityVisit.h"
#include "screens/frm2Doko.h"
#include "screens/frm2Tizu.h"
#include "screens/frm2Fukusyu.h"
#include "screens/frm2Sogo.h"
#include "screens/frm2Toukei.h"
#include "screens/frm1Main.h"
#include "screens/frm9Kankyo.h"
#include "screens/window_manager.h"
#include "support/fixed_random.h"
#include "support/folder_checks.h"
#include "support/game_fixture.h"
#include "support/picture.h"
#include "support/question_bank.h"
#include "support/temp_folder.h"

using namespace tabinowa;
using namespace tabinowa::testing;
namespace fs = std::filesystem;

namespace {

// ------------------------------------------------------- a sound folder ----

std::string questionLine(int n) {
    return "\"AB\"," + std::to_string(n) +
           ",,\"甲\",\"乙\",\"丙\",\"正解\",,,,\"解説\",\"\",\"\",\"\",,0,\"問題\",\"本文\"\n";
}

// 43 fields: a municipality that did not merge, in prefecture `ken`.
std::string cityLine(int ken, const std::string& name, const std::string& population = "10000") {
    std::map<int, std::string> f = {{2, std::to_string(ken)}, {3, "0"}, {4, "0"}, {5, "0"},
                                    {6, "\"" + name + "\""}, {7, "\"" + name + "\""}, {15, "100"}, {16, "200"},
                                    {17, population}, {18, "50"}, {19, "400"}, {20, "3000"}, {21, "100"},
                                    {22, "200"}, {23, "0"}, {24, "0"}};
    std::string line;
    for (int c = 1; c <= 43; ++c) line += (c > 1 ? "," : "") + (f.count(c) ? f[c] : std::string());
    return line + "\n";
}

std::string cityHeader() {
    std::string line;
    for (int c = 1; c <= 43; ++c) line += (c > 1 ? ",h" : "h") + std::to_string(c);
    return line + "\n";
}

std::string prefectureLines(int lines) {
    std::string text;
    for (int i = 1; i <= lines; ++i) text += std::to_string(i) + ",\"県" + std::to_string(i) + "\",0,0,1,2,3,4\n";
    return text;
}

// The program in use (six questions, fifteen municipalities: 県Ａ records
// 1..2, 県Ｂ 3..14, 県Ｃ 15; records 5 and 9 visited; 1200 points), a picture
// for each prefecture, and the three masters.
void writeProgram(const AppFolders& f) {
    writeProgramInUse(f);
    for (int k = 1; k <= 3; ++k) writeSmallPicture(f.picture(k));
    writeBytes(f.questionMaster(), sjisLines(questionLine(1) + questionLine(2) + questionLine(3)));
    writeBytes(f.cityMaster(), sjisLines(cityHeader() + cityLine(1, "甲町") + cityLine(2, "乙村")));
    writeBytes(f.prefectureData(), sjisLines(prefectureLines(47)));
}

// ------------------------------------------------------------ spoiling ----

std::string bytesOf(const fs::path& p) { return readBytes(p); }

void truncateTo(const fs::path& p, std::size_t size) { writeBytes(p, bytesOf(p).substr(0, size)); }

void patch(const fs::path& p, std::size_t offset, const std::string& bytes) {
    std::string b = bytesOf(p);
    b.replace(offset, bytes.size(), bytes);
    writeBytes(p, b);
}

std::string le16(std::int16_t v) {
    const auto u = static_cast<std::uint16_t>(v);
    return {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
}
std::string le32(std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    return {static_cast<char>(u & 0xFF), static_cast<char>((u >> 8) & 0xFF), static_cast<char>((u >> 16) & 0xFF),
            static_cast<char>(u >> 24)};
}

constexpr std::size_t kMondai = Mondai::kLength;
constexpr std::size_t kCity = City::kLength;
std::size_t mondaiAt(int record, std::size_t offset) { return (static_cast<std::size_t>(record) - 1) * kMondai + offset; }
std::size_t cityAt(int record, std::size_t offset) { return (static_cast<std::size_t>(record) - 1) * kCity + offset; }

// Where KyuSu of a municipality record lies: after the 26 variable-length description lengths.
std::size_t kyuSuOffset(const fs::path& cityFile, int record) {
    const std::string b = bytesOf(cityFile);
    std::size_t pos = cityAt(record, 8022);
    for (int k = 0; k < 26; ++k) {
        const int n = static_cast<unsigned char>(b[pos]) | (static_cast<unsigned char>(b[pos + 1]) << 8);
        pos += 2 + static_cast<std::size_t>(n);
    }
    return pos;
}

std::string rangeLines(int lines) {
    std::string text;
    for (int i = 1; i <= lines; ++i) text += std::to_string(i) + ",0,\"県" + std::to_string(i) + "\",1,1,0\n";
    return text;
}

// ------------------------------------------------------------- running ----

enum class Act {
    Start,          // the program starts: the main menu builds the deck
    Training,       // the main menu opens training
    TrainingNext,   // training: answer, then the next question
    Map,            // the main menu opens the map
    MapKen,         // the map: a prefecture chosen (pos)
    MapCity,        // the map: prefecture pos, then its first municipality
    Game,           // the main menu opens the visit game
    GameKen,        // the game: a prefecture chosen (pos)
    GameCity,       // the game: prefecture pos, then its first municipality
    GameStartOver,  // the game: start over
    Where,          // the main menu opens どこでしょう
    Review,         // the main menu opens the review
    Stats,          // the main menu opens the statistics
    QuestionBuild,  // the environment window: "ランダムファイル作成"
    CityBuild,      // the environment window: "市町村ランダムファイル作成"
};

struct Program {
    Program() { writeProgram(f); }
    ~Program() {
        windows.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    frm1Main& main() { return *windows->main(); }
    frm2Sogo& training() { return *windows->sogo(); }
    frm2Tizu& map() { return *static_cast<frm2Tizu*>(windows->window(WindowId::Tizu)); }
    frm2CityVisit& game() { return *static_cast<frm2CityVisit*>(windows->window(WindowId::CityVisit)); }
    frm9Kankyo& environment() { return *windows->kankyo(); }
    frm2Doko& where() { return *static_cast<frm2Doko*>(windows->window(WindowId::Doko)); }
    frm2Fukusyu& review() { return *static_cast<frm2Fukusyu*>(windows->window(WindowId::Review)); }
    frm2Toukei& stats() { return *static_cast<frm2Toukei*>(windows->window(WindowId::Stats)); }

    bool agreeToLoss = true;
    TempProgramFolder folder;
    AppFolders f = folder.folders();
    PosixIo io;
    FixedRandom random{{0.5}};  // the deck and the full bank in file order
    Session session{folder.path(), io, random};
    std::unique_ptr<WindowManager> windows = [this] {
        auto w = std::make_unique<WindowManager>(session, [] {});
        // the user agrees, and to a build's second question only where the row says so
        w->setConfirmer([this](ui::Form&, const std::string& q) {
            return agreeToLoss || q.find("それでも作り直しますか") == std::string::npos;
        });
        return w;
    }();
};

// Drives the action; a click that is not possible fails the row.
void run(Program& p, Act act, int pos) {
    p.windows->start();
    ASSERT_NE(p.windows->main(), nullptr);
    switch (act) {
        case Act::Start:
            // the menu drawn: its deck is built then
            for (int i = 0; i < 20 && p.session.deckPending; ++i) QCoreApplication::processEvents();
            return;
        case Act::Training:
        case Act::TrainingNext:
            ASSERT_TRUE(p.main().cmdSogo.click());
            ASSERT_NE(p.windows->sogo(), nullptr);
            if (act == Act::TrainingNext) {
                ASSERT_TRUE(p.training().cmdAns.click());
                ASSERT_TRUE(p.training().cmdAns.click());
            }
            return;
        case Act::Map:
        case Act::MapKen:
        case Act::MapCity:
            ASSERT_TRUE(p.main().cmdTizu.click());
            ASSERT_TRUE(p.windows->isLoaded(WindowId::Tizu));
            if (act != Act::Map) {
                ASSERT_TRUE(p.map().lstKen.clickItem(pos));
            }
            if (act == Act::MapCity) {
                ASSERT_TRUE(p.map().lstCity.clickItem(0));
            }
            return;
        case Act::Game:
        case Act::GameKen:
        case Act::GameCity:
        case Act::GameStartOver:
            ASSERT_TRUE(p.main().cmdCity.click());
            ASSERT_TRUE(p.windows->isLoaded(WindowId::CityVisit));
            if (act == Act::GameKen || act == Act::GameCity) {
                ASSERT_TRUE(p.game().lstKen.clickItem(pos));
            }
            if (act == Act::GameCity) {
                ASSERT_TRUE(p.game().lstCity.clickItem(0));
            }
            if (act == Act::GameStartOver) {
                ASSERT_TRUE(p.game().cmdStart0.click());
            }
            return;
        case Act::Where:
            ASSERT_TRUE(p.main().cmdDoko.click());
            ASSERT_TRUE(p.windows->isLoaded(WindowId::Doko));
            return;
        case Act::Review:
            ASSERT_TRUE(p.main().cmdFukusyu.click());
            ASSERT_TRUE(p.windows->isLoaded(WindowId::Review));
            return;
        case Act::Stats:
            ASSERT_TRUE(p.main().cmdToukei.click());
            ASSERT_TRUE(p.windows->isLoaded(WindowId::Stats));
            return;
        case Act::QuestionBuild:
        case Act::CityBuild:
            ASSERT_TRUE(p.main().mnuKankyo.click());
            ASSERT_NE(p.windows->kankyo(), nullptr);
            ASSERT_TRUE(act == Act::QuestionBuild ? p.environment().cmdStoR.click() : p.environment().cmdCity.click());
            return;
    }
}

// The label in which the window concerned writes what went wrong.
enum class Label { Status, Question, MapText, GameLine, GameProfile, Environment, WhereText, ReviewCount, StatsSummary };

ui::Label& label(Program& p, Label l) {
    switch (l) {
        case Label::Status: return p.main().lblStatus;
        case Label::Question: return p.training().lblQs;
        case Label::MapText: return p.map().lblVisit;
        case Label::GameLine: return p.game().lblMinryoku;
        case Label::GameProfile: return p.game().lblVist;
        case Label::Environment: return p.environment().lblMsg1;
        case Label::WhereText: return p.where().lblMsg;
        case Label::ReviewCount: return p.review().lblCount;
        case Label::StatsSummary: return p.stats().lblSummary;
    }
    return p.main().lblStatus;
}

std::string caption(Program& p, Label l) { return label(p, l).caption(); }

// The files that differ, by relative path.
std::set<std::string> changed(const Snapshot& a, const Snapshot& b) {
    std::set<std::string> out;
    for (const auto& [name, bytes] : a)
        if (!b.count(name) || b.at(name) != bytes) out.insert(name);
    for (const auto& [name, bytes] : b)
        if (!a.count(name)) out.insert(name);
    return out;
}

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

struct Row {
    const char* what;  // the file and its bad content
    std::function<void(const AppFolders&)> spoil;
    Act act;
    int pos;  // list position for the acts that choose one
    Label label;
    // Refused: the label names this file (or folder) and says each of `says`.
    // Accepted (empty): the label names no file, and `accepted` checks the defined behaviour.
    const char* names;
    std::vector<std::string> says;
    std::function<void(Program&)> accepted = {};
    std::set<std::string> writes = {};  // files the action legitimately writes
    bool declineLoss = false;           // a build's second question (what will be lost) answered no
};

// A file grown to `size` bytes without writing them (a sparse file).
void growTo(const fs::path& p, std::uintmax_t size) {
    if (!fs::exists(p)) writeBytes(p, "");
    fs::resize_file(p, size);
}

// Each record of the file made zero bytes, its size kept.
void zeroFill(const fs::path& p) { writeBytes(p, std::string(fs::file_size(p), '\0')); }

const std::string kUtf8Name = "\xE4\xB9\x99\xE6\x9D\x91";  // 乙村 in UTF-8

const char* const kQuestionRan = "file/問題.ran";

std::vector<Row> catalogue() {
    auto q = [](const AppFolders& f) { return f.questionRecords(); };
    auto c = [](const AppFolders& f) { return f.cityRecords(); };
    const std::string badSjis = "\x81\x20";   // a lead byte followed by a blank
    const std::string loneLead = "\x82";       // a lead byte with nothing after it
    const char* const shiftJis = "シフトJIS";
    const char* const endsEarly = "途中で終わっています";

    return {
        // ---- 問題.ran at start-up (the deck build)
        {"問題.ran: two records and half of a third", [=](const AppFolders& f) { truncateTo(q(f), 2 * kMondai + 1289); },
         Act::Start, 0, Label::Status, "問題.ran", {"壊れています", "3件目", "変えていません", "環境作成", "ポイントは0"},
         [](Program& p) { EXPECT_EQ(p.session.quiz.totalCount, 0) << "never read as a smaller bank"; }},
        {"問題.ran: one byte more than six records", [=](const AppFolders& f) { writeBytes(q(f), bytesOf(q(f)) + "x"); },
         Act::Start, 0, Label::Status, "問題.ran", {"壊れています", "7件目", "環境作成"}},
        {"問題.ran: zero length (a bank of no questions)", [=](const AppFolders& f) { writeBytes(q(f), ""); },
         Act::Start, 0, Label::Status, "", {},
         [](Program& p) {
             EXPECT_EQ(p.session.quiz.totalCount, 0);
             EXPECT_EQ(p.session.quiz.deckLength, 0);
             EXPECT_EQ(p.session.quiz.removedCount, 0);
         }},
        {"問題.ran: every byte zero", [=](const AppFolders& f) { zeroFill(q(f)); }, Act::Start, 0, Label::Status,
         "問題.ran", {"1件目", "0で埋まっています", "変えていません", "ランダムファイル作成"},
         [](Program& p) { EXPECT_EQ(p.session.quiz.totalCount, 0) << "no deck of blank questions"; }},
        {"問題.ran: the fourth record zero bytes",
         [=](const AppFolders& f) { patch(q(f), mondaiAt(4, 0), std::string(kMondai, '\0')); }, Act::Start, 0,
         Label::Status, "問題.ran", {"4件目", "0で埋まっています", "ランダムファイル作成"}},
        {"問題.ran: a question with neither text nor answer",
         [=](const AppFolders& f) {
             patch(q(f), mondaiAt(2, 2022), std::string(150, ' '));
             patch(q(f), mondaiAt(2, 2176), std::string(400, ' '));
             patch(q(f), mondaiAt(2, 1018), std::string(250, ' '));
         },
         Act::Start, 0, Label::Status, "問題.ran", {"2件目", "問題の文も答えも空です", "ランダムファイル作成"}},
        {"問題.ran: beyond its limit of 20000 questions (sparse)",
         [=](const AppFolders& f) { growTo(q(f), 20001ull * kMondai); }, Act::Start, 0, Label::Status, "問題.ran",
         {"大きすぎます", "上限", "ランダムファイル作成"}},
        {"問題.ran: missing", [=](const AppFolders& f) { fs::remove(q(f)); }, Act::Start, 0, Label::Status, "問題.ran",
         {"ありません", "環境作成", "消去済みの問題は全て復活"},
         [](Program& p) { EXPECT_FALSE(fs::exists(p.f.questionRecords())) << "never made empty"; }},
        {"file/: the data folder missing", [](const AppFolders& f) { fs::remove_all(f.data()); }, Act::Start, 0,
         Label::Status, "file", {"問題.ran"}},
        {"問題.ran: a removed flag of 7", [=](const AppFolders& f) { patch(q(f), mondaiAt(2, 2576), le16(7)); },
         Act::Start, 0, Label::Status, "", {},
         [](Program& p) {
             EXPECT_EQ(p.session.quiz.removedCount, 2) << "any flag but 0 is removed";
             EXPECT_EQ(p.session.quiz.deckLength, 4);
         }},
        {"問題.ran: a folder in its place",
         [=](const AppFolders& f) {
             fs::remove(q(f));
             fs::create_directory(q(f));
         },
         Act::Start, 0, Label::Status, "問題.ran", {}},

        // ---- 問題.ran in training
        {"問題.ran: invalid CP932 in the question text", [=](const AppFolders& f) { patch(q(f), mondaiAt(1, 2022), badSjis); },
         Act::Training, 0, Label::Question, "問題.ran", {"1件目", shiftJis}},
        {"問題.ran: a lone lead byte at the end of the question text",
         [=](const AppFolders& f) { patch(q(f), mondaiAt(1, 2022 + 149), loneLead); }, Act::Training, 0,
         Label::Question, "問題.ran", {"1件目", shiftJis}},
        {"問題.ran: invalid CP932 in the second record, met on the next question",
         [=](const AppFolders& f) { patch(q(f), mondaiAt(2, 2176), badSjis); }, Act::TrainingNext, 0, Label::Question,
         "問題.ran", {"2件目", shiftJis}},
        {"問題.ran: zero length, met by training (nothing to ask)", [=](const AppFolders& f) { writeBytes(q(f), ""); },
         Act::Training, 0, Label::Question, "", {},
         [](Program& p) { EXPECT_FALSE(p.training().cmdAns.isShown()); }},
        {"問題.ran: UTF-8 in the question text",
         [=](const AppFolders& f) { patch(q(f), mondaiAt(1, 2022), kUtf8Name); }, Act::Training, 0, Label::Question,
         "問題.ran", {"1件目", "UTF-8", "別のプログラム", "ランダムファイル作成"}},
        {"問題.ran: beyond its limit, met by the review (sparse)",
         [=](const AppFolders& f) { growTo(q(f), 20001ull * kMondai); }, Act::Review, 0, Label::ReviewCount,
         "問題.ran", {"大きすぎます", "上限"}},
        {"問題.ran: beyond its limit, met by the statistics (sparse)",
         [=](const AppFolders& f) { growTo(q(f), 20001ull * kMondai); }, Act::Stats, 0, Label::StatsSummary,
         "問題.ran", {"大きすぎます", "上限"}},
        {"問題.ran: question lengths beyond their fields (30000 and -5)",
         [=](const AppFolders& f) {
             patch(q(f), mondaiAt(1, 2172), le16(30000));
             patch(q(f), mondaiAt(1, 2174), le16(-5));
         },
         Act::Training, 0, Label::Question, "", {},
         [](Program& p) {
             // the first part whole (its 145 padding blanks included), the second none
             EXPECT_EQ(p.training().lblQs.caption(), "第1問" + std::string(145, ' ') + "\r\n\u3000");
         }},

        {"問題.ran: a record cut short, met by training",
         [=](const AppFolders& f) { truncateTo(q(f), 5 * kMondai + 100); }, Act::Training, 0, Label::Question,
         "問題.ran", {"壊れています", "6件目", "環境作成"},
         [](Program& p) { EXPECT_FALSE(p.training().cmdAns.isShown()) << "no question from a cut file"; }},
        {"問題.ran: missing, met by training", [=](const AppFolders& f) { fs::remove(q(f)); }, Act::Training, 0,
         Label::Question, "問題.ran", {"ありません", "環境作成"},
         [](Program& p) { EXPECT_FALSE(fs::exists(p.f.questionRecords())) << "never made empty"; }},
        {"問題.ran: invalid CP932 says how to rebuild it",
         [=](const AppFolders& f) { patch(q(f), mondaiAt(1, 2022), badSjis); }, Act::Training, 0, Label::Question,
         "問題.ran", {"1件目", shiftJis, "変えていません", "環境作成", "ポイントは0"}},
        {"問題.ran: a record cut short, met by the review",
         [=](const AppFolders& f) { truncateTo(q(f), 5 * kMondai + 100); }, Act::Review, 0, Label::ReviewCount,
         "問題.ran", {"壊れています", "環境作成"}},
        {"問題.ran: missing, met by the review", [=](const AppFolders& f) { fs::remove(q(f)); }, Act::Review, 0,
         Label::ReviewCount, "問題.ran", {"ありません", "環境作成"}},
        {"問題.ran: invalid CP932, met by the review",
         [=](const AppFolders& f) { patch(q(f), mondaiAt(2, 2022), badSjis); }, Act::Review, 0, Label::ReviewCount,
         "問題.ran", {"2件目", shiftJis, "環境作成"}},
        {"問題.ran: missing, met by the statistics", [=](const AppFolders& f) { fs::remove(q(f)); }, Act::Stats, 0,
         Label::StatsSummary, "問題.ran", {"ありません", "環境作成"}},
        {"問題.ran: a record cut short, met by the visit game",
         [=](const AppFolders& f) { truncateTo(q(f), 5 * kMondai + 100); }, Act::Game, 0, Label::GameLine, "問題.ran",
         {"壊れています", "環境作成"},
         [](Program& p) { EXPECT_FALSE(p.game().cmdAns.isShown()) << "no question from a cut file"; }},
        {"問題.ran: cut short, rebuilt by ランダムファイル作成",
         [=](const AppFolders& f) { truncateTo(q(f), 5 * kMondai + 100); }, Act::QuestionBuild, 0,
         Label::Environment, "", {},
         [](Program& p) { EXPECT_EQ(p.session.quiz.totalCount, 3) << "the repair the message offers works"; },
         {kQuestionRan, "file/point.csv"}},

        // ---- 県範囲.csv in the map window
        {"県範囲.csv: missing", [](const AppFolders& f) { fs::remove(f.rangeFile()); }, Act::Map, 0, Label::MapText,
         "県範囲.csv", {"ありません", "市町村ランダムファイル作成"}},
        {"県範囲.csv: a folder in its place",
         [](const AppFolders& f) {
             fs::remove(f.rangeFile());
             fs::create_directory(f.rangeFile());
         },
         Act::Map, 0, Label::MapText, "県範囲.csv", {"フォルダ", "市町村ランダムファイル作成"}},
        {"県範囲.csv: 2 GiB (sparse)", [](const AppFolders& f) { growTo(f.rangeFile(), 2ull << 30); }, Act::Map, 0,
         Label::MapText, "県範囲.csv", {"大きすぎます", "上限"}},
        {"県範囲.csv: 2 GiB (sparse), met by どこでしょう", [](const AppFolders& f) { growTo(f.rangeFile(), 2ull << 30); },
         Act::Where, 0, Label::WhereText, "県範囲.csv", {"大きすぎます", "上限"}},
        {"県範囲.csv: 60 lines", [](const AppFolders& f) { writeBytes(f.rangeFile(), sjisLines(rangeLines(60))); },
         Act::Map, 0, Label::MapText, "県範囲.csv", {"多すぎます"}},
        {"県範囲.csv: a quote left open",
         [](const AppFolders& f) { writeBytes(f.rangeFile(), sjisLines("1,0,\"県Ａ\",1,2,0\n2,0,\"県Ｂ,3,14,2\n")); },
         Act::Map, 0, Label::MapText, "県範囲.csv", {"閉じる"}},
        {"県範囲.csv: a short last line (5 fields)",
         [](const AppFolders& f) { writeBytes(f.rangeFile(), sjisLines("1,0,\"県Ａ\",1,2,0\n2,0,\"県Ｂ\",3,14\n")); },
         Act::Map, 0, Label::MapText, "県範囲.csv", {endsEarly}},
        {"県範囲.csv: a long first line (7 fields)",
         [](const AppFolders& f) {
             writeBytes(f.rangeFile(), sjisLines("1,0,\"県Ａ\",1,2,0,9\n2,0,\"県Ｂ\",3,14,2\n3,0,\"県Ｃ\",15,15,0\n"));
         },
         Act::Map, 0, Label::MapText, "県範囲.csv", {endsEarly}},
        {"県範囲.csv: invalid CP932 in a name",
         [=](const AppFolders& f) {
             writeBytes(f.rangeFile(), sjisLines("1,0,\"県Ａ\",1,2,0\n") + "2,0,\"" + badSjis + "\",3,14,2\r\n");
         },
         Act::Map, 0, Label::MapText, "県範囲.csv", {"2行目", shiftJis}},
        {"県範囲.csv: a lone lead byte at the end",
         [=](const AppFolders& f) { writeBytes(f.rangeFile(), sjisLines("1,0,\"県Ａ\",1,2,0\n") + loneLead); },
         Act::Map, 0, Label::MapText, "県範囲.csv", {"2行目"}},
        {"県範囲.csv: an empty line after the last row",
         [](const AppFolders& f) { writeBytes(f.rangeFile(), sjisLines("1,0,\"県Ａ\",1,2,0\n\n")); }, Act::Map, 0,
         Label::MapText, "県範囲.csv", {endsEarly}},
        {"県範囲.csv: a prefecture beyond the municipality records (3..99)",
         [](const AppFolders& f) { writeRanges(f, {{"県Ａ", 1, 2, 0}, {"県Ｂ", 3, 99, 2}}); }, Act::Map, 0,
         Label::MapText, "県範囲.csv", {"県Ｂ", "3～99件目", "市町村.ran", "環境作成", "訪問の記録"},
         [](Program& p) { EXPECT_EQ(p.map().lstKen.count(), 0) << "no list from a range file that does not match"; }},
        {"県範囲.csv: zero length", [](const AppFolders& f) { writeBytes(f.rangeFile(), ""); }, Act::Map, 0,
         Label::MapText, "県範囲.csv", {"1行もありません", "環境作成"}},
        {"県範囲.csv: a first record that is not a number",
         [](const AppFolders& f) {
             writeBytes(f.rangeFile(), sjisLines("1,0,\"県Ａ\",1,2,0\n2,0,\"県Ｂ\",\"三\",14,2\n3,0,\"県Ｃ\",15,15,0\n"));
         },
         Act::Map, 0, Label::MapText, "県範囲.csv", {"2行目", "4列目", "整数ではありません", "環境作成"}},
        {"県範囲.csv: a last record of 14.5",
         [](const AppFolders& f) {
             writeBytes(f.rangeFile(), sjisLines("1,0,\"県Ａ\",1,2,0\n2,0,\"県Ｂ\",3,14.5,2\n3,0,\"県Ｃ\",15,15,0\n"));
         },
         Act::Map, 0, Label::MapText, "県範囲.csv", {"2行目", "5列目", "整数ではありません"}},
        {"県範囲.csv: overlapping prefectures (1..3, 3..14)",
         [](const AppFolders& f) { writeRanges(f, {{"県Ａ", 1, 3, 0}, {"県Ｂ", 3, 14, 2}, {"県Ｃ", 15, 15, 0}}); },
         Act::Map, 0, Label::MapText, "県範囲.csv", {"2行目", "県Ｂ", "4件目から始まるはず", "環境作成"}},
        {"県範囲.csv: a gap between prefectures (1..2, 4..14)",
         [](const AppFolders& f) { writeRanges(f, {{"県Ａ", 1, 2, 0}, {"県Ｂ", 4, 14, 2}, {"県Ｃ", 15, 15, 0}}); },
         Act::Map, 0, Label::MapText, "県範囲.csv", {"2行目", "3件目から始まるはず"}},
        {"県範囲.csv: prefectures out of order",
         [](const AppFolders& f) { writeRanges(f, {{"県Ｂ", 3, 14, 2}, {"県Ａ", 1, 2, 0}, {"県Ｃ", 15, 15, 0}}); },
         Act::Map, 0, Label::MapText, "県範囲.csv", {"1行目", "1件目から始まるはず"}},
        {"県範囲.csv: a last record before the first",
         [](const AppFolders& f) { writeRanges(f, {{"県Ａ", 1, 2, 0}, {"県Ｂ", 3, 2, 0}, {"県Ｃ", 3, 15, 0}}); },
         Act::Map, 0, Label::MapText, "県範囲.csv", {"2行目", "3～2件目", "合いません"}},
        {"県範囲.csv: a line missing (the last municipality in none)",
         [](const AppFolders& f) { writeRanges(f, {{"県Ａ", 1, 2, 0}, {"県Ｂ", 3, 14, 2}}); }, Act::Map, 0,
         Label::MapText, "県範囲.csv", {"14件目まで", "15件", "市町村.ran"}},
        {"県範囲.csv: 13 visited of 12 municipalities",
         [](const AppFolders& f) { writeRanges(f, {{"県Ａ", 1, 2, 0}, {"県Ｂ", 3, 14, 13}, {"県Ｃ", 15, 15, 0}}); },
         Act::Map, 0, Label::MapText, "県範囲.csv", {"2行目", "訪問数13", "0～12"}},
        {"県範囲.csv: overlapping, met by the visit game",
         [](const AppFolders& f) { writeRanges(f, {{"県Ａ", 1, 3, 0}, {"県Ｂ", 3, 14, 2}, {"県Ｃ", 15, 15, 0}}); },
         Act::Game, 0, Label::GameLine, "県範囲.csv", {"2行目", "環境作成"},
         [](Program& p) {
             EXPECT_EQ(p.game().lstKen.count(), 0);
             EXPECT_TRUE(p.game().cmdAns.isShown()) << "the quiz half still works";
         }},
        {"県範囲.csv: zero length, met by どこでしょう", [](const AppFolders& f) { writeBytes(f.rangeFile(), ""); },
         Act::Where, 0, Label::WhereText, "県範囲.csv", {"1行もありません", "環境作成"}},
        {"県範囲.csv: a line missing, met by どこでしょう",
         [](const AppFolders& f) { writeRanges(f, {{"県Ａ", 1, 2, 0}, {"県Ｂ", 3, 14, 2}}); }, Act::Where, 0,
         Label::WhereText, "県範囲.csv", {"15件"}},
        {"県範囲.csv: overlapping, start over refuses before writing",
         [](const AppFolders& f) { writeRanges(f, {{"県Ａ", 1, 3, 0}, {"県Ｂ", 3, 14, 2}, {"県Ｃ", 15, 15, 0}}); },
         Act::GameStartOver, 0, Label::GameLine, "県範囲.csv", {"2行目", "環境作成"}},
        {"県範囲.csv: a gap, rebuilt by 市町村ランダムファイル作成",
         [](const AppFolders& f) { writeRanges(f, {{"県Ａ", 1, 2, 0}, {"県Ｂ", 4, 14, 2}, {"県Ｃ", 15, 15, 0}}); },
         Act::CityBuild, 0, Label::Environment, "", {},
         [](Program& p) {
             EXPECT_EQ(readBytes(p.f.rangeFile()), sjisLines("1,0,\"県1\",1,1,0\n2,0,\"県2\",2,2,0\n"))
                 << "the repair the message offers works";
         },
         {"file1/市町村.ran", "file1/県範囲.csv", "file1/訪問消去.ran", "file1/市町村ｔｅｓｔ.csv"}},
        {"県範囲.csv: 3 lines, not 47", [](const AppFolders&) {}, Act::Map, 0, Label::MapText, "", {},
         [](Program& p) { EXPECT_EQ(p.map().lstKen.count(), 3); }},

        // ---- 市町村.ran and the pictures in the map window
        {"市町村.ran: fourteen records and half of the fifteenth",
         [=](const AppFolders& f) { truncateTo(c(f), 14 * kCity + kCity / 2); }, Act::Map, 0, Label::MapText,
         "市町村.ran", {"壊れています", "15件目", "環境作成", "訪問の記録"}},
        {"市町村.ran: fourteen whole records (the range file names fifteen)",
         [=](const AppFolders& f) { truncateTo(c(f), 14 * kCity); }, Act::Map, 0, Label::MapText, "県範囲.csv",
         {"県Ｃ", "15～15件目", "市町村.ran", "14件"}},
        {"市町村.ran: every byte zero", [=](const AppFolders& f) { zeroFill(c(f)); }, Act::MapKen, 1, Label::MapText,
         "市町村.ran", {"3件目", "0で埋まっています", "市町村ランダムファイル作成"},
         [](Program& p) { EXPECT_EQ(p.map().lstCity.count(), 0) << "no list of blank names"; }},
        {"市町村.ran: every byte zero, met by the game", [=](const AppFolders& f) { zeroFill(c(f)); }, Act::GameKen, 0,
         Label::GameLine, "市町村.ran", {"1件目", "0で埋まっています", "市町村ランダムファイル作成"}},
        {"市町村.ran: a KyuSu of 0", [=](const AppFolders& f) { patch(c(f), kyuSuOffset(c(f), 4), le16(0)); },
         Act::MapKen, 1, Label::MapText, "市町村.ran", {"4件目", "旧市町村の数（0）", "1～25", "市町村ランダムファイル作成"}},
        {"市町村.ran: UTF-8 in a name", [=](const AppFolders& f) { patch(c(f), cityAt(3, 28), kUtf8Name); },
         Act::MapKen, 1, Label::MapText, "市町村.ran", {"3件目", "UTF-8", "市町村ランダムファイル作成"}},
        {"市町村.ran: beyond its limit (sparse)", [=](const AppFolders& f) { growTo(c(f), 10001ull * kCity); },
         Act::Map, 0, Label::MapText, "市町村.ran", {"大きすぎます", "上限"}},
        {"市町村.ran: zero length", [=](const AppFolders& f) { writeBytes(c(f), ""); }, Act::Map, 0,
         Label::MapText, "市町村.ran", {"空です", "環境作成"}},
        {"市町村.ran: missing (the map never creates it)", [=](const AppFolders& f) { fs::remove(c(f)); }, Act::Map, 0,
         Label::MapText, "市町村.ran", {"ありません", "環境作成"}},
        {"市町村.ran: cut short, met by どこでしょう",
         [=](const AppFolders& f) { truncateTo(c(f), 14 * kCity + kCity / 2); }, Act::Where, 0, Label::WhereText,
         "市町村.ran", {"壊れています", "環境作成"}},
        {"市町村.ran: cut short, met by the visit game",
         [=](const AppFolders& f) { truncateTo(c(f), 14 * kCity + 1); }, Act::Game, 0, Label::GameLine, "市町村.ran",
         {"壊れています", "環境作成"}},
        {"市町村.ran: a KyuSu of 30", [=](const AppFolders& f) { patch(c(f), kyuSuOffset(c(f), 4), le16(30)); },
         Act::MapKen, 1, Label::MapText, "市町村.ran", {"4件目", "30"}},
        {"市町村.ran: description lengths beyond the record",
         [=](const AppFolders& f) { patch(c(f), cityAt(3, 8022), le16(5000)); }, Act::MapKen, 1, Label::MapText,
         "市町村.ran", {"3件目"}},
        {"市町村.ran: invalid CP932 in a name", [=](const AppFolders& f) { patch(c(f), cityAt(3, 28), badSjis); },
         Act::MapKen, 1, Label::MapText, "市町村.ran", {"3件目", shiftJis, "変えていません", "環境作成"}},
        {"市町村.ran: shipments and sales beyond 32 bits together",
         [=](const AppFolders& f) {
             patch(c(f), cityAt(3, 128), le32(2000000000));
             patch(c(f), cityAt(3, 132), le32(2000000000));
         },
         Act::MapKen, 1, Label::MapText, "市町村.ran", {"3件目", "大きすぎます"}},
        {"市町村.ran: a population of 0", [=](const AppFolders& f) { patch(c(f), cityAt(1, 116), le32(0)); },
         Act::MapCity, 0, Label::MapText, "", {},
         [](Program& p) {
             const std::string text = p.map().lblVisit.caption();
             EXPECT_TRUE(has(text, "人口：0人")) << text;
             EXPECT_TRUE(has(text, "人口密度：－")) << "no density without people: " << text;
         }},
        {"k2.jpg: missing", [](const AppFolders& f) { fs::remove(f.picture(2)); }, Act::MapKen, 1, Label::MapText,
         "k2.jpg", {}, [](Program& p) { EXPECT_EQ(p.map().lstCity.count(), 12) << "the list still works"; }},
        {"k2.jpg: not a picture (text)", [](const AppFolders& f) { writeBytes(f.picture(2), "kein Bild\r\n"); },
         Act::MapKen, 1, Label::MapText, "k2.jpg", {}},
        {"k2.jpg: zero length", [](const AppFolders& f) { writeBytes(f.picture(2), ""); }, Act::MapKen, 1,
         Label::MapText, "k2.jpg", {}},
        {"k2.jpg: a corrupt JPEG (its header only)",
         [](const AppFolders& f) { truncateTo(f.picture(2), 20); }, Act::MapKen, 1, Label::MapText, "k2.jpg", {}},
        {"file1/: the map folder missing", [](const AppFolders& f) { fs::remove_all(f.map()); }, Act::Map, 0,
         Label::MapText, "file1", {"県範囲.csv"}},

        // ---- the visit game
        {"point.csv: empty", [](const AppFolders& f) { writeBytes(f.pointFile(), ""); }, Act::Game, 0,
         Label::GameLine, "point.csv", {endsEarly}},
        {"point.csv: text instead of a number", [](const AppFolders& f) { writeBytes(f.pointFile(), "abc\r\n"); },
         Act::Game, 0, Label::GameLine, "point.csv", {"壊れています", "環境作成", "ポイントは0"}},
        {"point.csv: two numbers", [](const AppFolders& f) { writeBytes(f.pointFile(), " 1200\r\n 500\r\n"); },
         Act::Game, 0, Label::GameLine, "point.csv", {"壊れています", "環境作成"}},
        {"point.csv: a number and text", [](const AppFolders& f) { writeBytes(f.pointFile(), " 1200 pt\r\n"); },
         Act::Game, 0, Label::GameLine, "point.csv", {"壊れています"}},
        {"point.csv: beyond 32 bits", [](const AppFolders& f) { writeBytes(f.pointFile(), " 3000000000\r\n"); },
         Act::Game, 0, Label::GameLine, "point.csv", {"範囲"}},
        {"point.csv: missing", [](const AppFolders& f) { fs::remove(f.pointFile()); }, Act::Game, 0, Label::GameLine,
         "point.csv", {"ありません"}},
        {"point.csv: a lone lead byte after the number",
         [=](const AppFolders& f) { writeBytes(f.pointFile(), " 15" + loneLead + "\r\n"); }, Act::Game, 0,
         Label::GameLine, "point.csv", {shiftJis}},
        {"県範囲.csv: 60 lines, met by the game", [](const AppFolders& f) {
             writeBytes(f.rangeFile(), sjisLines(rangeLines(60)));
         },
         Act::Game, 0, Label::GameLine, "県範囲.csv", {"多すぎます"},
         [](Program& p) { EXPECT_TRUE(p.game().cmdAns.isShown()) << "the quiz half still works"; }},
        {"県範囲.csv: 3 lines, rewritten as 3 lines by start over", [](const AppFolders&) {}, Act::GameStartOver, 0,
         Label::GameLine, "", {},
         [](Program& p) {
             EXPECT_EQ(readBytes(p.f.rangeFile()),
                       sjisLines("1,0,\"県Ａ\",1,2,0\n2,0,\"県Ｂ\",3,14,0\n3,0,\"県Ｃ\",15,15,0\n"));
             EXPECT_EQ(markFlags(p.f), std::vector<int>(15, 0));
         },
         {"file/point.csv", "file1/訪問消去.ran", "file1/県範囲.csv"}},
        {"訪問消去.ran: missing", [](const AppFolders& f) { fs::remove(f.visitMarks()); }, Act::Game, 0,
         Label::GameLine, "訪問消去.ran", {"ありません", "環境作成", "訪問の記録"},
         [](Program& p) {
             EXPECT_EQ(p.game().lstKen.count(), 0) << "no list to visit from";
             EXPECT_FALSE(fs::exists(p.f.visitMarks())) << "never made empty";
             EXPECT_TRUE(p.game().cmdAns.isShown()) << "the quiz half still works";
         }},
        {"訪問消去.ran: fourteen records and half of the fifteenth",
         [](const AppFolders& f) { truncateTo(f.visitMarks(), 14 * 6 + 3); }, Act::Game, 0, Label::GameLine,
         "訪問消去.ran", {"87バイト", "15件", "90バイト", "環境作成"}},
        {"訪問消去.ran: sixteen marks for fifteen municipalities",
         [](const AppFolders& f) { writeBytes(f.visitMarks(), bytesOf(f.visitMarks()) + std::string(6, '\0')); },
         Act::Game, 0, Label::GameLine, "訪問消去.ran", {"96バイト", "15件"}},
        {"訪問消去.ran: zero length", [](const AppFolders& f) { writeBytes(f.visitMarks(), ""); }, Act::Game, 0,
         Label::GameLine, "訪問消去.ran", {"0バイト"}},
        {"訪問消去.ran: a mark of 2", [](const AppFolders& f) { patch(f.visitMarks(), 2 * 6, le16(2)); }, Act::Game, 0,
         Label::GameLine, "訪問消去.ran", {"3件目", "（2）", "0でも1でもありません", "環境作成"},
         [](Program& p) { EXPECT_EQ(p.game().lstKen.count(), 0); }},
        {"訪問消去.ran: a mark of 256 (the high byte set)",
         [](const AppFolders& f) { patch(f.visitMarks(), 6 * 6, le16(256)); }, Act::Game, 0, Label::GameLine,
         "訪問消去.ran", {"7件目", "（256）"}},
        {"訪問消去.ran: a mark of -1", [](const AppFolders& f) { patch(f.visitMarks(), 14 * 6, le16(-1)); }, Act::Game,
         0, Label::GameLine, "訪問消去.ran", {"15件目", "（-1）"}},
        {"訪問消去.ran: visited marks of 1 and record numbers kept, accepted",
         [](const AppFolders& f) {
             // the range file counts the visit the mark holds: only the mark itself is read
             patch(f.visitMarks(), 0, le16(1) + le16(77) + le16(-3));
             writeRanges(f, {{"県Ａ", 1, 2, 1}, {"県Ｂ", 3, 14, 2}, {"県Ｃ", 15, 15, 0}});
         },
         Act::GameKen, 0,
         Label::GameLine, "", {},
         [](Program& p) { EXPECT_EQ(p.game().lstCity.count(), 1) << "only the mark itself is checked"; }},
        {"市町村.ran: a KyuSu of 30, met by the game",
         [=](const AppFolders& f) { patch(c(f), kyuSuOffset(c(f), 3), le16(30)); }, Act::GameKen, 1, Label::GameLine,
         "市町村.ran", {"3件目", "30"}},
        {"k1.jpg: not a picture, met by the game", [](const AppFolders& f) { writeBytes(f.picture(1), "GIF89a"); },
         Act::GameKen, 0, Label::GameProfile, "k1.jpg", {},
         [](Program& p) { EXPECT_EQ(p.game().lstCity.count(), 2) << "the list still works"; }},
        {"問題.ran: zero length, met by the game (nothing to ask)", [=](const AppFolders& f) { writeBytes(q(f), ""); },
         Act::Game, 0, Label::GameLine, "", {},
         [](Program& p) { EXPECT_FALSE(p.game().cmdAns.isShown()) << "no points for a question that is not there"; }},
        {"問題.ran: every byte zero, met by the game", [=](const AppFolders& f) { zeroFill(q(f)); }, Act::Game, 0,
         Label::GameLine, "問題.ran", {"0で埋まっています", "ランダムファイル作成"},
         [](Program& p) { EXPECT_FALSE(p.game().cmdAns.isShown()) << "no points for a blank question"; }},
        {"訪問消去.ran: every byte zero", [](const AppFolders& f) { zeroFill(f.visitMarks()); }, Act::Game, 0,
         Label::GameLine, "訪問消去.ran", {"1件目", "0で埋まっています", "市町村ランダムファイル作成"},
         [](Program& p) { EXPECT_EQ(p.game().lstKen.count(), 0) << "no visits undone in silence"; }},
        {"訪問消去.ran: a visit's mark cleared (県範囲.csv still counts it)",
         [](const AppFolders& f) { patch(f.visitMarks(), 4 * 6, le16(0)); }, Act::Game, 0, Label::GameLine,
         "県範囲.csv", {"県Ｂ", "訪問数2", "訪問消去.ran", "印の数1", "合いません", "市町村ランダムファイル作成"},
         [](Program& p) { EXPECT_EQ(p.game().lstKen.count(), 0); }},
        {"県範囲.csv: a visit counted that no mark holds",
         [](const AppFolders& f) { writeRanges(f, {{"県Ａ", 1, 2, 1}, {"県Ｂ", 3, 14, 2}, {"県Ｃ", 15, 15, 0}}); },
         Act::Game, 0, Label::GameLine, "県範囲.csv", {"県Ａ", "訪問数1", "印の数0"}},
        {"point.csv: a folder in its place",
         [](const AppFolders& f) {
             fs::remove(f.pointFile());
             fs::create_directory(f.pointFile());
         },
         Act::Game, 0, Label::GameLine, "point.csv", {"フォルダ", "ランダムファイル作成"}},
        {"point.csv: 2 GiB (sparse)", [](const AppFolders& f) { growTo(f.pointFile(), 2ull << 30); }, Act::Game, 0,
         Label::GameLine, "point.csv", {"大きすぎます", "上限", "ランダムファイル作成"}},
        {"県範囲.csv: 2 GiB (sparse), met by the game",
         [](const AppFolders& f) { growTo(f.rangeFile(), 2ull << 30); }, Act::Game, 0, Label::GameLine, "県範囲.csv",
         {"大きすぎます", "上限", "市町村ランダムファイル作成"}},

        // ---- the learner's memory at start-up: the menu's review count names it and its repair
        {"記憶.db: not a database",
         [](const AppFolders& f) { writeBytes(f.data() / AppFolders::u8path("記憶.db"), std::string(4096, 'x')); },
         Act::Start, 0, Label::Status, "記憶.db", {"壊れて", "記憶を作り直す"}},
        {"記憶.db: another version's",
         [](const AppFolders& f) {
             PosixIo io;
             { MemoryStore(io, f.memoryFile()).setRetention(0.9); }
             Database(io, f.data() / AppFolders::u8path("記憶.db"), false).exec("PRAGMA user_version=7");
         },
         Act::Start, 0, Label::Status, "記憶.db", {"7版", "記憶を作り直す"}},
        {"記憶.txt: saved again in シフトJIS",
         [](const AppFolders& f) {
             MemoryBook old;
             old.cards["【読み】\n札幌\nさっぽろ"] = Card{};
             writeBytes(f.memoryFile(), toCp932(old.serialize(), "test"));
         },
         Act::Start, 0, Label::Status, "記憶.txt", {shiftJis, "UTF-8", "記憶を作り直す"}},
        {"記憶.db: not a database, in the review",
         [](const AppFolders& f) { writeBytes(f.data() / AppFolders::u8path("記憶.db"), std::string(4096, 'x')); },
         Act::Review, 0, Label::ReviewCount, "記憶.db", {"壊れて", "記憶を作り直す"}},
        // ---- the environment window's builds
        {"問題.csv: 17 fields on a line",
         [](const AppFolders& f) {
             std::string short2 = questionLine(2);
             short2.erase(short2.rfind(','));  // drops field 18
             writeBytes(f.questionMaster(), sjisLines(questionLine(1) + short2 + "\n" + questionLine(3)));
         },
         Act::QuestionBuild, 0, Label::Environment, "問題.csv", {endsEarly}},
        {"問題.csv: 19 fields on a line",
         [](const AppFolders& f) {
             std::string long2 = questionLine(2);
             long2.insert(long2.size() - 1, ",9");
             writeBytes(f.questionMaster(), sjisLines(questionLine(1) + long2 + questionLine(3)));
         },
         Act::QuestionBuild, 0, Label::Environment, "問題.csv", {"数値ではありません"}},
        {"問題.csv: a quote left open",
         [](const AppFolders& f) { writeBytes(f.questionMaster(), sjisLines(questionLine(1) + "\"AB,2,,甲\n")); },
         Act::QuestionBuild, 0, Label::Environment, "問題.csv", {"2行目", "閉じる"}},
        {"問題.csv: a lone lead byte at the end",
         [=](const AppFolders& f) { writeBytes(f.questionMaster(), sjisLines(questionLine(1)) + loneLead); },
         Act::QuestionBuild, 0, Label::Environment, "問題.csv", {"2行目"}},
        {"問題.csv: invalid CP932 in a question",
         [=](const AppFolders& f) {
             std::string line = sjisLines(questionLine(2));
             line.replace(line.find("\"\x96\xe2"), 3, "\"" + badSjis);  // "問" of 問題
             writeBytes(f.questionMaster(), sjisLines(questionLine(1)) + line);
         },
         Act::QuestionBuild, 0, Label::Environment, "問題.csv", {"2行目", shiftJis}},
        {"問題.csv: a double-point mark of 40000",
         [](const AppFolders& f) {
             std::string line = questionLine(1);
             line.replace(line.find(",0,\"問題\""), 3, ",40000,");
             writeBytes(f.questionMaster(), sjisLines(line));
         },
         Act::QuestionBuild, 0, Label::Environment, "問題.csv", {"16列目", "範囲"}},
        {"問題.csv: zero length, the loss of every question declined",
         [](const AppFolders& f) { writeBytes(f.questionMaster(), ""); }, Act::QuestionBuild, 0, Label::Environment, "",
         {}, [](Program& p) { EXPECT_EQ(caption(p, Label::Environment), "作り直しませんでした。ファイルは変えていません。"); },
         {}, true},
        {"問題.csv: two questions for six, the loss declined",
         [](const AppFolders& f) { writeBytes(f.questionMaster(), sjisLines(questionLine(1) + questionLine(2))); },
         Act::QuestionBuild, 0, Label::Environment, "", {},
         [](Program& p) { EXPECT_EQ(caption(p, Label::Environment), "作り直しませんでした。ファイルは変えていません。"); },
         {}, true},
        {"問題.csv: two questions for six, the loss agreed to",
         [](const AppFolders& f) { writeBytes(f.questionMaster(), sjisLines(questionLine(1) + questionLine(2))); },
         Act::QuestionBuild, 0, Label::Environment, "", {},
         [](Program& p) { EXPECT_EQ(p.session.quiz.totalCount, 2); }, {kQuestionRan, "file/point.csv"}},
        {"問題.csv: 2 GiB (sparse)", [](const AppFolders& f) { growTo(f.questionMaster(), 2ull << 30); },
         Act::QuestionBuild, 0, Label::Environment, "問題.csv", {"大きすぎます", "上限"}},
        {"問題.csv: missing", [](const AppFolders& f) { fs::remove(f.questionMaster()); }, Act::QuestionBuild, 0,
         Label::Environment, "問題.csv", {"ありません"}},
        {"作業ファイル/: the work folder missing", [](const AppFolders& f) { fs::remove_all(f.work()); },
         Act::QuestionBuild, 0, Label::Environment, "作業ファイル", {"問題.csv"}},
        {"市町村.csv: a short line",
         [](const AppFolders& f) { writeBytes(f.cityMaster(), sjisLines(cityHeader() + cityLine(1, "甲町") + "1,2,3\n")); },
         Act::CityBuild, 0, Label::Environment, "市町村.csv", {"3行目", endsEarly}},
        {"市町村.csv: a quote left open",
         [](const AppFolders& f) {
             writeBytes(f.cityMaster(), sjisLines(cityHeader() + cityLine(1, "甲町") + "1,2,0,0,0,\"乙村,\n"));
         },
         Act::CityBuild, 0, Label::Environment, "市町村.csv", {"3行目", "閉じる"}},
        {"市町村.csv: a population beyond 32 bits",
         [](const AppFolders& f) { writeBytes(f.cityMaster(), sjisLines(cityHeader() + cityLine(1, "甲町", "3000000000"))); },
         Act::CityBuild, 0, Label::Environment, "市町村.csv", {"17列目", "範囲"}},
        {"市町村.csv: its header only (a build would lose every municipality)",
         [](const AppFolders& f) { writeBytes(f.cityMaster(), sjisLines(cityHeader())); }, Act::CityBuild, 0,
         Label::Environment, "市町村.csv", {"1行もありません", "作り直していません", "変えていません"}},
        {"市町村.csv: two municipalities for fifteen, the loss declined", [](const AppFolders&) {}, Act::CityBuild, 0,
         Label::Environment, "", {},
         [](Program& p) { EXPECT_EQ(caption(p, Label::Environment), "作り直しませんでした。ファイルは変えていません。"); },
         {}, true},
        {"市町村.csv: zero length", [](const AppFolders& f) { writeBytes(f.cityMaster(), ""); }, Act::CityBuild, 0,
         Label::Environment, "市町村.csv", {endsEarly}},
        {"都道府県データ.csv: invalid CP932",
         [=](const AppFolders& f) { writeBytes(f.prefectureData(), sjisLines(prefectureLines(1)) + "2,\"" + badSjis + "\",0,0,1,2,3,4\r\n"); },
         Act::CityBuild, 0, Label::Environment, "都道府県データ.csv", {"2行目", shiftJis}},
        {"都道府県データ.csv: missing", [](const AppFolders& f) { fs::remove(f.prefectureData()); }, Act::CityBuild, 0,
         Label::Environment, "都道府県データ.csv", {"ありません"}},
    };
}

TEST(BadInputs, EachIsReportedInItsWindowOrAcceptedAsDefinedAndNoFileChanges) {
    const std::vector<Row> rows = catalogue();
    EXPECT_GE(rows.size(), 30u);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Program p;
        p.agreeToLoss = !row.declineLoss;
        row.spoil(p.f);
        const Snapshot before = snapshot(p.folder.path());
        ASSERT_NO_FATAL_FAILURE(run(p, row.act, row.pos));
        const std::string shown = caption(p, row.label);
        std::cout << "[ bad input ] " << row.what << " -> " << (shown.empty() ? "(no message)" : shown) << "\n";
        if (!row.says.empty() || std::strlen(row.names) > 0) {
            EXPECT_TRUE(japaneseNaming(shown, row.names)) << "should name 「" << row.names << "」: " << shown;
            for (const auto& part : row.says) EXPECT_TRUE(has(shown, part)) << "should say " << part << ": " << shown;
            // nothing damaged taken quietly: each refusal says the files are as they were, once
            const auto unchanged = shown.find("変えていません");
            EXPECT_TRUE(unchanged != std::string::npos || has(shown, "そのまま")) << "says nothing of the files: " << shown;
            if (unchanged != std::string::npos)
                EXPECT_EQ(shown.find("変えていません", unchanged + 1), std::string::npos) << "said twice: " << shown;
            EXPECT_TRUE(label(p, row.label).showsWhole()) << "cut at 100 %: " << shown;
        } else {
            EXPECT_FALSE(has(shown, "「")) << "accepted, yet a message: " << shown;
        }
        if (row.accepted) row.accepted(p);
        std::set<std::string> diff = changed(before, snapshot(p.folder.path()));
        EXPECT_EQ(diff, row.writes) << "files changed";
    }
}

// Every message of the catalogue whole in its window at twice the size too:
// the fonts grow with the boxes, and a label one line high must still not cut it.
TEST(BadInputs, EveryMessageIsWholeAtTwiceTheSize) {
    ui::setDisplayScale(2.0);
    for (const Row& row : catalogue()) {
        if (row.says.empty() && std::strlen(row.names) == 0) continue;
        SCOPED_TRACE(row.what);
        Program p;
        p.agreeToLoss = !row.declineLoss;
        row.spoil(p.f);
        ASSERT_NO_FATAL_FAILURE(run(p, row.act, row.pos));
        EXPECT_TRUE(label(p, row.label).showsWhole()) << "cut at 200 %: " << caption(p, row.label);
    }
    ui::setDisplayScale(1.0);
}

}  // namespace
