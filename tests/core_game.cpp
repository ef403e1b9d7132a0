// SPDX-License-Identifier: GPL-3.0-or-later
// The visit game without its window: the points of right answers (streak
// bonus, lucky draw, double points, the 32-bit limit), the visitability line,
// the question at the visit cursor, the list of unvisited municipalities, the
// visit with its files, and start over.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/files/error.h"
#include "core/game/rules.h"
#include "core/game/visit_game.h"
#include "support/faulty_io.h"
#include "support/game_fixture.h"

using namespace tabinowa;
using namespace tabinowa::game;
using namespace tabinowa::testing;

namespace {

constexpr double kPlain = 0.5;    // lucky draw r = 6, a key of 10001
constexpr double kLucky = 0.05;   // lucky draw r = 1
const std::string kBoth = std::string(kLuckyLine) + "\r\n" + kBonusLine;

// Forwards to another Io that a test can swap, so that only the step under
// test runs on a failing one.
class SwitchIo final : public Io {
public:
    Io* to = &real;
    PosixIo real;
    int open(const std::filesystem::path& p, Mode m) override { return to->open(p, m); }
    long readAt(int fd, void* b, std::size_t n, std::uint64_t o) override { return to->readAt(fd, b, n, o); }
    long writeAt(int fd, const void* b, std::size_t n, std::uint64_t o) override { return to->writeAt(fd, b, n, o); }
    bool flush(int fd) override { return to->flush(fd); }
    bool close(int fd) override { return to->close(fd); }
    long long size(int fd) override { return to->size(fd); }
    bool rename(const std::filesystem::path& a, const std::filesystem::path& b) override { return to->rename(a, b); }
    bool remove(const std::filesystem::path& p) override { return to->remove(p); }
    bool exists(const std::filesystem::path& p) override { return to->exists(p); }
    bool isDirectory(const std::filesystem::path& p) override { return to->isDirectory(p); }
    bool syncFolder(const std::filesystem::path& p) override { return to->syncFolder(p); }
    std::vector<std::string> listFolder(const std::filesystem::path& p) override { return to->listFolder(p); }
};

// A program folder with a question bank and a session over it.
struct Game {
    TempProgramFolder folder;
    SwitchIo io;
    FixedRandom random{{}};
    Session s{folder.path(), io, random};
    AppFolders f = folder.folders();

    explicit Game(int questions = 12, const std::set<int>& doubles = {}, std::int32_t points = 0) {
        writeGameQuestions(f, numberedQuestions(questions, doubles));
        s.quiz.totalCount = static_cast<std::int16_t>(questions);
        writeGamePoints(f, points);
        s.points = points;
    }
    // The random values: one key per question for the shuffle, then the lucky draws.
    void draws(std::vector<double> lucky, double key = kPlain) {
        std::vector<double> v(static_cast<std::size_t>(s.quiz.totalCount), key);
        v.insert(v.end(), lucky.begin(), lucky.end());
        random = FixedRandom(v);
    }
};

// Two prefectures: 県Ａ with records 1..2, 県Ｂ with records 3..14 (12 municipalities).
void writeTwoPrefectures(const AppFolders& f, const std::set<int>& visited, int homonA, int homonB,
                         std::int32_t costOf7 = 600) {
    writeCities(f, numberedCities(14, costOf7));
    writeRanges(f, {{"県Ａ", 1, 2, homonA}, {"県Ｂ", 3, 14, homonB}});
    writeGameMarks(f, 14, visited);
}

}  // namespace

// ------------------------------------------------------------------ points

