// SPDX-License-Identifier: GPL-3.0-or-later
// The fit of the FSRS weights to a learner's answers: its replay agrees with
// the scheduler, its gradient with the loss, it recovers how well known
// weights predict a made-up learner, and the store keeps what it found.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "core/files/database.h"
#include "core/files/error.h"
#include "core/quiz/fit.h"
#include "core/quiz/memory.h"
#include "core/quiz/review.h"
#include "support/question_bank.h"
#include "support/synthetic_learner.h"
#include "support/temp_folder.h"

namespace tabinowa {
namespace {

using fsrs::Grade;
using fsrs::History;
using fsrs::Weights;

// The log loss computed with the scheduler itself, answer by answer.
double schedulerLogLoss(const std::vector<History>& cards, const Weights& w) {
    const fsrs::Scheduler s(0.9, w);
    double loss = 0;
    int n = 0;
    for (const auto& h : cards) {
        fsrs::State st = s.first(h[0].grade);
        for (std::size_t i = 1; i < h.size(); ++i) {
            const int elapsed = h[i].day - h[i - 1].day;
            if (elapsed > 0) {
                const double r = s.retrievability(elapsed, st.stability);
                loss += h[i].grade > Grade::Again ? -std::log(r) : -std::log(1 - r);
                ++n;
            }
            st = s.next(st, elapsed, h[i].grade);
        }
    }
    return loss / n;
}

std::vector<History> learner(const Weights& truth, int answers, unsigned seed) {
    testing::SyntheticLearner p;
    p.weights = truth;
    p.answers = answers;
    p.seed = seed;
    return fsrs::histories(testing::synthesize(p));
}

TEST(FitReplay, AgreesWithTheScheduler) {
    for (const Weights& w : {fsrs::kDefaultWeights, testing::unusualWeights()}) {
        const auto cards = learner(w, 4000, 3);
        const auto m = fsrs::evaluate(cards, w);
        ASSERT_GT(m.answers, 500);
        EXPECT_NEAR(m.logLoss, schedulerLogLoss(cards, w), 1e-9);
        Weights g;
        EXPECT_NEAR(fsrs::lossAndGradient(cards, w, g), m.logLoss, 1e-9);
    }
}

TEST(FitReplay, GradientMatchesFiniteDifferences) {
    // Weights inside their ranges, where the loss is smooth (no clamp active).
    const Weights w = testing::unusualWeights();
    const auto cards = learner(fsrs::kDefaultWeights, 3000, 11);
    Weights g;
    fsrs::lossAndGradient(cards, w, g);
    for (std::size_t i = 0; i < w.size(); ++i) {
        const double h = 1e-6 * std::max(1.0, std::abs(w[i]));
        Weights up = w, down = w;
        up[i] += h;
        down[i] -= h;
        const double numeric = (fsrs::evaluate(cards, up).logLoss - fsrs::evaluate(cards, down).logLoss) / (2 * h);
        EXPECT_NEAR(g[i], numeric, 1e-4 + 1e-3 * std::abs(numeric)) << "w" << i;
    }
}

TEST(FitHistories, GroupsTheLogByCardInOrderWithoutRemovals) {
    const std::vector<fsrs::LoggedAnswer> log = {
        {10, 2, "a"}, {10, 0, "b"}, {11, 4, "a"}, {12, 3, "b"}, {13, 1, "a"}, {13, 7, "a"},
    };
    const auto h = fsrs::histories(log);
    ASSERT_EQ(h.size(), 2u);
    ASSERT_EQ(h[0].size(), 2u);
    EXPECT_EQ(h[0][0].grade, Grade::Good);
    EXPECT_EQ(h[0][1].day, 13);
    EXPECT_EQ(h[0][1].grade, Grade::Hard);
    ASSERT_EQ(h[1].size(), 2u);
    EXPECT_EQ(h[1][0].grade, Grade::Again);
    EXPECT_EQ(h[1][1].grade, Grade::Easy);
    EXPECT_EQ(fsrs::predictedAnswers(h), 2);
}

// Made-up learners: the fitted weights predict their answers about as well
// as the weights they were made with, and better than the defaults when
// those are not the learner's.
TEST(Fit, PredictsAMadeUpLearnerAsWellAsItsOwnWeights) {
    struct Case {
        const char* name;
        Weights truth;
        unsigned seed;
    };
    for (const Case& c : {Case{"defaults", fsrs::kDefaultWeights, 1}, Case{"unusual", testing::unusualWeights(), 2}}) {
        SCOPED_TRACE(c.name);
        const auto cards = learner(c.truth, 20000, c.seed);
        const auto truth = fsrs::evaluate(cards, c.truth);
        const auto fit = fsrs::fitWeights(cards);
        ASSERT_TRUE(fit.enough);
        EXPECT_TRUE(fsrs::inRange(fit.fitted));
        EXPECT_LT(fit.after.logLoss, truth.logLoss * 1.01);
        EXPECT_LT(fit.after.rmseBins, truth.rmseBins + 0.02);
        EXPECT_EQ(fit.weights, fit.improved ? fit.fitted : fsrs::kDefaultWeights);
        if (c.truth != fsrs::kDefaultWeights) {
            EXPECT_TRUE(fit.improved);
            EXPECT_LT(fit.after.logLoss, fit.before.logLoss - 0.005);
        }
    }
}

TEST(Fit, TooFewAnswersKeepTheStartingWeights) {
    const auto cards = learner(testing::unusualWeights(), 400, 5);
    ASSERT_LT(fsrs::predictedAnswers(cards), fsrs::kMinPredictedAnswers);
    const auto fit = fsrs::fitWeights(cards);
    EXPECT_FALSE(fit.enough);
    EXPECT_FALSE(fit.improved);
    EXPECT_EQ(fit.weights, fsrs::kDefaultWeights);
}

TEST(Fit, StartsClampedAndStopsWhenAsked) {
    Weights wild = fsrs::kDefaultWeights;
    wild[20] = 5;     // above 0.8
    wild[3] = -1;     // below 0.001
    wild[9] = std::nan("");
    EXPECT_TRUE(fsrs::inRange(fsrs::clamped(wild)));
    EXPECT_EQ(fsrs::clamped(wild)[20], 0.8);
    EXPECT_EQ(fsrs::clamped(wild)[9], fsrs::kDefaultWeights[9]);

    const auto cards = learner(testing::unusualWeights(), 6000, 9);
    fsrs::FitOptions o;
    int calls = 0;
    o.progress = [&](double done) {
        EXPECT_GT(done, 0);
        EXPECT_LE(done, 1);
        return ++calls < 3;
    };
    const auto fit = fsrs::fitWeights(cards, o);
    EXPECT_TRUE(fit.stopped);
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(fit.weights, fsrs::kDefaultWeights);
}

TEST(FitWeightsText, RoundTripsAndRefusesWhatIsNotTwentyOneWeightsInRange) {
    Weights w = testing::unusualWeights();
    Weights back{};
    ASSERT_TRUE(fsrs::parseWeights(fsrs::weightsText(w), back));
    EXPECT_EQ(back, w);
    const std::string good = fsrs::weightsText(fsrs::kDefaultWeights);
    for (const std::string& bad : {std::string(), good + " 1", good.substr(0, good.rfind(' ')), good + " ",
                                   " " + good, good.substr(0, good.rfind(' ')) + " 0.9" /* w20 above 0.8 */,
                                   good.substr(0, good.rfind(' ')) + " nan", "x" + good}) {
        Weights out = w;
        EXPECT_FALSE(fsrs::parseWeights(bad, out)) << bad;
        EXPECT_EQ(out, w);
    }
}

// The store: a taken fit schedules every answer after it, is kept across
// starts, and a reset goes back to the defaults and stops the daily fit.
TEST(FitStore, WeightsAreKeptUsedAndReset) {
    testing::TempProgramFolder dir;
    PosixIo io;
    const auto file = dir.folders().memoryFile();
    const Weights w = testing::unusualWeights();
    FitRecord rec;
    rec.day = 20100;
    rec.before = {0.40, 0.05, 1200};
    rec.after = {0.35, 0.02, 1200};
    rec.taken = true;
    {
        MemoryStore store(io, file);
        EXPECT_TRUE(store.autoFit());
        EXPECT_FALSE(store.lastFit());
        store.recordFit(rec, w);
        const Card c = store.record(testing::sampleQuestion(1, true), Outcome::Good, 20100).change.value().card.value_or(Card{});
        EXPECT_FALSE(c.state.graded());
    }
    MemoryStore store(io, file);
    ASSERT_TRUE(store.book().weights);
    EXPECT_EQ(*store.book().weights, w);
    const Card* c = store.book().find(memoryKey(testing::sampleQuestion(1, true)));
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->state.stability, w[2]);  // a first "good" with the learner's own w2
    EXPECT_EQ(c->dueDay - 20100, fsrs::Scheduler(0.9, w).intervalDays(w[2]));
    const auto last = store.lastFit();
    ASSERT_TRUE(last);
    EXPECT_EQ(last->day, 20100);
    EXPECT_EQ(last->after.answers, 1200);
    EXPECT_DOUBLE_EQ(last->after.logLoss, 0.35);
    EXPECT_TRUE(last->taken);

