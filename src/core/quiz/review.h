// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the review and the statistics need of the question bank and the
// memory: the day's review queue (due first, then answered wrong, then new),
// the count due today, and tallies per kind, per prefecture and per day.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/files/folders.h"
#include "core/files/io.h"
#include "core/quiz/memory.h"

namespace tabinowa {

// One question of "問題.ran" as the review sees it.
struct BankQuestion {
    int record = 0;  // 1-based
    std::string key;
    std::string kind;
    int prefecture = 0;
    bool removed = false;
    std::uint32_t inyo = 0;  // the kind's 4 bytes as the record holds them (Inyo)
    std::int16_t inyoNo = 0;
};

// One record of "問題.ran" (Mondai::kLength bytes) as the review sees it;
// `raw` is a buffer to reuse. Throws FileError naming the file and record.
BankQuestion bankQuestion(std::string_view record, int number, const std::string& fileName, std::string& raw);
// Reads "問題.ran" once through (a missing file is an empty bank). Throws
// FileError naming the file on a read or decode failure.
std::vector<BankQuestion> readBank(Io& io, const AppFolders& folders);

// The difficulty (× 100) of each question of `bank` from
// "作業ファイル/問題難度.csv", or empty when the file is missing, unreadable
// or does not match the bank.
std::vector<std::int32_t> readDifficulty(Io& io, const AppFolders& folders, const std::vector<BankQuestion>& bank);

// The bank as the review window holds it: the questions, their difficulty and
// their kinds in order of first appearance (without "", no kind).
struct ReviewBank {
    std::vector<BankQuestion> questions;
    std::vector<std::int32_t> difficulty;
    std::vector<std::string> kinds;
};
// readBank and readDifficulty, and the kinds. Throws FileError as readBank does.
ReviewBank readReviewBank(Io& io, const AppFolders& folders);

// The difficulties of the difficulty file's bytes for a bank whose records
// have these kinds (their 4 raw bytes) and numbers, or empty when the file is
// not of the format or names another bank.
std::vector<std::int32_t> parseDifficulty(std::string_view bytes, const std::vector<std::uint32_t>& kinds,
                                          const std::vector<std::int16_t>& numbers);

struct ReviewFilter {
    std::string kind;    // "" = every kind
    int prefecture = 0;  // 0 = every prefecture
    bool accepts(const BankQuestion& q) const {
        return (kind.empty() || q.kind == kind) && (prefecture == 0 || q.prefecture == prefecture);
    }
};

struct ReviewQueue {
    std::vector<int> records;  // record numbers in the order asked
    int due = 0;               // how many of them are due
    int wrong = 0;             // answered wrong, not yet due
    int fresh = 0;             // never answered

    // What is left of each group once the first `answered` questions are
    // done: since an answer takes its question out of every group for the
    // day (reviewGroup), this is what a queue built afresh would count.
    struct Left {
        int total = 0, due = 0, wrong = 0, fresh = 0;
    };
    Left left(std::size_t answered) const;
};

// Due questions by due day (oldest first), then those whose last answer was
// wrong, then new ones, each group in bank order. Removed and mastered
// questions are left out.
// `difficulty` (× 100 by record, as ReviewBank's) orders the new ones,
// easiest first, ties in bank order; empty: bank order.
ReviewQueue buildReviewQueue(const std::vector<BankQuestion>& bank, const MemoryBook& book, std::int32_t today,
                             const ReviewFilter& filter = {}, const std::vector<std::int32_t>& difficulty = {});
// Questions of the bank due on or before `today`.
int dueCount(const std::vector<BankQuestion>& bank, const MemoryBook& book, std::int32_t today);

struct StatRow {
    std::string name;
    int questions = 0;  // in the bank
    int seen = 0;       // answered at least once
    int right = 0;      // answers judged right
    int answers = 0;    // answers judged right or wrong
    int mastered = 0;   // removed or mastered
};
// One row per kind in order of first appearance, then the total.
std::vector<StatRow> statsByKind(const std::vector<BankQuestion>& bank, const MemoryBook& book);
// One row per prefecture 1..47 that has questions, then the rest ("その他") if any, then the total.
std::vector<StatRow> statsByPrefecture(const std::vector<BankQuestion>& bank, const MemoryBook& book);
// "87.5％" style right rate with one decimal, "－" with no answers.
std::string rightRate(const StatRow& row);

// Answers (right + wrong) on each of the 30 days ending today (oldest first).
std::array<int, 30> answersLast30(const MemoryBook& book, std::int32_t today);
// Questions of the bank falling due on each of the 30 days from today (today
// holds those already overdue as well).
std::array<int, 30> dueNext30(const std::vector<BankQuestion>& bank, const MemoryBook& book, std::int32_t today);

// True retention: the share of right answers among answers to questions that
// were due (answered before, on or after their due day). Per kind (in order of
// first appearance in the log, どこでしょう included) and per calendar month
// (oldest first). The statistics read it from the tallies the memory keeps as
// it logs each answer (MemoryStore::trueRetention); trueRetention() here
// replays a log instead, for a database that keeps no tallies yet.
struct RetentionRow {
    std::string name;  // the kind ("【読み】"), or the month ("2026年4月")
    int due = 0;       // answers to due questions
    int right = 0;     // of them right
};
struct TrueRetention {
    std::vector<RetentionRow> byKind;
    std::vector<RetentionRow> byMonth;
    RetentionRow total;
};
// Which answers of a log were to a due question, the due days being those the
// scheduler gives when each card's log is replayed with it (a removal puts its
// card out of the review for kMasteredDays), as the memory sets them.
std::vector<bool> dueAnswers(const std::vector<fsrs::LoggedAnswer>& log, const fsrs::Scheduler& scheduler);
TrueRetention trueRetention(const std::vector<fsrs::LoggedAnswer>& log, const fsrs::Scheduler& scheduler);
// A month as a number that sorts in time (year * 12 + month - 1), and its name.
int monthOf(std::int32_t day);
std::string monthNameOf(int month);
// A kind's name in the retention rows ("（種類なし）" for none).
std::string retentionKindName(const std::string& kind);
// "2026年4月" of a day number.
std::string monthName(std::int32_t day);

// The count against the total with a percentage to two decimals:
// "3 / 13,024件（0.02％）" (the percentage is cut, not rounded, so that it
// reaches 100.00 only when all are done).
std::string progressLine(int done, int total);
// A number with thousands commas: 13024 -> "13,024".
std::string withCommas(long long n);

}  // namespace tabinowa
