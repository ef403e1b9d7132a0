#pragma once
// The learner's memory of every question: a state per question (its FSRS
// difficulty and stability, the day it was last answered and the day it is
// due, right and wrong counts, mastered) and the answers of each day, kept in
// "file/記憶.txt" (a file of ours, see docs/ARCHITECTURE.md). A question is
// known by its own texts (question and answer), not by its record number, so
// a question build keeps the memory of every question still in the bank.
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/files/io.h"
#include "core/files/journal.h"
#include "core/files/records.h"
#include "core/quiz/card_index.h"
#include "core/quiz/fsrs.h"
#include "core/quiz/memory_text.h"

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

// The memory in RAM and its text form.
class MemoryBook {
public:
    static constexpr int kVersion = 1;

    double retention = fsrs::kDefaultRetention;
    std::map<std::string, Card> cards;  // ordered: the file lists them by key
    std::map<std::int32_t, DayTally> days;  // answers per day number

    const Card* find(const std::string& key) const;
    // Questions due on or before `today` (answered, not mastered). The memory
    // holds only questions of the bank (a question build drops the others),
    // and a removal marks its question mastered, so this is the bank's count
    // without reading the bank.
    // どこでしょう's cards are not counted.
    int dueCount(std::int32_t today) const;
    // The new state of a question after an outcome on day `today`.
    Card applied(const std::string& key, Outcome o, std::int32_t today) const;

    // The file's bytes (UTF-8, LF): header, retention, day lines, card lines
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

// The memory file of a program folder, read once and written crash-safely
// (temporary file, flush, rename) after each change. Its text is kept beside
// the book once a change wants it, and an answer patches its lines there.
class MemoryStore {
public:
    MemoryStore(Io& io, std::filesystem::path file) : io_(io), file_(std::move(file)) {}
    // The index points into the book: a copy would point into the original's.
    MemoryStore(const MemoryStore&) = delete;
    MemoryStore& operator=(const MemoryStore&) = delete;

    // Reads the file the first time (a missing file is an empty memory);
    // throws FileError, and stays unloaded, when it is broken.
    void load();
    bool loaded() const { return loaded_; }
    const MemoryBook& book();
    // The book's cards by the CP932 bytes of their keys: made on first use,
    // then kept current by every change below (each card that comes or goes
    // passes through putCard).
    const CardIndex& index();

    // What an answer changed, to put it back when the step it belongs to fails.
    struct Change {
        std::string key;
        std::optional<Card> card;  // the question's memory before
        std::int32_t day = 0;
        std::optional<DayTally> tally;  // the day's answers before
        std::shared_ptr<const std::string> fileBytes;  // the file before (none: there was none)
    };

    // Applies an outcome and writes the file. On a failure the file and the
    // memory stay as they were and FileError is thrown.
    Change record(const Mondai& m, Outcome o, std::int32_t today);
    // An answer that belongs to a step changing a working file (a removal's
    // flag, the game's points): applied in RAM only, the file's new bytes kept
    // as the companion of that step's change (companion()), so that both
    // files change together through the journal. Afterwards exactly one of:
    // carried() when the step's change took the companion along, writeAlone()
    // when the step wrote nothing of its own, revert() when it failed or did
    // nothing.
    Change defer(const Mondai& m, Outcome o, std::int32_t today);
    const std::optional<Companion>& companion() const { return pending_; }
    void carried();
    void writeAlone();  // throws FileError after putting the memory back
    // Puts the memory and the file back as they were before `change` (the
    // file byte for byte, or removed when there was none; a deferred answer
    // is only dropped). When even that cannot be written, the memory stays as
    // the file has it.
    void revert(const Change& change) noexcept;
    // Puts a question's memory back as it was (none: forgotten) and writes the file.
    void restore(const std::string& key, const std::optional<Card>& card);
    // After a change that wrote the whole memory file (a question build's):
    // the memory is that book, the file those bytes.
    void replaced(MemoryBook book, std::string bytes);
    // Sets the desired retention (0.80..0.97) and writes the file.
    void setRetention(double retention);

    const std::filesystem::path& file() const { return file_; }

private:
    void write();
    void putBack(const Change& change);
    // A card or a day's answers changed (none: gone), in the book, its index and its text.
    void putCard(const std::string& key, const std::optional<Card>& card);
    void putDay(std::int32_t day, const std::optional<DayTally>& tally);
    MemoryText& text();  // made from the book when first wanted
    Io& io_;
    std::filesystem::path file_;
    MemoryBook book_;
    std::optional<MemoryText> text_;  // the book's file text, when made
    std::shared_ptr<const std::string> onDisk_;  // the file's bytes as last read or written
    std::optional<Companion> pending_;  // a deferred answer's file bytes
    std::optional<Change> pendingChange_;
    std::optional<CardIndex> index_;
    bool loaded_ = false;
};

}  // namespace tabinowa
