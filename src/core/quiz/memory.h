// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The learner's memory of every question: a state per question (its FSRS
// difficulty and stability, the day it was last answered and the day it is
// due, right and wrong counts, mastered) and every answer, kept in the
// database "file/記憶.db" (ours, see docs/ARCHITECTURE.md). A question is
// known by its own texts (question and answer), not by its record number, so
// a question build keeps the memory of every question still in the bank.
#include <array>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/files/io.h"
#include "core/files/journal.h"
#include "core/files/records.h"
#include "core/quiz/fit.h"
#include "core/quiz/fsrs.h"

namespace tabinowa {

// What an answer says about a question. Mastered: removed in training.
enum class Outcome { Again, Hard, Good, Easy, Mastered };

struct Card {
    fsrs::State state;
    std::int32_t lastDay = 0;  // day number of the last answer
    std::int32_t dueDay = 0;   // day number from which it is due
    std::int32_t right = 0;
    std::int32_t wrong = 0;
    bool mastered = false;
    bool lastWrong = false;
};

struct DayTally {
    std::int32_t right = 0;
    std::int32_t wrong = 0;
};

// Days after a removal until the question is due again: as far as any interval goes.
inline constexpr int kMasteredDays = fsrs::kMaximumInterval;

// The memory in RAM, and the text form of the old memory file "記憶.txt".
inline constexpr std::string_view kMemoryMagic = "tabinowa-memory";

class MemoryBook {
public:
    static constexpr int kVersion = 1;

    double retention = fsrs::kDefaultRetention;
    // The learner's own weights once a fit predicted their answers better
    // than the defaults (none: the defaults).
    std::optional<fsrs::Weights> weights;
    std::map<std::string, Card> cards;  // ordered: the file lists them by key
    std::map<std::int32_t, DayTally> days;  // answers per day number

    const Card* find(const std::string& key) const;
    // The scheduler of this memory: its retention and the learner's weights
    // (fitted, else the model's own). Every interval (the one an answer
    // sets, the ones the grade buttons show) is computed through it.
    fsrs::Scheduler scheduler() const;
    // Questions due on or before `today` (answered, not mastered): the
    // "期限" of the review and the main menu's "今日の復習" (reviewGroup). The memory
    // holds only questions of the bank (a question build drops the others),
    // and a removal marks its question mastered, so this is the bank's count
    // without reading the bank.
    // どこでしょう's cards are not counted.
    int dueCount(std::int32_t today) const;
    // The new state of a question after an outcome on day `today`.
    Card applied(const std::string& key, Outcome o, std::int32_t today) const;
    // Days until the question would be due after each grade on day `today`
    // (again, hard, good, easy): what applied() would set.
    std::array<int, 4> nextIntervals(const std::string& key, std::int32_t today) const;

    // The old text file's bytes (UTF-8, LF): header, retention, day lines, card lines
    // sorted by key, end line with the count and a checksum.
    std::string serialize() const;
    // Throws FileError naming `fileName` and the line when the text is not a
    // whole memory file of this version.
    static MemoryBook parse(std::string_view bytes, const std::string& fileName);
};

// どこでしょう's answers are cards of their own, not questions of the bank:
// their key starts with this kind. A question build keeps them and the due
// count leaves them out.
inline constexpr std::string_view kWhereKind = "【どこでしょう】";
inline bool isBankKey(std::string_view key) { return key.substr(0, kWhereKind.size()) != kWhereKind; }

// Where a question of the bank stands in the day's review, by its memory
// (none: never answered), one rule for the review queue, its counts and the
// main menu: Due when answered and due on or before `today`; Wrong when its
// last answer, on an earlier day, was wrong and it is not yet due; Fresh when
// never answered; None otherwise (mastered, or not due: an answer given today,
// right or wrong, does not bring a question back the same day).
enum class ReviewGroup { None, Due, Wrong, Fresh };
ReviewGroup reviewGroup(const Card* card, std::int32_t today);

// A question's key: question line 1, question line 2 and the answer, each
// without its trailing blanks, joined by LF.
std::string memoryKey(const Mondai& m);
// The kind of a question: its first line up to and including "】" ("【読み】"), or "".
std::string questionKind(const Mondai& m);
// The same of a question's first line (UTF-8).
std::string kindOfFirstLine(std::string_view line);
// The prefecture a question is about, 1..47 from the code in its first note
// ("市01100", "旧36463", "県01"), or 0 when it names none.
int questionPrefecture(const Mondai& m);
// The same of a note's text.
int notePrefecture(std::string_view note);
// The 47 prefectures' names by code 1..47 ("" for other codes).
const std::string& prefectureName(int code);

// Day number (days since 1970-01-01) of a moment in local time.
std::int32_t localDay(std::time_t t);
// The calendar date of a day number, as localDay counts them.
struct CivilDate {
    int year = 0, month = 0, day = 0;
};
CivilDate civilDate(std::int32_t day);

// What a learner's answer was part of, for the log ("" when not said).
namespace activity {
inline constexpr std::string_view kTraining = "練習";
inline constexpr std::string_view kVisit = "訪問";
inline constexpr std::string_view kReview = "復習";
inline constexpr std::string_view kWhere = "どこでしょう";
}  // namespace activity

// The learner's memory of a program folder in its database "file/記憶.db"
// (SQLite, see docs/ARCHITECTURE.md): the cards, every answer in a log, and
// the folder's own settings (retention). The book in RAM is the cards and the
// day tallies the log gives. At the first start after the change from the
// text file, an existing "file/記憶.txt" is carried over whole and kept
// beside as it is.
//
// A change of the memory that belongs to a change of the design's files (a
// removal's flag, the game's points, a question build) is a step: its
// operations are written as a small file "file/記憶.step" (the companion)
// that the files' journal puts in place with the other files, all or
// nothing; the database applies it afterwards, idempotently (each step has a
// number, and the database keeps the last number applied), and the file
// goes. A step file found at load is applied first, so a crash between the
// two loses nothing.
class Database;
struct TrueRetention;

// The last fit of the weights to the log: when, on how many answers, how
// well the weights before and the fitted ones predicted them, and whether the
// fitted ones were taken.
struct FitRecord {
    std::int32_t day = 0;
    fsrs::Metrics before;
    fsrs::Metrics after;
    bool taken = false;
};

// What one change of a learner's state does to the memory (MemoryStore::step).
struct MemoryPart {
    enum class Kind { Answer, Restore, ReviveAll, Rebuilt, Carried };
    Kind kind = Kind::Answer;
    std::string key;                 // Answer, Restore: the question
    Outcome outcome = Outcome::Good;  // Answer
    std::string activity;            // Answer: what it was part of (activity::...)
    std::optional<double> seconds;   // Answer: the response time, when known
    std::optional<Card> card;        // Restore: the question's memory as it was (none: forgotten)
    std::vector<std::string> bankKeys;  // Rebuilt, Carried: the keys of the new bank