TEST(GamePoints, StreaksLuckAndTheirMessages) {
    struct Case {
        const char* name;
        std::string judgements;    // o right, x wrong
        std::vector<double> luck;  // one draw per right answer
        std::vector<std::int32_t> gains;
        std::vector<std::string> messages;  // lblMsg2 after each right answer
    };
    const std::string B = kBonusLine, L = std::string(kLuckyLine) + "\r\n";
    const Case cases[] = {
        {"five right, then a sixth", "oooooo", {kPlain, kPlain, kPlain, kPlain, kPlain, kPlain},
         {500, 500, 500, 500, 2500, 500}, {"", "", "", "", B, ""}},
        {"four right, one wrong, five right", "ooooxooooo", std::vector<double>(9, kPlain),
         {500, 500, 500, 500, 0, 500, 500, 500, 500, 2500}, {"", "", "", "", "", "", "", "", B}},
        {"lucky and bonus together, lucky first", "ooooo", {kPlain, kPlain, kPlain, kPlain, kLucky},
         {500, 500, 500, 500, 3500}, {"", "", "", "", kBoth}},
        {"u = 0.0999 is lucky", "o", {0.0999}, {1500}, {L}},
        {"u = 0.1 is not", "o", {0.1}, {500}, {""}},
        {"a wrong answer costs nothing and writes nothing", "xo", {kPlain}, {0, 500}, {""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Game g(12, {}, 100);
        g.draws(c.luck);
        VisitQuiz quiz(g.s);
        quiz.start();
        std::size_t msg = 0;
        for (std::size_t i = 0; i < c.judgements.size(); ++i) {
            const std::int32_t before = g.s.points;
            if (c.judgements[i] == 'o') {
                auto a = quiz.right();
                ASSERT_TRUE(a);
                EXPECT_EQ(a->total, g.s.points);
                EXPECT_EQ(a->message, c.messages[msg++]) << "answer " << i + 1;
                EXPECT_LE(quiz.streak(), 4);
            } else {
                quiz.wrong();
                EXPECT_EQ(quiz.streak(), 0);
            }
            EXPECT_EQ(g.s.points - before, c.gains[i]) << "answer " << i + 1;
            EXPECT_EQ(pointsOnDisk(g.f), g.s.points) << "answer " << i + 1;
            quiz.next();
        }
    }
}

TEST(GamePoints, DoublePointQuestionsIncludingTheFirstOneShown) {
    // equal keys keep the bank in record order: 1 (double), 2 (DoublePoint 2), 3 (double)
    Game g(3, {1, 3});
    {
        PosixIo io;
        RecordFile file(io, g.f.questionRecords(), Mondai::kLength);
        Mondai m = Mondai::decode(file.get(2), "t");
        m.DoublePoint = 2;
        file.put(2, m.encode("t"));
    }
    g.draws({kPlain, kPlain, kPlain});
    VisitQuiz quiz(g.s);

    auto q = quiz.start();
    EXPECT_TRUE(q.doublePoint);
    EXPECT_EQ(quiz.extra(), 500);
    ASSERT_TRUE(quiz.right());
    EXPECT_EQ(g.s.points, 1000);

    q = quiz.next();
    EXPECT_FALSE(q.doublePoint) << "DoublePoint 2 is an ordinary question";
    EXPECT_EQ(quiz.extra(), 0);
    ASSERT_TRUE(quiz.right());
    EXPECT_EQ(g.s.points, 1500);

    q = quiz.next();
    EXPECT_TRUE(q.doublePoint);
    q = quiz.next();
    EXPECT_TRUE(q.finished);
    EXPECT_EQ(quiz.extra(), 500) << "the finished state keeps the last extra";
}

TEST(GamePoints, ATotalBeyond32BitsIsRefused) {
    struct Case {
        std::int32_t total;
        std::int16_t streak, extra;
        double u;
        std::optional<std::int32_t> want;
    };
    const Case cases[] = {
        {INT_MAX - 500, 0, 0, kPlain, INT_MAX},
        {INT_MAX - 499, 0, 0, kPlain, std::nullopt},
        {INT_MAX - 1000, 0, 500, kPlain, INT_MAX},
        {INT_MAX - 999, 0, 500, kPlain, std::nullopt},
        {INT_MAX - 4000, 4, 500, kLucky, INT_MAX},
        {INT_MAX - 3999, 4, 500, kLucky, std::nullopt},
        {INT_MIN, 0, 0, kPlain, INT_MIN + 500},
    };
    for (const auto& c : cases) {
        FixedRandom r({c.u});
        auto a = scoreRightAnswer(c.total, c.streak, c.extra, r);
        EXPECT_EQ(a ? std::optional<std::int32_t>(a->total) : std::nullopt, c.want) << c.total;
        EXPECT_EQ(r.drawn(), 1u) << "one lucky draw per right answer";
    }

    // the quiz keeps its total, streak and point file when refused
    Game g(12, {}, INT_MAX - 100);
    g.draws({kPlain, kPlain});
    writeGamePoints(g.f, INT_MAX - 100);
    VisitQuiz quiz(g.s);
    quiz.start();
    EXPECT_FALSE(quiz.right());
    EXPECT_EQ(g.s.points, INT_MAX - 100);
    EXPECT_EQ(pointsOnDisk(g.f), INT_MAX - 100);
    EXPECT_EQ(quiz.streak(), 0);
}

TEST(GamePoints, AFailedPointFileWriteChangesNothing) {
    Game g(12, {}, 700);
    g.draws({kPlain, kPlain});
    VisitQuiz quiz(g.s);
    quiz.start();
    FaultyIo fail(1);
    g.io.to = &fail;
    EXPECT_THROW(quiz.right(), FileError);
    g.io.to = &g.io.real;
    EXPECT_EQ(g.s.points, 700);
    EXPECT_EQ(pointsOnDisk(g.f), 700);
    EXPECT_EQ(quiz.streak(), 0);
}

// ------------------------------------------------------------------- texts

TEST(GameTexts, FixedFormsOfTheWindow) {
    const std::string usage = usageText();
    std::vector<std::string> lines;
    std::size_t at = 0;
    for (std::size_t crlf; (crlf = usage.find("\r\n", at)) != std::string::npos; at = crlf + 2)
        lines.push_back(usage.substr(at, crlf - at));
    EXPECT_EQ(at, usage.size()) << "every line ends with CR LF";
    ASSERT_EQ(lines.size(), 13u);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), ""), 6);
    EXPECT_EQ(lines[0], "\u3000\u3000☆☆☆☆☆☆☆☆\u3000\u3000使用方法\u3000\u3000☆☆☆☆☆☆☆☆");
    EXPECT_EQ(lines[9], "\u3000\u3000訪問した市町村は、リストから消えます");
    EXPECT_EQ(usage.substr(usage.size() - 8), "\r\n\r\n\r\n\r\n");

    EXPECT_EQ(pointDisplay(1200), "\u3000\u3000\u3000現在のポイント\r\n1200");
    EXPECT_EQ(visitPointDisplay(0), "現在のポイント0");

    Mondai m;
    m.Kotae = padChars("札幌市", 125);
    m.KotaeLen = 3;
    EXPECT_EQ(answerText(m), "【解答】\r\n\u3000札幌市");
}