    store.resetWeights();
    EXPECT_FALSE(store.book().weights);
    EXPECT_FALSE(store.autoFit());
    EXPECT_FALSE(MemoryStore(io, file).book().weights);

    // A fit that was not taken leaves the defaults and turns the daily fit on again.
    rec.taken = false;
    store.recordFit(rec, std::nullopt);
    EXPECT_TRUE(store.autoFit());
    EXPECT_FALSE(MemoryStore(io, file).book().weights);
    EXPECT_THROW(store.recordFit(rec, Weights{}), std::invalid_argument);  // zeros are outside the ranges
}

TEST(FitStore, DamagedWeightsAreRefusedNamingTheDatabase) {
    testing::TempProgramFolder dir;
    PosixIo io;
    const auto file = dir.folders().memoryFile();
    {
        MemoryStore store(io, file);
        store.recordFit({}, testing::unusualWeights());
    }
    {
        Database db(io, MemoryStore(io, file).databaseFile(), false);
        db.exec("UPDATE settings SET value = '1 2 3' WHERE name = 'weights'");
    }
    MemoryStore store(io, file);
    try {
        store.load();
        FAIL() << "loaded";
    } catch (const DatabaseError& e) {
        EXPECT_NE(std::string(e.what()).find("記憶.db"), std::string::npos) << e.what();
    }
}

TEST(FitStore, TheLogIsReadInSlicesAndTimePerDaySummed) {
    testing::TempProgramFolder dir;
    PosixIo io;
    MemoryStore store(io, dir.folders().memoryFile());
    for (int i = 0; i < 5; ++i)
        store.record(testing::sampleQuestion(i % 2 + 1, true), i == 2 ? Outcome::Again : Outcome::Good, 100 + i / 2,
                     activity::kReview, 1.5 * (i + 1));
    std::vector<fsrs::LoggedAnswer> log;
    std::int64_t row = store.readLog(0, 2, log);
    EXPECT_EQ(log.size(), 2u);
    row = store.readLog(row, 10, log);
    EXPECT_EQ(store.readLog(row, 10, log), row);
    ASSERT_EQ(log.size(), 5u);
    EXPECT_EQ(log[2].outcome, 0);
    EXPECT_EQ(log[4].day, 102);
    EXPECT_EQ(fsrs::histories(log).size(), 2u);
    const auto seconds = store.secondsPerDay(99, 102);
    EXPECT_EQ(seconds, (std::vector<double>{0, 1.5 + 3.0, 4.5 + 6.0, 7.5}));
}

// True retention counts answers to questions that were due: not first
// answers, not repeats before the due day, not answers after a removal.
TEST(TrueRetention, CountsOnlyAnswersToDueQuestionsPerKindAndMonth) {
    const std::string reading = "【読み】問一\n\n答え";
    const std::string place = "【位置】問二\n\n答え";
    const std::vector<fsrs::LoggedAnswer> log = {
        {0, 2, reading},   // first answer: due in 3 days
        {0, 2, reading},   // same day: not due
        {1, 2, reading},   // a day later: before its due day
        {40, 0, reading},  // 1970-02-10, due, wrong
        {0, 3, place},
        {59, 2, place},    // 1970-03-01, due, right
        {60, 4, place},    // removed
        {90, 2, place},    // answered after the removal: not due
    };
    const auto r = trueRetention(log, fsrs::Scheduler());
    ASSERT_EQ(r.byKind.size(), 2u);
    EXPECT_EQ(r.byKind[0].name, "【読み】");
    EXPECT_EQ(std::make_pair(r.byKind[0].due, r.byKind[0].right), std::make_pair(1, 0));
    EXPECT_EQ(r.byKind[1].name, "【位置】");
    EXPECT_EQ(std::make_pair(r.byKind[1].due, r.byKind[1].right), std::make_pair(1, 1));
    ASSERT_EQ(r.byMonth.size(), 2u);
    EXPECT_EQ(r.byMonth[0].name, "1970年2月");
    EXPECT_EQ(r.byMonth[1].name, "1970年3月");
    EXPECT_EQ(r.byMonth[1].right, 1);
    EXPECT_EQ(std::make_pair(r.total.due, r.total.right), std::make_pair(2, 1));

    // months sort in time across a year's end
    const auto years = trueRetention({{0, 2, reading}, {364, 2, reading}, {800, 2, reading}}, fsrs::Scheduler());
    ASSERT_EQ(years.byMonth.size(), 2u);
    EXPECT_EQ(years.byMonth[0].name, "1970年12月");
    EXPECT_EQ(years.byMonth[1].name, "1972年3月");
}

}  // namespace
}  // namespace tabinowa
