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
};

// One record of "問題.ran" (Mondai::kLength bytes) as the review sees it;
// `raw` is a buffer to reuse. Throws FileError naming the file and record.
BankQuestion bankQuestion(std::string_view record, int number, const std::string& fileName, std::string& raw);
// Reads "問題.ran" once through (a missing file is an empty bank). Throws
// FileError naming the file on a read or decode failure.
std::vector<BankQuestion> readBank(Io& io, const AppFolders& folders);

// The bank as the review window reads it: each question's key kept as the
// raw CP932 bytes of its record (trimmed and joined as memoryKey joins its
// texts) with their hash, matched against the memory's CardIndex without
// converting them; only a question shown is decoded. A key whose bytes are not
// canonical CP932 (isCanonicalCp932) is kept decoded and looked up by its text,
// so every question matches exactly the card the decoded bank would.
class ReviewBank {
public:
    struct Question {
        std::uint64_t hash = 0;        // rawKeyHash of the raw key
        std::uint32_t keyAt = 0;       // in keys_
        std::uint16_t keyLength = 0;
        std::uint16_t kind = 0;        // in kinds(); 0 is "" (no kind)
        std::uint8_t prefecture = 0;   // 1..47, 0 = none
        bool removed = false;
        bool decoded = false;          // keys_ holds the key's UTF-8 text, not its CP932 bytes
    };

    std::size_t size() const { return questions_.size(); }
    // Question of record i + 1.
    const Question& operator[](std::size_t i) const { return questions_[i]; }
    std::string_view storedKey(const Question& q) const { return std::string_view(keys_).substr(q.keyAt, q.keyLength); }
    // The key of record i + 1 as memoryKey gives it (decoded now).
    std::string key(std::size_t i) const;
    // The kinds in order of first appearance, "" first.
    const std::vector<std::string>& kinds() const { return kinds_; }
    // The difficulty (× 100) of each record from "問題難度.csv", or empty
    // when the file is missing or does not match the bank.
    const std::vector<std::int32_t>& difficulty() const { return difficulty_; }

private:
    friend ReviewBank readReviewBank(Io& io, const AppFolders& folders);
    std::vector<Question> questions_;
    std::string keys_;
    std::vector<std::string> kinds_{""};
    std::vector<std::int32_t> difficulty_;
};

// Reads "問題.ran" once through, and "作業ファイル/問題難度.csv" with it. Throws
// FileError, as readBank does, on a missing, cut or unreadable bank or a text
// that is not CP932; a missing or mismatched difficulty file is no difficulty.
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
};

// Due questions by due day (oldest first), then those whose last answer was
// wrong, then new ones, each group in bank order. Removed and mastered
// questions are left out.
// `difficulty` (× 100 by record, as ReviewBank's) orders the new ones,
// easiest first, ties in bank order; empty: bank order.
ReviewQueue buildReviewQueue(const std::vector<BankQuestion>& bank, const MemoryBook& book, std::int32_t today,
                             const ReviewFilter& filter = {}, const std::vector<std::int32_t>& difficulty = {});
// The same from the raw bank, the memory's cards found through `index` (which
// must index `book`'s cards) and the bank's own difficulty.
ReviewQueue buildReviewQueue(const ReviewBank& bank, const MemoryBook& book, const CardIndex& index,
                             std::int32_t today, const ReviewFilter& filter = {});
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

// The count against the total with a percentage to two decimals:
// "3 / 13,024件（0.02％）" (the percentage is cut, not rounded, so that it
// reaches 100.00 only when all are done).
std::string progressLine(int done, int total);
// A number with thousands commas: 13024 -> "13,024".
std::string withCommas(long long n);

}  // namespace tabinowa
