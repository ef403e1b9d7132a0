// SPDX-License-Identifier: GPL-3.0-or-later
// The day's review queue of a 20,000-question bank with 20,000 memory states
// against the deck build of the same bank; and one review answer (a card and
// its log row committed) against a bare SQLite insert of the same row with the
// same durability.
// Ten years of daily use (the same 20,000 cards, 200 answers a day: 730,000
// rows in the log) against the same memory with an empty log: the start (the
// memory opened for the menu's count), the day's review queue and the
// statistics window's queries.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>

#include "bench_support.h"
#include "core/files/cp932.h"
#include "core/files/database.h"
#include "core/files/io.h"
#include "core/quiz/deck.h"
#include "core/quiz/memory.h"
#include "core/quiz/review.h"
#include "core/quiz/fsrs.h"

using namespace tabinowa;

namespace {

constexpr std::int32_t kToday = 20000;

// 20,000 different questions (every seventh removed) and a memory of every
// one of them, due on days spread over two months around today.
struct ReviewFixture {
    testing::TempProgramFolder folder;
    std::vector<Mondai> questions;
    ReviewFixture() {
        std::string bytes;
        MemoryBook book;
        for (int i = 1; i <= 20000; ++i) {
            Mondai m;
            m.Inyo = i % 2 ? "読み" : "合併";
            m.Mondai1 = i % 2 ? "【読み】市町村名の読み方" : "【合併】合併前の市町村";
            m.Mondai2 = "問題" + bench::fullWidth(i) + "の市の読みは？";
            m.Kotae = "こたえ" + bench::fullWidth(i);
            m.Bikou[0] = "市" + std::to_string(10 + i % 37) + "100";
            m.InyoNo = static_cast<std::int16_t>((i + 1) / 2);  // numbered within each kind
            m.Syokyo = static_cast<std::int16_t>(i % 7 == 0);
            bytes += m.encode("bench");
            Card c;
            c.state = {3.0 + i % 50, 5};
            c.lastDay = kToday - 40 + i % 30;
            c.dueDay = kToday - 30 + i % 60;
            c.right = 1 + i % 3;
            c.wrong = i % 2;
            c.lastWrong = i % 5 == 0;
            book.cards[memoryKey(m)] = c;
            questions.push_back(std::move(m));
        }
        for (int d = 0; d < 60; ++d) book.days[kToday - d] = {d % 20, d % 7};
        testing::writeBytes(folder.folders().questionRecords(), bytes);
        // the difficulty of every question, read with the bank as the shipped data has it
        std::string difficulty = toCp932("\"問題難度\",1,20000\r\n", "bench");
        for (const Mondai& m : questions)
            difficulty += toCp932("\"" + m.Inyo + "\"," + std::to_string(m.InyoNo) + "," +
                                      std::to_string(100 + m.InyoNo * 7919 % 900) + "\r\n",
                                  "bench");
        testing::writeBytes(folder.folders().difficultyFile(), difficulty);
        testing::writeBytes(folder.folders().memoryFile(), book.serialize());
        // Carried over into the database now (a write does it), so that the
        // benchmarks read and write the database, not the old text file.
        PosixIo io;
        MemoryStore store(io, folder.folders().memoryFile());
        store.setRetention(book.retention);
    }
};

ReviewFixture& reviewBank() {
    static ReviewFixture b;
    return b;
}

// The window's queue: the bank and its difficulties read, the queue built,
// the memory's cards found through the index the memory keeps (made once).
void queueOf(benchmark::State& state, const AppFolders& folders) {
    PosixIo io;
    MemoryStore store(io, folders.memoryFile());
    const MemoryBook& book = store.book();
    for (auto _ : state) {
        const auto bank = readReviewBank(io, folders);
        const auto queue = buildReviewQueue(bank.questions, book, kToday, {}, bank.difficulty);
        benchmark::DoNotOptimize(queue.records.data());
        if (bank.difficulty.empty()) state.SkipWithError("the difficulty file was not read");
    }
}

void BM_ReviewQueue(benchmark::State& state) { queueOf(state, reviewBank().folder.folders()); }

void BM_DeckBuildSameBank(benchmark::State& state) {
    const AppFolders folders = reviewBank().folder.folders();
    PosixIo io;
    MtRandom random;
    QuestionDeck deck;
    for (auto _ : state) {
        deck.build(io, folders, random);
        benchmark::DoNotOptimize(deck.deckLength);
    }
}

// Each answer grades the next question of the bank, so no two iterations write the same state.
void BM_ReviewAnswer(benchmark::State& state) {
    const AppFolders folders = reviewBank().folder.folders();
    PosixIo io;
    MemoryStore store(io, folders.memoryFile());
    store.load();
    std::size_t next = 0;
    const auto& questions = reviewBank().questions;
    for (auto _ : state) {
        store.record(questions[next], Outcome::Good, kToday, activity::kReview, 3.5);
        next = (next + 1) % questions.size();
    }
}

// The floor: the same log row inserted into a bare database of the same
// durability (the same Io, rollback journal, synchronous=EXTRA), one
// transaction each.
void BM_BareInsert(benchmark::State& state) {
    const AppFolders folders = reviewBank().folder.folders();
    PosixIo io;
    const auto file = folders.data() / "floor.db";
    io.remove(file);
    Database db(io, file, true);
    db.exec("CREATE TABLE answers(id INTEGER PRIMARY KEY, at INTEGER NOT NULL, day INTEGER NOT NULL, key TEXT NOT NULL,"
            " activity TEXT NOT NULL, outcome INTEGER NOT NULL, right INTEGER, seconds REAL)");
    std::size_t next = 0;
    const auto& questions = reviewBank().questions;
    for (auto _ : state) {
        Database::Transaction t(db);
        Database::Statement insert(db, "INSERT INTO answers(at, day, key, activity, outcome, right, seconds) VALUES(?,?,?,?,?,?,?)");
        insert.bind(1, std::int64_t{1700000000}).bind(2, std::int64_t{kToday}).bind(3, memoryKey(questions[next]))
            .bind(4, std::string(activity::kReview)).bind(5, std::int64_t{2}).bind(6, std::int64_t{1}).bind(7, 3.5);
        insert.step();
        t.commit();
        next = (next + 1) % questions.size();
    }
}

// ------------------------------------------------------------ ten years

constexpr int kYears = 10, kAnswersADay = 200;

// The review bank's folder copied, its log filled with ten years of answers
// (the questions in turn, one in five wrong, a few seconds each).
struct TenYears {
    testing::TempProgramFolder folder;
    TenYears() {
        const auto from = reviewBank().folder.path();
        std::filesystem::copy(from, folder.path(), std::filesystem::copy_options::recursive |
                                                       std::filesystem::copy_options::overwrite_existing);
        PosixIo io;
        MemoryStore probe(io, folder.folders().memoryFile());
        Database db(io, probe.databaseFile(), false);
        Database::Transaction t(db);
        Database::Statement insert(db, "INSERT INTO answers(at, day, key, activity, outcome, right, seconds) VALUES(?,?,?,?,?,?,?)");
        const auto& questions = reviewBank().questions;
        std::size_t next = 0;
        for (std::int32_t day = kToday - kYears * 365; day < kToday; ++day)
            for (int i = 0; i < kAnswersADay; ++i) {
                const bool wrong = next % 5 == 0;
                insert.reset();
                insert.bind(1, std::int64_t{day} * 86400 + 3600 + i * 20).bind(2, std::int64_t{day})
                    .bind(3, memoryKey(questions[next % questions.size()])).bind(4, std::string(activity::kReview))
                    .bind(5, std::int64_t{wrong ? 0 : 2}).bind(6, std::int64_t{!wrong}).bind(7, 2.0 + i % 9);
                insert.step();
                ++next;
            }
        // the day tallies as the program keeps them with each row
        db.exec("DELETE FROM answer_days; INSERT INTO answer_days SELECT day, total(right), count(right) - total(right) "
                "FROM answers WHERE right IS NOT NULL GROUP BY day;");
        // The retention tallies as the program makes them for a log it did
        // not count: the database taken back to the version before them, and
        // a write of the program's own (a card put back as it is) upgrades
        // it, replaying the log once.
        db.exec("DROP TABLE retention_tallies; ALTER TABLE answers DROP COLUMN due; PRAGMA user_version=2;");
        t.commit();
        {
            MemoryStore upgrade(io, folder.folders().memoryFile());
            const std::string key = memoryKey(questions.front());
            upgrade.restore(key, *upgrade.book().find(key));
        }
        MemoryStore check(io, folder.folders().memoryFile());
        if (check.book().days.size() < static_cast<std::size_t>(kYears * 365)) std::abort();
        // the tallies are what replaying the log says, with due answers in (nearly) every month:
        // the first months have none, every question being new
        std::vector<fsrs::LoggedAnswer> log;
        check.readLog(0, 1 << 30, log);
        const TrueRetention kept = check.trueRetention(), replayed = trueRetention(log, check.book().scheduler());
        if (kept.total.due <= 0 || kept.total.due != replayed.total.due || kept.total.right != replayed.total.right ||
            kept.byMonth.size() != replayed.byMonth.size() || kept.byMonth.size() < static_cast<std::size_t>(kYears * 12 - 3)) {
            std::fprintf(stderr, "retention tallies %d/%d in %zu months, the replay %d/%d in %zu\n", kept.total.right,
                         kept.total.due, kept.byMonth.size(), replayed.total.right, replayed.total.due, replayed.byMonth.size());
            std::abort();
        }
    }
};

TenYears& tenYears() {
    static TenYears y;
    return y;
}

AppFolders foldersOf(bool full) { return full ? tenYears().folder.folders() : reviewBank().folder.folders(); }

// The start: the memory opened and read as the menu's "今日の復習" reads it.
void BM_Start(benchmark::State& state) {
    const AppFolders folders = foldersOf(state.range(0) != 0);
    PosixIo io;
    for (auto _ : state) {
        MemoryStore store(io, folders.memoryFile());
        benchmark::DoNotOptimize(store.book().dueCount(kToday));
    }
}

// The day's queue with the memory open (the review window's own work).
void BM_Queue(benchmark::State& state) { queueOf(state, foldersOf(state.range(0) != 0)); }

// The statistics window's summary and tables (the bank and the book), and the
// last and next 30 days.
void tablesRead(const std::vector<BankQuestion>& bank, const MemoryBook& book) {
    benchmark::DoNotOptimize(statsByKind(bank, book).data());
    benchmark::DoNotOptimize(statsByPrefecture(bank, book).data());
    benchmark::DoNotOptimize(answersLast30(book, kToday).data());
    benchmark::DoNotOptimize(dueNext30(bank, book, kToday).data());
}

// The statistics window: its tables, and the time spent per day from the log.
void BM_Stats(benchmark::State& state) {
    const AppFolders folders = foldersOf(state.range(0) != 0);
    PosixIo io;
    MemoryStore store(io, folders.memoryFile());
    const MemoryBook& book = store.book();
    const auto bank = readBank(io, folders);
    for (auto _ : state) {
        tablesRead(bank, book);
        benchmark::DoNotOptimize(store.secondsPerDay(kToday - 29, kToday).data());
    }
}

// The statistics window's "記憶率と時間": true retention per kind and per
// month from the memory's tallies, and the time spent on each of the last 30
// days from the log, with the memory open as the window has it.
void retentionRead(MemoryStore& store) {
    const TrueRetention r = store.trueRetention();
    benchmark::DoNotOptimize(r.total.due);
    benchmark::DoNotOptimize(r.byMonth.data());
    benchmark::DoNotOptimize(store.secondsPerDay(kToday - 29, kToday).data());
}

// The window's whole statistics read with its retention: what BM_Stats
// reads, and the retention and time above.
void BM_StatsRetention(benchmark::State& state) {
    const AppFolders folders = foldersOf(state.range(0) != 0);
    PosixIo io;
    MemoryStore store(io, folders.memoryFile());
    const MemoryBook& book = store.book();
    const auto bank = readBank(io, folders);
    for (auto _ : state) {
        tablesRead(bank, book);
        retentionRead(store);
    }
}

// The retention and time alone, for their own cost (an empty log reads nothing).
void BM_RetentionAlone(benchmark::State& state) {
    PosixIo io;
    MemoryStore store(io, foldersOf(state.range(0) != 0).memoryFile());
    store.load();
    for (auto _ : state) retentionRead(store);
}

BENCHMARK(BM_ReviewQueue)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DeckBuildSameBank)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReviewAnswer)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareInsert)->Unit(benchmark::kMillisecond);
// 0: the log empty, 1: ten years of answers
BENCHMARK(BM_Start)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Queue)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Stats)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StatsRetention)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RetentionAlone)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return bench::runBenchmarks(argc, argv, [](const bench::RatioReporter& t) {
        const double queue = t.real("BM_ReviewQueue"), deck = t.real("BM_DeckBuildSameBank");
        const double answer = t.real("BM_ReviewAnswer"), floor = t.real("BM_BareInsert");
        if (deck > 0) {
            std::printf("review queue / deck build = %.2fx real, %.2fx CPU (goal: at most 2.0x)\n", queue / deck,
                        t.cpu("BM_ReviewQueue") / t.cpu("BM_DeckBuildSameBank"));
        }
        if (floor > 0) std::printf("review answer / bare insert of its row = %.2fx (goal: at most 2.0x)\n", answer / floor);
        for (const char* name : {"BM_Start", "BM_Queue", "BM_Stats", "BM_StatsRetention"}) {
            const double empty = t.real(std::string(name) + "/0"), full = t.real(std::string(name) + "/1");
            if (empty > 0 && full > 0)
                std::printf("%s ten years / empty log = %.2fx (goal: at most 1.2x)\n", name, full / empty);
        }
        if (const double empty = t.real("BM_RetentionAlone/0"), full = t.real("BM_RetentionAlone/1"); empty > 0 && full > 0)
            std::printf("BM_RetentionAlone ten years / empty log = %.2fx, %.3f ms (no goal: an empty log reads nothing)\n",
                        full / empty, full);
    });
}