    // An answer to a question (a removal is Mastered).
    static MemoryPart answer(const Mondai& m, Outcome o, std::string_view activity,
                             std::optional<double> seconds = std::nullopt);
    // A question's memory put back as it was (the undo of a removal).
    static MemoryPart restore(std::string key, std::optional<Card> card);
    // Every question revived: no card of the bank stays mastered.
    static MemoryPart reviveAll();
    // A question build: cards of questions no longer in the bank forgotten
    // (どこでしょう's stay), and every question revived.
    static MemoryPart rebuilt(std::vector<std::string> bankKeys);
    // A newer data set taken with the learner's progress: cards of questions
    // no longer in the bank forgotten (どこでしょう's stay), every other card
    // kept as it is, mastered ones too (their removed flags are carried).
    static MemoryPart carried(std::vector<std::string> bankKeys);
};

class MemoryStore {
public:
    // `textFile`: the old text memory ("記憶.txt"); the database and the step file lie beside it.
    MemoryStore(Io& io, std::filesystem::path textFile);
    ~MemoryStore();
    MemoryStore(const MemoryStore&) = delete;
    MemoryStore& operator=(const MemoryStore&) = delete;

    // Opens the database the first time (carrying an old text file over, or
    // making an empty one) and applies a step left by a crash; throws
    // FileError (a DatabaseError for the database itself), and stays
    // unloaded, when it cannot.
    void load();
    bool loaded() const { return loaded_; }
    const MemoryBook& book();

    // What an answer changed, to put it back.
    struct Change {
        std::string key;
        std::optional<Card> card;  // the question's memory before
        std::int32_t day = 0;
        std::optional<DayTally> tally;  // the day's answers before
        std::int64_t logRow = 0;  // the answer's row in the log, once committed
    };

    struct StepResult;
    // A lone answer (a pick, a grade, どこでしょう's place): the outcome
    // committed with its log row, one transaction. It never blocks the
    // learner: when the memory cannot take it the memory stays as it was,
    // the result has no change, and its problem says why (once, as step()).
    StepResult record(const Mondai& m, Outcome o, std::int32_t today, std::string_view activity = {},
                      std::optional<double> seconds = std::nullopt);
    // An answer that belongs to a step changing a working file: applied in
    // RAM, its operations kept as the companion of that step's change
    // (companion()). Afterwards exactly one of: carried() when the step's
    // change took the companion along, writeAlone() when the step wrote
    // nothing of its own, revert() when it failed or did nothing.
    Change defer(const Mondai& m, Outcome o, std::int32_t today, std::string_view activity = {});
    const std::optional<Companion>& companion() const { return pending_; }
    // The step file is in place: the database takes it and the file goes.
    // A database that fails here is left for the next load (the step file stays).
    void carried();
    void writeAlone();  // throws FileError after putting the memory back
    // Drops a deferred answer, or takes back a recorded one (its card and its log row).
    void revert(const Change& change) noexcept;
    // Puts a question's memory back as it was (none: forgotten).
    void restore(const std::string& key, const std::optional<Card>& card);
    // A question build's companion: the cards of questions no longer in the
    // bank are forgotten (どこでしょう's stay) and every removed question is
    // revived, so no card stays mastered. None when nothing changes.
    std::optional<Companion> rebuilt(const std::vector<std::string>& bankKeys, std::int32_t today);
    // One change of a learner's state, the design's files and the memory
    // together. `design` is the change of the design's files: while it runs,
    // companion() is the memory's part as a step file, which it stages in
    // its own FileSet with its files when it writes any (QuestionFile::
    // markRemoved, writePoints, reviveAll, a build), so both go in all or
    // nothing; it returns whether it changed anything. A change that writes
    // no file of the design (a wrong answer in the game) has the memory's
    // part committed after it. A failure of the design's files is thrown
    // and neither changed. The memory never blocks the design: unreadable
    // or unwritable, the change goes on without it, and `problem` says why
    // (once: later steps go on quietly, changing nothing of ours).
    struct StepResult {
        std::optional<Change> change;        // what the memory's part changed, when it went in
        std::optional<std::string> problem;  // to be shown in the window, once
    };
    StepResult step(const MemoryPart& part, std::int32_t today, const std::function<bool()>& design);