TEST(GameTexts, VisitabilityLine) {
    struct Case {
        std::int32_t total, cost;
        bool affordable;
        int palette;
        std::string line;
    };
    const Case cases[] = {
        {494, 494, true, 4, "○訪問可能 \u3000必要なポイント＝494\u3000蓄積ポイント＝494"},
        {493, 494, false, 1, "×訪問不可 \u3000必要なポイント＝494\u3000蓄積ポイント＝493"},
        {1200, 494, true, 4, "○訪問可能 \u3000必要なポイント＝494\u3000蓄積ポイント＝1200"},
        {0, -5, true, 4, "○訪問可能 \u3000必要なポイント＝-5\u3000蓄積ポイント＝0"},
    };
    for (const auto& c : cases) {
        auto v = visitability(c.total, c.cost);
        EXPECT_EQ(v.affordable, c.affordable) << c.total;
        EXPECT_EQ(v.palette, c.palette) << c.total;
        EXPECT_EQ(v.line, c.line);
    }
    EXPECT_EQ(pointsAfterVisit(494, 494), 0);
    EXPECT_EQ(pointsAfterVisit(INT_MAX, -1), std::nullopt);
    EXPECT_EQ(pointsAfterVisit(INT_MIN, 1), std::nullopt);
}

// -------------------------------------------------------- the visit cursor

