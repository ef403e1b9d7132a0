// SPDX-License-Identifier: GPL-3.0-or-later
// The review scheduler, the memory file and the review queue and tallies.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <random>

#include "core/files/cp932.h"
#include "core/files/error.h"
#include "core/files/visit_state.h"
#include "core/quiz/fsrs.h"
#include "core/quiz/memory.h"
#include "core/quiz/questions.h"
#include "core/quiz/review.h"
#include "support/faulty_io.h"
#include "support/folder_checks.h"
#include "support/memory_book.h"
#include "support/question_bank.h"
#include "support/temp_folder.h"

namespace tabinowa {
namespace {

using fsrs::Grade;
using fsrs::Scheduler;
using testing::FaultyIo;
using testing::TempProgramFolder;

// Worked values, computed by hand from the published FSRS-6 formulas with the
// default weights w0..w20 (w20 = 0.2):
//   decay  = -w20 = -0.2;   factor = 0.9^(1/decay) - 1 = 0.9^-5 - 1 = 0.693508780843
//   D0(G)  = w4 - e^(w5 (G - 1)) + 1
//            D0(1) = 7.0114 - 1 + 1 = 7.0114          D0(2) = 8.0114 - e^0.57 = 6.243133
//            D0(3) = 8.0114 - e^1.14 = 4.884632       D0(4) = 8.0114 - e^1.71 = 2.482439
//   S0(G)  = w(G-1): 0.2172, 1.1771, 3.2602, 16.1507
//   I(r,S) = S / factor * (r^(1/decay) - 1), rounded, at least 1:
//            r = 0.9  -> I = S exactly
//            r = 0.8  -> (0.8^-5 - 1) / factor = 2.0517578 / 0.6935088 = 2.958530 times S
//            r = 0.97 -> (0.97^-5 - 1) / factor = 0.1646037 / 0.6935088 = 0.237206 times S
TEST(Fsrs, FirstAnswer) {
    const Scheduler s;
    struct Case { Grade g; double stability, difficulty; };
    const Case cases[] = {
        {Grade::Again, 0.2172, 7.0114},
        {Grade::Hard, 1.1771, 6.243133},
        {Grade::Good, 3.2602, 4.884632},
        {Grade::Easy, 16.1507, 2.482439},
    };
    for (const auto& c : cases) {
        const auto st = s.first(c.g);
        EXPECT_NEAR(st.stability, c.stability, 1e-6) << static_cast<int>(c.g);
        EXPECT_NEAR(st.difficulty, c.difficulty, 1e-6) << static_cast<int>(c.g);
    }
}

TEST(Fsrs, IntervalForRetention) {
    struct Case { double retention, stability; int days; };
    const Case cases[] = {
        {0.9, 3.2602, 3},     // = S
        {0.9, 16.1507, 16},
        {0.9, 0.2172, 1},     // 0.2172 rounds to 0: at least one day
        {0.8, 3.2602, 10},    // 2.958530 * 3.2602 = 9.645359
        {0.8, 16.1507, 48},   // 2.958530 * 16.1507 = 47.782127
        {0.8, 100, 296},      // 295.852
        {0.97, 16.1507, 4},   // 0.237206 * 16.1507 = 3.831054
        {0.97, 100, 24},      // 23.7207
        {0.9, 1e6, 36500},    // capped at 100 years
    };
    for (const auto& c : cases)
        EXPECT_EQ(Scheduler(c.retention).intervalDays(c.stability), c.days) << c.retention << " " << c.stability;
}

TEST(Fsrs, RetentionOutsideRangeIsRefused) {
    for (double r : {0.79, 0.5, 0.98, 1.0, std::nan("")}) EXPECT_THROW(Scheduler{r}, std::invalid_argument) << r;
    for (double r : {0.80, 0.85, 0.97}) EXPECT_NO_THROW(Scheduler{r}) << r;
}

TEST(Fsrs, RetrievabilityIsNinetyPercentAtStability) {
    const Scheduler s;
    for (double st : {0.5, 3.2602, 40.0}) EXPECT_NEAR(s.retrievability(st, st), 0.9, 1e-12);
    // (1 + 0.6935088 * 3 / 3.2602)^-0.2 = 1.638153^-0.2 = 0.906001
    EXPECT_NEAR(s.retrievability(3, 3.2602), 0.906001, 1e-6);
}

// A first "good" (S = 3.2602, D = 4.884632), then a second answer 3 days later,
// R = 0.906001:
//   difficulty: delta = -w6 (G - 3); D' = D + delta (10 - D) / 9;
//               D'' = w7 D0(4) + (1 - w7) D'
//     again: D' = 4.884632 + 4.1932 * 5.115368 / 9 = 7.267918 -> D'' = 7.234919
//     hard:  D' = 4.884632 + 2.0966 * 0.568374 = 6.076289 -> D'' = 6.051488
//     good:  D' = D -> D'' = 0.0069 * 2.482439 + 0.9931 * 4.884632 = 4.868057
//     easy:  D' = 4.884632 - 2.0966 * 0.568374 = 3.692975 -> D'' = 3.684625
//   recall: S' = S (1 + e^w8 (11 - D) S^-w9 (e^(w10 (1 - R)) - 1) * w15 if hard * w16 if easy)
//     e^1.5261 = 4.600; (11 - D) = 6.115368; S^-0.112 = 0.876; e^(1.0178 * 0.093999) - 1 = 0.100383
//     good: S' = 3.2602 * (1 + 2.474282) = 11.326707
//     hard: S' = 3.2602 * (1 + 2.474282 * 0.2191) = 5.027572
//     easy: S' = 3.2602 * (1 + 2.474282 * 3.0004) = 27.462946
//   forgetting: min(w11 D^-w12 ((S + 1)^w13 - 1) e^(w14 (1 - R)), S / e^(w17 w18))
//     = min(1.849 * 0.835643 * 0.573686 * 1.240054, 3.2602 / 1.285440) = min(1.098826, 2.536256) = 1.098826
TEST(Fsrs, SecondAnswerAfterThreeDays) {
    const Scheduler s;
    const auto start = s.first(Grade::Good);
    struct Case { Grade g; double stability, difficulty; int interval; };
    const Case cases[] = {
        {Grade::Again, 1.098826, 7.234919, 1},
        {Grade::Hard, 5.027572, 6.051488, 5},
        {Grade::Good, 11.326707, 4.868057, 11},
        {Grade::Easy, 27.462946, 3.684625, 27},
    };
    for (const auto& c : cases) {
        const auto st = s.next(start, 3, c.g);
        EXPECT_NEAR(st.stability, c.stability, 1e-5) << static_cast<int>(c.g);
        EXPECT_NEAR(st.difficulty, c.difficulty, 1e-5) << static_cast<int>(c.g);
        EXPECT_EQ(s.intervalDays(st.stability), c.interval) << static_cast<int>(c.g);
    }
}

// Same day (0 days): S' = S e^(w17 (G - 3 + w18)) S^-w19, and not below S for good and easy.
//   S^-0.1437 = 3.2602^-0.1437 = 0.843752
//   again: 3.2602 * e^(0.7536 * -1.6668) * 0.843752 = 0.783382
//   hard:  3.2602 * e^(0.7536 * -0.6668) * 0.843752 = 1.664401
//   good:  3.2602 * e^(0.7536 *  0.3332) * 0.843752 = 3.536244
//   easy:  3.2602 * e^(0.7536 *  1.3332) * 0.843752 = 7.513227
TEST(Fsrs, SameDayAnswer) {
    const Scheduler s;
    const auto start = s.first(Grade::Good);
    const std::pair<Grade, double> cases[] = {
        {Grade::Again, 0.783382}, {Grade::Hard, 1.664401}, {Grade::Good, 3.536244}, {Grade::Easy, 7.513227}};
    for (const auto& [g, stability] : cases)
        EXPECT_NEAR(s.next(start, 0, g).stability, stability, 1e-5) << static_cast<int>(g);
    // A large stability would shrink on a same-day "good": it is held.
    const fsrs::State big{500, 5};
    EXPECT_DOUBLE_EQ(s.next(big, 0, Grade::Good).stability, 500);
}

// The wait each grade gives is what the answer then sets, and a better grade
// always waits longer: a new question (again 0.2 and hard 1.2 days are both
// one day when rounded), one answered the same day (every grade under a day),
// one long learnt, one at the maximum, at the bounds of the retention.
TEST(Fsrs, EveryGradeHasItsOwnWaitAndTheAnswerKeepsIt) {
    struct Case {
        const char* name;
        double retention;
        fsrs::State state;
        int elapsed;
        std::array<int, 4> days;  // {} where only the order is checked
    };
    const Case cases[] = {
        {"new", 0.9, {}, 0, {1, 2, 3, 16}},
        {"again today, asked again today", 0.9, {0.2172, 7.0114}, 0, {}},
        {"good three days ago", 0.9, {3.2602, 4.884632}, 3, {}},
        {"learnt for years", 0.97, {3000, 3}, 400, {}},
        {"at the maximum", 0.80, {60000, 1}, 10000, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Scheduler s(c.retention);
        const auto next = s.schedule(c.state, c.elapsed);
        for (std::size_t i = 0; i < 4; ++i) {
            EXPECT_GE(next[i].days, 1);
            EXPECT_LE(next[i].days, fsrs::kMaximumInterval);
            if (i > 0 && next[i - 1].days < fsrs::kMaximumInterval) EXPECT_GT(next[i].days, next[i - 1].days) << i;
            const auto grade = static_cast<Grade>(i + 1);
            const auto state = c.state.graded() ? s.next(c.state, c.elapsed, grade) : s.first(grade);
            EXPECT_DOUBLE_EQ(next[i].state.stability, state.stability) << i;
        }
        if (c.days != std::array<int, 4>{}) {
            EXPECT_EQ((std::array<int, 4>{next[0].days, next[1].days, next[2].days, next[3].days}), c.days);
        }

        // The memory sets the due day the grade buttons announce.
        MemoryBook b;
        b.retention = c.retention;
        if (c.state.graded()) {
            Card card;
            card.state = c.state;
            card.lastDay = 1000 - c.elapsed;
            card.dueDay = 1000;
            b.cards["q"] = card;
        }
        const auto shown = b.nextIntervals("q", 1000);
        for (std::size_t i = 0; i < 4; ++i)
            EXPECT_EQ(b.applied("q", static_cast<Outcome>(i), 1000).dueDay - 1000, shown[i]) << i;
    }
}

TEST(Fsrs, DifficultyStaysWithinOneToTen) {
    const Scheduler s;
    fsrs::State st = s.first(Grade::Again);
    for (int i = 0; i < 50; ++i) st = s.next(st, 1, Grade::Again);
    EXPECT_LE(st.difficulty, 10.0);
    for (int i = 0; i < 200; ++i) st = s.next(st, 1, Grade::Easy);
    EXPECT_GE(st.difficulty, 1.0);
}

// --- the memory file -------------------------------------------------------

Mondai question(int n) { return testing::sampleQuestion(n, true); }

MemoryBook sampleBook() { return testing::sampleMemoryBook(); }

TEST(MemoryFile, RoundTripKeepsEverything) {
    const MemoryBook b = sampleBook();
    const std::string text = b.serialize();
    const MemoryBook back = MemoryBook::parse(text, "記憶.txt");
    EXPECT_EQ(back.retention, 0.85);
    ASSERT_EQ(back.days.size(), 2u);
    EXPECT_EQ(back.days.at(20000).right, 3);
    EXPECT_EQ(back.days.at(20001).wrong, 2);
    ASSERT_EQ(back.cards.size(), 2u);
    const Card& c = back.cards.at("a\tb\\c\r\nd");
    EXPECT_EQ(c.state.stability, 11.326706579101865);  // exactly: shortest round-trip form
    EXPECT_EQ(c.state.difficulty, 4.868056502338024);
    EXPECT_EQ(c.dueDay, 20012);
    EXPECT_TRUE(c.lastWrong);
    EXPECT_FALSE(c.mastered);
    EXPECT_TRUE(back.cards.at("問題\n答え").mastered);
    EXPECT_EQ(back.serialize(), text);
}

// The file's layout, byte for byte: what every copy of the program reads.
TEST(MemoryFile, LayoutIsPinned) {
    EXPECT_EQ(sampleBook().serialize(),
              "tabinowa-memory\t1\n"
              "retention\t0.85\n"
              "day\t20000\t3\t1\n"
              "day\t20001\t0\t2\n"
              "card\t11.326706579101865\t4.868056502338024\t20001\t20012\t2\t1\t-W\ta\\tb\\\\c\\r\\nd\n"
              "card\t0\t0\t0\t56500\t0\t0\tM-\t問題\\n答え\n"
              "end\t2\t6d2cdb58e9ffa177\n");
    EXPECT_EQ(MemoryBook{}.serialize(), "tabinowa-memory\t1\nretention\t0.9\nend\t0\t83d9f4cb6df9ce44\n");
}

// Every broken file is refused with a message naming the file and the line.
TEST(MemoryFile, BrokenFilesAreRefused) {
    const std::string good = sampleBook().serialize();
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string t = good;
        const auto at = t.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return t.replace(at, from.size(), to);
    };
    struct Case { std::string name, text, line; };
    const Case cases[] = {
        {"empty", "", "1行目"},
        {"other header", "something\t1\n", "1行目"},
        {"newer version", replaced("tabinowa-memory\t1", "tabinowa-memory\t2"), "1行目"},
        {"cut short", good.substr(0, good.size() / 2), ""},
        {"no end line", good.substr(0, good.rfind("end\t")), ""},
        {"last newline missing", good.substr(0, good.size() - 1), ""},
        {"changed digit", replaced("day\t20000\t3", "day\t20000\t4"), "行目"},
        {"retention out of range", replaced("retention\t0.85", "retention\t0.99"), "2行目"},
        {"bad mark", replaced("\t-W\t", "\tXW\t"), "行目"},
        {"unknown line", replaced("day\t20001", "dya\t20001"), "4行目"},
        {"days out of order", replaced("day\t20001", "day\t19999"), "4行目"},
        {"garbage after end", good + "card\n", "行目"},
    };
    for (const auto& c : cases) {
        try {
            MemoryBook::parse(c.text, "記憶.txt");
            ADD_FAILURE() << c.name << ": accepted";
        } catch (const FileError& e) {
            const std::string what = e.what();
            EXPECT_NE(what.find("記憶.txt"), std::string::npos) << c.name << ": " << what;
            EXPECT_NE(what.find(c.line), std::string::npos) << c.name << ": " << what;
        }
    }
}

TEST(MemoryFile, ChecksumCatchesAChangeInAKey) {
    std::string text = sampleBook().serialize();
    text[text.find("問題")] ^= 1;
    EXPECT_THROW(MemoryBook::parse(text, "記憶.txt"), FileError);
}

TEST(MemoryKey, IsTheQuestionAndItsAnswerWithoutPadding) {
    Mondai a = question(1);
    Mondai b = question(1);
    b.Mondai1 += "   ";
    b.Kotae += "  ";
    b.InyoNo = 99;  // another record number, another source: the same question
    EXPECT_EQ(memoryKey(a), memoryKey(b));
    Mondai c = question(1);
    c.Kotae = "別の答え";
    EXPECT_NE(memoryKey(a), memoryKey(c));
}

TEST(QuestionFacts, KindAndPrefectureFromTheTexts) {
    struct Case { std::string mondai1, bikou; std::string kind; int pref; };
    const Case cases[] = {
        {"【読み】市町村名の読み方", "市01100", "【読み】", 1},
        {"【合併】合併の年", "旧36463", "【合併】", 36},
        {"【人口】北海道の市町村", "県47", "【人口】", 47},
        {"第1問", "", "", 0},
        {"【閉じない", "県48", "", 0},
        {"【郡】町村", "市4x", "【郡】", 0},
        {"【郡】町村", "市", "【郡】", 0},
    };
    for (const auto& c : cases) {
        Mondai m = question(1);
        m.Mondai1 = c.mondai1;
        m.Bikou[0] = c.bikou;
        EXPECT_EQ(questionKind(m), c.kind) << c.mondai1;
        EXPECT_EQ(questionPrefecture(m), c.pref) << c.bikou;
    }
    EXPECT_EQ(prefectureName(13), "東京都");
    EXPECT_EQ(prefectureName(48), "");
}

TEST(LocalDay, CountsCalendarDaysAndGivesTheDateBack) {
    // Noon local time on known dates, so that no time zone moves the date.
    struct Case { int y, m, d; std::int32_t day; };
    const Case cases[] = {{1970, 1, 1, 0},        {2000, 3, 1, 11017},   {2026, 12, 7, 20794},
                          {2024, 2, 29, 19782},   {1969, 12, 31, -1},    {2023, 12, 31, 19722}};
    for (const auto& c : cases) {
        const CivilDate back = civilDate(c.day);
        EXPECT_EQ(back.year * 10000 + back.month * 100 + back.day, c.y * 10000 + c.m * 100 + c.d) << c.day;
        std::tm t{};
        t.tm_year = c.y - 1900;
        t.tm_mon = c.m - 1;
        t.tm_mday = c.d;
        t.tm_hour = 12;
        t.tm_isdst = -1;
        EXPECT_EQ(localDay(std::mktime(&t)), c.day) << c.y << "-" << c.m << "-" << c.d;
    }
}

// --- queue and tallies ------------------------------------------------------

std::vector<BankQuestion> bankOf(int n) {
    std::vector<BankQuestion> bank;
    for (int i = 1; i <= n; ++i)
        bank.push_back({i, "q" + std::to_string(i), i % 2 ? "【読み】" : "【合併】", i <= 3 ? 1 : 13, false});
    return bank;
}

Card graded(std::int32_t due, bool wrong = false) {
    Card c;
    c.state = {3, 5};
    c.dueDay = due;
    c.lastWrong = wrong;
    (wrong ? c.wrong : c.right) = 1;
    return c;
}

TEST(ReviewQueue, DueThenWrongThenNew) {
    auto bank = bankOf(8);
    bank[7].removed = true;  // q8 removed in training
    MemoryBook b;
    b.cards["q5"] = graded(50);        // due, oldest
    b.cards["q2"] = graded(60);        // due
    b.cards["q3"] = graded(61, true);  // wrong, due tomorrow
    b.cards["q4"] = graded(90);        // right, not due
    Card m = graded(40);
    m.mastered = true;
    b.cards["q6"] = m;                  // mastered: never asked
    b.cards["q8"] = graded(10);         // removed in the file: never asked
    const auto q = buildReviewQueue(bank, b, 60);
    EXPECT_EQ(q.records, (std::vector<int>{5, 2, 3, 1, 7}));
    EXPECT_EQ(q.due, 2);
    EXPECT_EQ(q.wrong, 1);
    EXPECT_EQ(q.fresh, 2);
    EXPECT_EQ(dueCount(bank, b, 60), 2);
    EXPECT_EQ(dueCount(bank, b, 49), 0);

    struct Case { ReviewFilter f; std::vector<int> records; };
    const Case cases[] = {
        {{"【読み】", 0}, {5, 3, 1, 7}},
        {{"【合併】", 0}, {2}},
        {{"", 1}, {2, 3, 1}},
        {{"【読み】", 13}, {5, 7}},
        {{"【面積】", 0}, {}},
    };
    for (const auto& c : cases) EXPECT_EQ(buildReviewQueue(bank, b, 60, c.f).records, c.records) << c.f.kind << c.f.prefecture;
}

// One rule places a question in the day's review; an answer given today, right
// or wrong, takes it out of every group until it is due, so the counts left
// after some answers are those of a queue built afresh (after a restart).
TEST(ReviewQueue, AnAnswerTodayLeavesTheDaysReviewAndTheCountsLeftAgreeWithARebuild) {
    struct GroupCase { const char* name; std::optional<Card> card; ReviewGroup group; };
    Card wrongYesterday = graded(70, true);
    wrongYesterday.lastDay = 59;
    Card wrongToday = graded(61, true);
    wrongToday.lastDay = 60;
    Card dueAnsweredToday = graded(60);
    dueAnsweredToday.lastDay = 60;  // a same-day grade due today (an interval of 0 days)
    Card removed;
    removed.mastered = true;
    const GroupCase groups[] = {
        {"never answered", std::nullopt, ReviewGroup::Fresh},
        {"removed before any answer", removed, ReviewGroup::None},
        {"due yesterday", graded(59), ReviewGroup::Due},
        {"due today", dueAnsweredToday, ReviewGroup::Due},
        {"right, not due", graded(61), ReviewGroup::None},
        {"wrong yesterday, not due", wrongYesterday, ReviewGroup::Wrong},
        {"wrong today, not due", wrongToday, ReviewGroup::None},
    };
    for (const auto& g : groups)
        EXPECT_EQ(reviewGroup(g.card ? &*g.card : nullptr, 60), g.group) << g.name;

    // A bank of 12: 3 due, 2 wrong yesterday, 1 wrong today, 6 new; answered
    // in queue order with every outcome in turn.
    const auto bank = bankOf(12);
    MemoryBook b;
    for (int i : {1, 2, 3}) b.cards["q" + std::to_string(i)] = graded(50 + i);
    for (int i : {4, 5}) b.cards["q" + std::to_string(i)] = wrongYesterday;
    b.cards["q6"] = wrongToday;
    const auto start = buildReviewQueue(bank, b, 60);
    ASSERT_EQ(start.due, 3);
    ASSERT_EQ(start.wrong, 2);
    ASSERT_EQ(start.fresh, 6);
    EXPECT_EQ(b.dueCount(60), start.due) << "the menu's count is the review's";
    for (std::size_t answered = 1; answered <= start.records.size(); ++answered) {
        const std::string key = "q" + std::to_string(start.records[answered - 1]);
        b.cards[key] = b.applied(key, static_cast<Outcome>(answered % 4), 60);
        const auto left = start.left(answered);
        const auto rebuilt = buildReviewQueue(bank, b, 60);
        EXPECT_EQ(left.total, static_cast<int>(rebuilt.records.size())) << answered;
        EXPECT_EQ(left.due, rebuilt.due) << answered;
        EXPECT_EQ(left.wrong, rebuilt.wrong) << answered;
        EXPECT_EQ(left.fresh, rebuilt.fresh) << answered;
        EXPECT_EQ(b.dueCount(60), rebuilt.due) << answered;
    }
    // The next day those answered wrong come back, due.
    EXPECT_GE(buildReviewQueue(bank, b, 61).due, 1);
}

TEST(ReviewQueue, TheDueCountOfTheMemoryAloneIsTheBanksWhenTheMemoryHoldsOnlyTheBank) {
    MemoryBook b;
    b.cards["q1"] = graded(59);                 // overdue
    b.cards["q2"] = graded(60);                 // due today
    b.cards["q3"] = graded(61);                 // tomorrow
    Card mastered = graded(10);
    mastered.mastered = true;
    b.cards["q4"] = mastered;                   // removed in training
    b.cards["q5"] = Card{};                     // never graded
    b.cards["q6"] = graded(1, true);            // wrong, overdue
    const auto bank = bankOf(6);
    struct Case { std::int32_t today; int due; };
    for (const Case c : {Case{0, 0}, Case{1, 1}, Case{59, 2}, Case{60, 3}, Case{61, 4}, Case{100000, 4}}) {
        EXPECT_EQ(b.dueCount(c.today), c.due) << c.today;
        EXPECT_EQ(b.dueCount(c.today), dueCount(bank, b, c.today)) << c.today;
    }
}

TEST(Stats, PerKindAndPrefecture) {
    auto bank = bankOf(6);
    bank[0].removed = true;
    MemoryBook b;
    b.cards["q1"] = graded(5);
    b.cards["q3"] = graded(5, true);
    Card c = graded(5);
    c.right = 3;
    b.cards["q4"] = c;
    const auto kinds = statsByKind(bank, b);
    ASSERT_EQ(kinds.size(), 3u);
    EXPECT_EQ(kinds[0].name, "【読み】");  // q1 q3 q5
    EXPECT_EQ(kinds[0].questions, 3);
    EXPECT_EQ(kinds[0].seen, 2);
    EXPECT_EQ(kinds[0].mastered, 1);
    EXPECT_EQ(rightRate(kinds[0]), "50.0％");
    EXPECT_EQ(kinds[1].name, "【合併】");
    EXPECT_EQ(rightRate(kinds[1]), "100.0％");
    EXPECT_EQ(kinds[2].name, "合計");
    EXPECT_EQ(kinds[2].questions, 6);
    EXPECT_EQ(kinds[2].answers, 5);
    EXPECT_EQ(rightRate(kinds[2]), "80.0％");
    const auto prefs = statsByPrefecture(bank, b);
    ASSERT_EQ(prefs.size(), 3u);
    EXPECT_EQ(prefs[0].name, "北海道");
    EXPECT_EQ(prefs[1].name, "東京都");
    EXPECT_EQ(prefs[1].questions, 3);
    EXPECT_EQ(rightRate(StatRow{}), "－");
    StatRow third{"", 0, 0, 1, 3, 0};
    EXPECT_EQ(rightRate(third), "33.3％");
    StatRow twoThirds{"", 0, 0, 2, 3, 0};
    EXPECT_EQ(rightRate(twoThirds), "66.7％");
}

TEST(Stats, DaysBackAndAhead) {
    MemoryBook b;
    b.days[70] = {5, 0};   // 30 days before today: outside
    b.days[71] = {1, 2};   // first of the 30
    b.days[100] = {4, 4};  // today
    b.days[101] = {9, 9};  // tomorrow: not yet
    const auto back = answersLast30(b, 100);
    EXPECT_EQ(back[0], 3);
    EXPECT_EQ(back[29], 8);
    int sum = 0;
    for (int v : back) sum += v;
    EXPECT_EQ(sum, 11);

    auto bank = bankOf(4);
    b.cards["q1"] = graded(90);   // overdue: today
    b.cards["q2"] = graded(100);  // today
    b.cards["q3"] = graded(129);  // last of the 30
    b.cards["q4"] = graded(130);  // beyond
    const auto ahead = dueNext30(bank, b, 100);
    EXPECT_EQ(ahead[0], 2);
    EXPECT_EQ(ahead[29], 1);
}

TEST(Progress, CountAgainstTotal) {
    struct Case { int done, total; std::string line; };
    const Case cases[] = {
        {3, 13024, "3 / 13,024件（0.02％）"},
        {0, 13024, "0 / 13,024件（0.00％）"},
        {13023, 13024, "13,023 / 13,024件（99.99％）"},  // cut, never shown as 100
        {13024, 13024, "13,024 / 13,024件（100.00％）"},
        {1, 3, "1 / 3件（33.33％）"},
        {0, 0, "0 / 0件（0.00％）"},
        {1234567, 1234567, "1,234,567 / 1,234,567件（100.00％）"},
    };
    for (const auto& c : cases) EXPECT_EQ(progressLine(c.done, c.total), c.line);
}

// The bank reads its texts from the raw bytes (trimmed before conversion, the
// prefecture without converting): it must agree with the whole record decoded.
TEST(Bank, RawReadingAgreesWithTheDecodedRecord) {
    struct Case {
        const char* first;
        const char* answer;
        const char* note;
        int prefecture;
        const char* kind;
    };
    const Case cases[] = {
        {"【読み】市町村名", "答え", "市01100", 1, "【読み】"},
        {"【合併】", "答え\t", "旧36463", 36, "【合併】"},
        {"読み】だけ", "答え　", "県47", 47, ""},
        {"【閉じない", "ア\t \t", "県48", 0, ""},
        {"【】", "ｱｲｳ  ", "市9", 0, "【】"},
        {"　【全角の空白】", "表", "市ab100", 0, ""},
        {"【表】ソ", "ソ", "町01100", 0, "【表】"},
        {"【読み】", "", "県0", 0, "【読み】"},
        {"【読み】", "答", " 市01", 0, "【読み】"},
    };
    std::vector<Mondai> questions;
    for (const auto& c : cases) {
        Mondai m = question(static_cast<int>(questions.size()) + 1);
        m.Mondai1 = c.first;
        m.Kotae = c.answer;
        m.Bikou[0] = c.note;
        questions.push_back(m);
    }
    TempProgramFolder dir;
    PosixIo io;
    testing::writeBank(dir.folders(), questions);
    const auto bank = readBank(io, dir.folders());
    ASSERT_EQ(bank.size(), std::size(cases));
    QuestionFile file(io, dir.folders());
    for (std::size_t i = 0; i < bank.size(); ++i) {
        SCOPED_TRACE(cases[i].first);
        const Mondai m = file.get(static_cast<int>(i + 1));
        EXPECT_EQ(bank[i].key, memoryKey(m));
        EXPECT_EQ(bank[i].kind, questionKind(m));
        EXPECT_EQ(bank[i].kind, cases[i].kind);
        EXPECT_EQ(bank[i].prefecture, questionPrefecture(m));
        EXPECT_EQ(bank[i].prefecture, cases[i].prefecture);
    }
}

TEST(Bank, ReadsKeysKindsAndRemovals) {
    TempProgramFolder dir;
    PosixIo io;
    auto questions = testing::sampleBank(3, {2}, true);
    questions[0].Mondai1 = "【読み】市町村名の読み方";
    questions[0].Bikou[0] = "市01100";
    questions[2].Kotae = "答え　";            // ends in a two-byte blank (0x81 0x40)
    questions[2].Mondai2 = std::string(390, 'x');  // padding shorter than a word
    testing::writeBank(dir.folders(), questions);
    const auto bank = readBank(io, dir.folders());
    ASSERT_EQ(bank.size(), 3u);
    // The keys from the four fields alone are those of the whole records as read back.
    QuestionFile file(io, dir.folders());
    for (int n = 1; n <= 3; ++n) EXPECT_EQ(bank[static_cast<std::size_t>(n - 1)].key, memoryKey(file.get(n))) << n;
    EXPECT_EQ(bank[0].kind, "【読み】");
    EXPECT_EQ(bank[0].prefecture, 1);
    EXPECT_EQ(bank[0].key, memoryKey(questions[0]));
    EXPECT_TRUE(bank[1].removed);
    EXPECT_EQ(bank[2].record, 3);
    // a missing bank is named, never read as an empty one nor created
    TempProgramFolder empty;
    EXPECT_THROW(readBank(io, empty.folders()), FileError);
    EXPECT_FALSE(std::filesystem::exists(empty.folders().questionRecords()));
}


// --- the bank -----------------------------------------------------------------

// One record with raw CP932 bytes put into its texts where encoding cannot
// give them (duplicate codes, invalid bytes).
struct RawRecord {
    RawRecord(Mondai question, std::size_t where = 0, std::string raw = {})
        : m(std::move(question)), at(where), bytes(std::move(raw)) {}
    Mondai m;
    std::size_t at;  // 0: none
    std::string bytes;
};

std::string encodeRaw(const std::vector<RawRecord>& records) {
    std::string out;
    for (const auto& r : records) {
        std::string one = r.m.encode("test");
        if (r.at != 0) one.replace(r.at, r.bytes.size(), r.bytes);
        out += one;
    }
    return out;
}

// Where the texts of a record lie (the record layout).
constexpr std::size_t kMondai1At = 2022, kMondai2At = 2176, kKotaeAt = 1018;

Mondai texts(const std::string& first, const std::string& second, const std::string& answer, const char* note = "",
             std::int16_t removed = 0) {
    Mondai m = testing::sampleQuestion(1);
    m.Mondai1 = first;
    m.Mondai2 = second;
    m.Kotae = answer;
    m.Bikou[0] = note;
    m.Syokyo = removed;
    return m;
}

// The bank reader agrees with the record decoder the training window uses
// on every question: key, kind, prefecture, removal (any non-zero flag,
// either byte); and the queue over a memory in every state is spelled out.
TEST(ReviewBank, AgreesWithTheRecordDecoder) {
    const std::vector<RawRecord> records = {
        {texts("【読み】市町村名", "札幌市の読みは？", "さっぽろし", "市01100")},
        {texts("【読み】市町村名", "札幌市の読みは？", "さっぽろし　", "市01100")},   // ends in a two-byte blank: another key
        {texts("【読み】市町村名", "札幌市の読みは？", "さっぽろし \t ", "市01100")},  // trailing blanks and tabs: the same key
        {texts("【読み】市町村名", "函館市の読みは？", "さっぽろし", "市01202")},     // differs after the first text only
        {texts("【読み】市町村名", "札幌市の読みは？", "ｻｯﾎﾟﾛｼ", "市01100")},        // half-width
        {texts("【合併】", "", "", "旧36463")},                                       // empty texts
        {texts("【面積】広い順", "どちらが広い？", "Ａ", "県13", 1)},                  // removed
        {texts("【面積】広い順", "x", std::string(250, 'y'), "県13")},                // a full field
        {texts("読み】のみ", "x", "y")},                                              // no kind
        {texts("【とじない", "x", "y")},
        {texts("AB", "x", "y"), kMondai2At, "\x87\x90"},                            // ≒ from the NEC row (not canonical)
        {texts("AB", "x", "y"), kMondai2At, "\x81\xE0"},                            // ≒ as JIS writes it: the same key
        {texts("【県名】", "CD", "y"), kMondai1At + 8, "\xED\x40"},                 // an NEC-selected IBM kanji
        {texts("【県名】", "CD", "y"), kMondai1At + 8, "\xFA\x5C"},                 // the same kanji, IBM's code
        {texts("【県名】", "EF", "y", "県01", 256)},                                  // removed by the flag's high byte alone
        {texts("【県名】", "GH", "y", "県01", -1)},                                   // removed by another program's -1
    };
    TempProgramFolder dir;
    PosixIo io;
    const std::string bytes = encodeRaw(records);
    testing::writeBytes(dir.folders().questionRecords(), bytes);
    const auto bank = readBank(io, dir.folders());
    ASSERT_EQ(bank.size(), records.size());
    for (std::size_t i = 0; i < bank.size(); ++i) {
        SCOPED_TRACE(i + 1);
        const Mondai m = Mondai::decode(std::string_view(bytes).substr(i * Mondai::kLength, Mondai::kLength), "test");
        EXPECT_EQ(bank[i].record, static_cast<int>(i + 1));
        EXPECT_EQ(bank[i].key, memoryKey(m));
        EXPECT_EQ(bank[i].kind, questionKind(m));
        EXPECT_EQ(bank[i].prefecture, questionPrefecture(m));
        EXPECT_EQ(bank[i].removed, m.Syokyo != 0);
    }
    EXPECT_EQ(bank[0].key, bank[2].key);
    EXPECT_NE(bank[0].key, bank[1].key);
    EXPECT_EQ(bank[10].key, bank[11].key);
    EXPECT_EQ(bank[12].key, bank[13].key);
    EXPECT_TRUE(bank[14].removed);
    EXPECT_TRUE(bank[15].removed);
    EXPECT_EQ(bank[0].prefecture, 1);
    EXPECT_EQ(bank[5].prefecture, 36);
    const ReviewBank review = readReviewBank(io, dir.folders());
    EXPECT_EQ(review.kinds, (std::vector<std::string>{"【読み】", "【合併】", "【面積】", "【県名】"}));
    EXPECT_TRUE(review.difficulty.empty());  // no difficulty file

    // a memory of some of them in every state, and a card for no question
    MemoryBook book;
    const std::vector<std::pair<std::size_t, Card>> states = {
        {0, graded(50)}, {1, graded(60, true)}, {3, graded(61, true)}, {4, graded(90)},
        {5, graded(40)}, {6, graded(10)}, {7, graded(55)}, {10, graded(59)}, {12, graded(58, true)},
    };
    for (const auto& [i, card] : states) book.cards[bank[i].key] = card;
    Card mastered = graded(40);
    mastered.mastered = true;
    book.cards[bank[8].key] = mastered;
    book.cards["【読み】どこにもない\nx\ny"] = graded(1);
    // the queue at day 60 over everything, spelled out
    EXPECT_EQ(buildReviewQueue(bank, book, 60).records, (std::vector<int>{6, 1, 3, 8, 13, 14, 11, 12, 2, 4, 10}));
}

// Bytes that are not CP932 fail the bank, even in a removed question, naming the record.
TEST(ReviewBank, BrokenTextsFailNamingTheRecord) {
    for (const auto& [at, bytes] : {std::pair<std::size_t, std::string>{kMondai1At, "\x81\x7F"},
                                    {kMondai2At + 3, "\x80"}, {kKotaeAt, "\xFF\xFF"}}) {
        std::vector<RawRecord> records = {{texts("【読み】", "a", "b")}, {texts("【読み】", "c", "d", "", 1), at, bytes}};
        TempProgramFolder dir;
        PosixIo io;
        testing::writeBytes(dir.folders().questionRecords(), encodeRaw(records));
        std::string error;
        try {
            readBank(io, dir.folders());
        } catch (const FileError& e) {
            error = e.what();
        }
        EXPECT_NE(error.find("2件目"), std::string::npos) << error;
    }
}

// --- difficulty ------------------------------------------------------------------

std::string difficultyFile(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines) out += toCp932(l, "test") + "\r\n";
    return out;
}

TEST(Difficulty, ReadOnlyWhenItMatchesTheBank) {
    // the bank's kinds (four raw bytes, padded) and numbers
    auto kindOf = [](const std::string& utf8) {
        std::uint32_t v;
        std::memcpy(&v, fixedField(utf8, 4, "test").data(), 4);
        return v;
    };
    const std::vector<std::uint32_t> kinds = {kindOf("読み"), kindOf("読み"), kindOf("A")};
    const std::vector<std::int16_t> numbers = {1, 2, 7};
    const std::vector<std::string> good = {"\"問題難度\",1,3", "\"読み\",1,120", "\"読み\",2,-5", "\"A\",7,99"};
    EXPECT_EQ(parseDifficulty(difficultyFile(good), kinds, numbers), (std::vector<std::int32_t>{120, -5, 99}));
    std::string noLastEnd = difficultyFile(good);
    noLastEnd.resize(noLastEnd.size() - 2);
    EXPECT_EQ(parseDifficulty(noLastEnd, kinds, numbers), (std::vector<std::int32_t>{120, -5, 99}));
    // a longer kind is held by its first two characters, as in the record
    EXPECT_EQ(parseDifficulty(difficultyFile({"\"問題難度\",1,3", "\"読み方\",1,1", "\"読み\",2,2", "\"A\",7,3"}), kinds, numbers).size(), 3u);

    struct Case { const char* what; std::string bytes; };
    auto with = [&](std::size_t line, const std::string& text) {
        auto lines = good;
        lines[line] = text;
        return difficultyFile(lines);
    };
    const Case bad[] = {
        {"empty", ""},
        {"another title", with(0, "\"問題難易\",1,3")},
        {"another version", with(0, "\"問題難度\",2,3")},
        {"another count", with(0, "\"問題難度\",1,4")},
        {"another kind", with(1, "\"合併\",1,120")},
        {"another number", with(2, "\"読み\",3,-5")},
        {"no difficulty", with(3, "\"A\",7,")},
        {"not a number", with(3, "\"A\",7,9x")},
        {"unquoted kind", with(1, "読み,1,120")},
        {"a line short", difficultyFile({good[0], good[1], good[2]})},
        {"a line more", difficultyFile({good[0], good[1], good[2], good[3], "\"A\",8,1"})},
        {"LF alone", [&] { std::string b = difficultyFile(good); b.erase(b.find('\r'), 1); return b; }()},
        {"a huge number", with(1, "\"読み\",1,12345678901")},
    };
    for (const auto& c : bad) EXPECT_TRUE(parseDifficulty(c.bytes, kinds, numbers).empty()) << c.what;
}

// New questions come easiest first (ties in bank order) when the file matches
// the bank; a missing or mismatched file leaves the bank's order.
TEST(Difficulty, OrdersTheNewQuestionsOfTheReview) {
    TempProgramFolder dir;
    PosixIo io;
    auto questions = testing::sampleBank(5, {4});
    testing::writeBank(dir.folders(), questions);
    MemoryBook book;
    book.cards[memoryKey(questions[4])] = graded(1);  // due: first whatever its difficulty
    auto queueWith = [&](const std::optional<std::vector<std::string>>& lines) {
        if (lines) testing::writeBytes(dir.folders().difficultyFile(), difficultyFile(*lines));
        else std::filesystem::remove(dir.folders().difficultyFile());
        const ReviewBank bank = readReviewBank(io, dir.folders());
        return buildReviewQueue(bank.questions, book, 10, {}, bank.difficulty).records;
    };
    const std::vector<std::string> lines = {"\"問題難度\",1,5", "\"AB\",1,300", "\"AB\",2,150", "\"AB\",3,300",
                                            "\"AB\",4,0", "\"AB\",5,999"};
    EXPECT_EQ(queueWith(lines), (std::vector<int>{5, 2, 1, 3}));
    EXPECT_EQ(queueWith(std::nullopt), (std::vector<int>{5, 1, 2, 3}));
    auto mismatched = lines;
    mismatched[3] = "\"AB\",9,300";
    EXPECT_EQ(queueWith(mismatched), (std::vector<int>{5, 1, 2, 3}));
    // the decoded bank's queue orders by the same numbers
    EXPECT_EQ(buildReviewQueue(readBank(io, dir.folders()), book, 10, {}, {300, 150, 300, 0, 999}).records,
              (std::vector<int>{5, 2, 1, 3}));
}

}  // namespace
}  // namespace tabinowa