    // Sets the desired retention (0.80..0.97) and commits it.
    void setRetention(double retention);

    // The fit of the weights (settings "weights", "fit", "fit_auto"):
    // records a fit and, when it was taken, its weights (which must be in
    // FSRS's ranges), in one transaction. The automatic daily fit is on again.
    void recordFit(const FitRecord& fit, const std::optional<fsrs::Weights>& taken);
    // Back to the defaults; the daily fit stays off until a fit on request.
    void resetWeights();
    std::optional<FitRecord> lastFit();
    bool autoFit();
    // Rows of the log after row `afterRow`, at most `limit`, in the order
    // answered; returns the last row read (`afterRow` when none).
    std::int64_t readLog(std::int64_t afterRow, int limit, std::vector<fsrs::LoggedAnswer>& out);
    // True retention per kind and per month from the tallies kept as each
    // answer is logged (a database of an older version, which keeps none
    // until its first write, replays its log with the learner's scheduler).
    TrueRetention trueRetention();
    // Response seconds summed per day over days from..to (one entry a day).
    std::vector<double> secondsPerDay(std::int32_t from, std::int32_t to);

    const std::filesystem::path& textFile() const { return textFile_; }
    std::filesystem::path databaseFile() const;
    std::filesystem::path stepFile() const;
    // The answers in the log (for tests and the statistics).
    std::int64_t logCount();
    struct Logged {
        std::int64_t at = 0;
        std::int32_t day = 0;
        std::string key, activity;
        Outcome outcome = Outcome::Good;
        std::optional<double> seconds;
    };
    // Every answer in the log, oldest first.
    std::vector<Logged> answers();
    // Why the database could not take a step that went through (empty: it could).
    // Once there is one, the memory changes no file of ours any more (the
    // design's steps go on without it) until the program starts again.
    const std::string& problem() const { return problem_; }
    // The file of ours that cannot be read as a memory (記憶.db damaged, of
    // another program or version; 記憶.txt or 記憶.step damaged), found by
    // loading; none when the memory reads, or fails for another reason
    // (locked, not allowed) that setting a file aside would not mend.
    std::optional<std::filesystem::path> damagedFile();
    // The repair: the damaged file renamed aside as "<name>.破損-YYYYMMDD-HHMMSS"
    // (the database with its journal), never deleted, and the memory starts
    // afresh (the next write makes a new database, from 記憶.txt when there
    // is a readable one). Returns the new name; throws FileError when the
    // rename fails, everything left as it was.
    std::filesystem::path setAside(std::time_t now);
    // The problem the first time it is asked for, to be shown once; then none.
    std::optional<std::string> untoldProblem();

private:
    struct Step;
    void openDatabase();
    void createDatabase();
    void ensureDatabase();  // made at the first write, not by reading
    std::unique_ptr<Step> stepFor(const MemoryPart& part, std::int32_t today, Change& change);
    std::int64_t apply(const Step& step);   // one transaction; the last log row it added (0: none); throws
    void upgradeSchema();  // an older database's missing tables, filled from its log, inside apply's transaction
    MemoryBook readOldText();
    // Once a step went on without the memory, nothing of ours is written until the repair or the next start.
    void refuseAfterProblem() const;
    void applyStepFile();
    void putBack(const Change& change);
    void readBook();
    Io& io_;
    std::filesystem::path textFile_;
    std::unique_ptr<Database> db_;
    MemoryBook book_;
    std::optional<Companion> pending_;
    std::unique_ptr<Step> pendingStep_;
    std::optional<Change> pendingChange_;
    bool pendingInRam_ = false;  // the pending step is in the book already (an answer), or not yet (a build's)
    std::int64_t lastStep_ = 0;
    std::string problem_;
    bool problemTold_ = false;
    bool loaded_ = false;
    std::optional<std::filesystem::path> damaged_;
    int schema_ = 0;  // the open database's version: 2 keeps the day tallies, 3 the retention tallies too
};

}  // namespace tabinowa