TEST(GameQuiz, TheFinishedStateInsteadOfAnEmptyEntry) {
    struct Case {
        const char* name;
        int bank;
        std::int32_t cursor;
    };
    const Case cases[] = {{"cursor past the bank", 3, 4}, {"cursor far past", 3, 9}, {"empty bank", 0, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Game g(c.bank);
        g.s.quiz.visitCursor = c.cursor;
        VisitQuiz quiz(g.s);
        auto q = quiz.start();
        EXPECT_TRUE(q.finished);
        EXPECT_EQ(q.text, kFinishedText);
        EXPECT_EQ(q.source, "");
        EXPECT_TRUE(quiz.finished());
        EXPECT_EQ(quiz.answer(), "");
        quiz.next();
        EXPECT_EQ(g.s.quiz.visitCursor, c.cursor + 1) << "every next step still moves the cursor";
    }

    // judging the last question of 2 leaves the cursor at 3
    Game g(2);
    VisitQuiz quiz(g.s);
    EXPECT_FALSE(quiz.start().finished);
    EXPECT_FALSE(quiz.next().finished);
    EXPECT_TRUE(quiz.next().finished);
    EXPECT_EQ(g.s.quiz.visitCursor, 3);
}

TEST(GameQuiz, ASecondOpeningContinuesInANewOrder) {
    Game g(5);
    g.draws({});  // equal keys: records in order 1..5
    {
        VisitQuiz quiz(g.s);
        auto q = quiz.start();
        EXPECT_EQ(q.text, "問題1\r\n\u3000本文1");
        EXPECT_EQ(q.source, "QZ  1");
        EXPECT_EQ(quiz.answer(), "【解答】\r\n\u3000答え1");
        for (int i = 0; i < 3; ++i) quiz.next();
        EXPECT_EQ(g.s.quiz.visitCursor, 4);
    }
    // descending keys: the new order is 5, 4, 3, 2, 1; position 4 holds record 2
    g.random = FixedRandom({0.9, 0.7, 0.5, 0.3, 0.1});
    VisitQuiz quiz(g.s);
    auto q = quiz.start();
    EXPECT_EQ(q.text, "問題2\r\n\u3000本文2");
    EXPECT_EQ(q.source, "QZ  2");
    EXPECT_EQ(g.s.quiz.visitCursor, 4);
    std::vector<int> order;
    for (int i = 1; i <= 5; ++i) order.push_back(g.s.quiz.fullBankEntry(i));
    EXPECT_EQ(order, (std::vector<int>{5, 4, 3, 2, 1}));
}

// ------------------------------------------------------ municipality lists

TEST(GameMap, UnvisitedMunicipalitiesInRecordOrder) {
    Game g;
    writeTwoPrefectures(g.f, {4, 5, 8, 11, 14}, 0, 5);
    VisitMap map(g.s);
    auto kens = map.fillPrefectures();
    EXPECT_EQ(kens, (std::vector<std::string>{"\u3000\u3000県Ａ", "\u3000\u3000県Ｂ"}));

    auto entries = map.choosePrefecture(1);
    std::vector<std::string> want;
    for (int n : {3, 6, 7, 9, 10, 12, 13}) want.push_back(padChars("町" + std::to_string(n), 20));
    EXPECT_EQ(entries, want);
    EXPECT_EQ(map.picture(), g.f.picture(2));

    auto p = map.chooseCity(2);  // the third entry: record 7
    EXPECT_TRUE(map.selected());
    EXPECT_EQ(map.chosenRecord(), 7);
    EXPECT_EQ(p.header, padChars("町7", 7) + "\u3000民力：600");
    EXPECT_EQ(p.text.substr(0, std::string("\u3000人口：10000人").size()), "\u3000人口：10000人");
    EXPECT_NE(p.text.find("\r\n1 " + padChars("町7", 8) + "町7の説明\r\n"), std::string::npos) << p.text;
    ASSERT_EQ(p.marks.size(), 1u);
    EXPECT_EQ(p.marks[0].x, 1070 - 100);
}

// Choosing a prefecture only reads the marks: a marks file that went away
// after the game opened shows every municipality and is not made again.
TEST(GameMap, ChoosingAPrefectureNeverRecreatesTheMarks) {
    Game g;
    writeTwoPrefectures(g.f, {4, 5, 8, 11, 14}, 0, 5);
    VisitMap map(g.s);
    map.fillPrefectures();
    std::filesystem::remove(g.f.visitMarks());
    EXPECT_EQ(map.choosePrefecture(1).size(), 12u);
    EXPECT_FALSE(std::filesystem::exists(g.f.visitMarks()));
}

TEST(GameMap, OldNamesAreCutToEightCharacters) {
    Game g;
    writeCities(g.f, {gameCity(1, 1, "長い名の市", 500,
                               {{"一二三四五六七八九十", 10, 20, "説明文"}, {"短村", 30, 40, "あ"}})});
    writeRanges(g.f, {{"県", 1, 1, 0}});
    writeGameMarks(g.f, 1);
    VisitMap map(g.s);
    map.fillPrefectures();
    map.choosePrefecture(0);
    auto p = map.chooseCity(0);
    EXPECT_NE(p.text.find("\r\n1 一二三四五六七八説明文\r\n2 短村      あ\r\n"), std::string::npos) << p.text;
    EXPECT_EQ(p.header, "長い名の市  \u3000民力：500");
}

// ------------------------------------------------------------------ visits

TEST(GameVisit, AtExactlyTheCostLeavesNothing) {
    Game g(12, {}, 600);
    writeTwoPrefectures(g.f, {4}, 0, 1);
    VisitMap map(g.s);
    map.fillPrefectures();
    map.choosePrefecture(1);
    auto p = map.chooseCity(3);  // 3, 5, 6, 7: record 7, cost 600
    ASSERT_EQ(map.chosenRecord(), 7);
    EXPECT_TRUE(p.visit.affordable);

    auto r = map.visit();
    EXPECT_EQ(r.outcome, VisitMap::Outcome::Visited);
    EXPECT_EQ(g.s.points, 0);
    EXPECT_EQ(pointsOnDisk(g.f), 0) << "the point file is written at the visit";
    auto flags = markFlags(g.f);
    std::vector<int> want(14, 0);
    want[3] = want[6] = 1;
    EXPECT_EQ(flags, want);
    EXPECT_EQ(homonCounts(g.f), (std::vector<int>{0, 2}));
    EXPECT_EQ(r.entries.size(), 10u);
    EXPECT_EQ(std::count(r.entries.begin(), r.entries.end(), padChars("町7", 20)), 0);
    EXPECT_FALSE(map.selected());

    auto again = map.visit();
    EXPECT_EQ(again.outcome, VisitMap::Outcome::NoMunicipality);
    EXPECT_EQ(again.message, kNoMunicipality);
}

TEST(GameVisit, RefusedVisitsChangeNoFile) {
    struct Case {
        const char* name;
        std::int32_t points;
        std::int32_t costOf7;
        bool otherPrefectureFirst;
        VisitMap::Outcome outcome;
        const char* message;
    };
    const Case cases[] = {
        {"one point short", 599, 600, false, VisitMap::Outcome::NotEnough, kNotEnoughPoints},
        {"another prefecture chosen since", 5000, 600, true, VisitMap::Outcome::NoMunicipality, kNoMunicipality},
        {"a total beyond 32 bits", 200000000, -2000000000, false, VisitMap::Outcome::OutOfRange, kVisitOutOfRange},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Game g(12, {}, c.points);
        writeTwoPrefectures(g.f, {}, 0, 0, c.costOf7);
        const std::string rangesBefore = readBytes(g.f.rangeFile());
        const std::string marksBefore = readBytes(g.f.visitMarks());
        VisitMap map(g.s);
        map.fillPrefectures();
        map.choosePrefecture(1);
        auto p = map.chooseCity(4);  // record 7
        ASSERT_EQ(map.chosenRecord(), 7);
        EXPECT_EQ(p.visit.affordable, c.points >= c.costOf7);
        if (c.otherPrefectureFirst) map.choosePrefecture(0);
        auto r = map.visit();
        EXPECT_EQ(r.outcome, c.outcome);
        EXPECT_EQ(r.message, c.message);
        EXPECT_EQ(g.s.points, c.points);
        EXPECT_EQ(pointsOnDisk(g.f), c.points);
        EXPECT_EQ(readBytes(g.f.rangeFile()), rangesBefore);
        EXPECT_EQ(readBytes(g.f.visitMarks()), marksBefore);
        EXPECT_FALSE(map.selected());
    }
}

TEST(GameVisit, AllOrNothingAtEveryFailurePoint) {
    auto setUp = [](Game& g, VisitMap& map) {
        writeTwoPrefectures(g.f, {5}, 0, 1);
        map.fillPrefectures();
        map.choosePrefecture(1);
        map.chooseCity(3);  // record 7
    };
    int points = 0;
    {
        Game g(12, {}, 1000);
        VisitMap map(g.s);
        setUp(g, map);
        FaultyIo counter;
        g.io.to = &counter;
        ASSERT_EQ(map.visit().outcome, VisitMap::Outcome::Visited);
        points = counter.points();
    }
    ASSERT_GT(points, 3);
    for (int k = 1; k <= points; ++k) {
        SCOPED_TRACE("failure at point " + std::to_string(k));
        Game g(12, {}, 1000);
        VisitMap map(g.s);
        setUp(g, map);
        const std::string ranges = readBytes(g.f.rangeFile()), marks = readBytes(g.f.visitMarks()),
                          pointFile = readBytes(g.f.pointFile());
        FaultyIo fail(k);
        g.io.to = &fail;
        bool threw = false;
        try {
            map.visit();
        } catch (const FileError&) {
            threw = true;
        }
        g.io.to = &g.io.real;
        const bool unchanged = readBytes(g.f.rangeFile()) == ranges && readBytes(g.f.visitMarks()) == marks &&
                               readBytes(g.f.pointFile()) == pointFile;
        if (g.s.points == 1000) {
            EXPECT_TRUE(threw);
            EXPECT_TRUE(unchanged) << "a failed visit leaves every file as it was";
        } else {
            EXPECT_EQ(g.s.points, 400);
            EXPECT_EQ(pointsOnDisk(g.f), 400);
            EXPECT_EQ(markFlags(g.f)[6], 1);
            EXPECT_EQ(homonCounts(g.f), (std::vector<int>{0, 2}));
        }
    }
}

TEST(GameVisit, TheLastMunicipalityCompletesItsPrefectureAtTheNextFill) {
    Game g(12, {}, 5000);
    writeTwoPrefectures(g.f, {1}, 1, 0);
    VisitMap map(g.s);
    EXPECT_EQ(map.fillPrefectures()[0], "\u3000\u3000県Ａ");
    map.choosePrefecture(0);
    map.chooseCity(0);  // record 2, the last one
    auto r = map.visit();
    ASSERT_EQ(r.outcome, VisitMap::Outcome::Visited);
    EXPECT_TRUE(r.entries.empty());
    EXPECT_EQ(homonCounts(g.f), (std::vector<int>{2, 0}));
    EXPECT_EQ(map.fillPrefectures()[0], "済\u3000県Ａ");
}

// -------------------------------------------------------------- start over

TEST(GameStartOver, PointsMarksAndCountsBackToZero) {
    Game g(12, {}, 1200);
    writeTwoPrefectures(g.f, {1, 3, 4, 9, 14}, 1, 4);
    VisitMap map(g.s);
    map.fillPrefectures();
    map.startOver();
    EXPECT_EQ(g.s.points, 0);
    EXPECT_EQ(pointsOnDisk(g.f), 0);
    EXPECT_EQ(markFlags(g.f), std::vector<int>(14, 0));
    {
        PosixIo io;
        RecordFile marks(io, g.f.visitMarks(), Homon::kLength);
        EXPECT_EQ(Homon::decode(marks.get(9)).HomonRec1, 9) << "record numbers are kept";
    }
    EXPECT_EQ(homonCounts(g.f), (std::vector<int>{0, 0}));
    EXPECT_EQ(map.fillPrefectures(), (std::vector<std::string>{"\u3000\u3000県Ａ", "\u3000\u3000県Ｂ"}));
}

TEST(GameStartOver, AnUnreadableRangeFileStopsItBeforeAnyWrite) {
    Game g(12, {}, 1200);
    writeTwoPrefectures(g.f, {3}, 0, 1);
    writeBytes(g.f.rangeFile(), sjisLines("1,0,\"県Ａ\",1\n"));  // a short line
    const std::string marks = readBytes(g.f.visitMarks());
    VisitMap map(g.s);
    EXPECT_THROW(map.startOver(), FileError);
    EXPECT_EQ(pointsOnDisk(g.f), 1200);
    EXPECT_EQ(g.s.points, 1200);
    EXPECT_EQ(readBytes(g.f.visitMarks()), marks);
}

TEST(GameStartOver, AnEarlierChoiceStaysInEffect) {
    Game g(12, {}, 600);
    writeTwoPrefectures(g.f, {}, 0, 0);
    VisitMap map(g.s);
    map.fillPrefectures();
    map.choosePrefecture(1);
    map.chooseCity(4);  // record 7, cost 600
    map.startOver();
    auto r = map.visit();
    EXPECT_EQ(r.outcome, VisitMap::Outcome::NotEnough);
}
