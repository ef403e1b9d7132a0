// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The visit game's state and steps without a window: the quiz half (the
// full-bank order, the question on display, the streak and the double-point
// extra, right and wrong answers) and the visit half (the game's own
// prefecture table, chosen prefecture and municipality, the list of unvisited
// municipalities, the visit and start over). The window puts the values these
// return into its controls.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/session/session.h"
#include "core/files/prefectures.h"
#include "core/game/rules.h"
#include "core/map/city_table.h"
#include "core/quiz/questions.h"

namespace tabinowa::game {

class VisitQuiz {
public:
    // Opens "問題.ran" (created empty when missing); it stays open while this lives.
    explicit VisitQuiz(Session& session);

    // What the question half shows.
    struct Question {
        bool finished = false;     // every question of the bank has been passed
        std::string text;          // lblQs (the finished message when finished)
        bool doublePoint = false;  // "ダブルポイント問題", red text
        std::string source;        // lblInyo ("" when finished)
    };

    // Load: a fresh full-bank order, the streak back to 0, and the question at
    // the visit cursor (which is not reset), with the same double-point check
    // as every later question.
    Question start();
    // The next-question step: the visit cursor moves on by one, then the
    // question there. Past the last question the finished state; the extra
    // keeps its value then.
    Question next();

    bool finished() const { return !current_; }
    // The question on display; none when finished.
    const Mondai* current() const { return current_ ? &*current_ : nullptr; }
    // "【解答】" CR LF U+3000 answer; "" when finished.
    std::string answer() const;
    // The source line of the question on display; "" when finished.
    std::string source() const;

    // The right-answer step's points: the new total is written to the point
    // file first; only then do the session's total and the streak change.
    // None (nothing changed, nothing written) when the total would leave the
    // 32-bit range. Throws FileError when the point file cannot be written.
    std::optional<RightAnswer> right();
    // The wrong-answer step's state: the streak back to 0.
    void wrong() { streak_ = 0; }

    std::int16_t streak() const { return streak_; }
    std::int16_t extra() const { return extra_; }

private:
    Question showAtCursor();

    Session& s_;
    QuestionFile file_;
    std::optional<Mondai> current_;
    std::int16_t streak_ = 0;
    std::int16_t extra_ = 0;
};

class VisitMap {
public:
    explicit VisitMap(Session& session) : s_(session) {}

    // Prefecture-list fill: reads "県範囲.csv" into the game's table and
    // returns the list entries ("済　" or "　　" + name).
    std::vector<std::string> fillPrefectures();
    const std::vector<KenHani>& prefectures() const { return table_; }

    // Choosing a prefecture (list position): no municipality chosen any more,
    // the chosen row becomes pos + 1, and its unvisited municipalities are
    // listed. Returns the list entries.
    std::vector<std::string> choosePrefecture(int pos);
    int prefectureRow() const { return prefRow_; }
    // "k" + chosen row + ".jpg" in the map folder.
    std::filesystem::path picture() const;

    // Municipality-list fill for the chosen row: the records StartRec..EndRec
    // whose visit mark is 0, in record order. Returns the list entries.
    std::vector<std::string> fillCities();
    const std::vector<CityRow>& rows() const { return rows_; }

    struct Profile {
        std::string header;  // lblCity: 7-character name, "　民力：", index
        std::string text;    // lblVist: statistics, then the old municipalities (8-character names)
        std::vector<Mark> marks;
        Visitability visit;  // against the session's point total
    };
    // Choosing a municipality (list position): it becomes the game's choice,
    // together with its own prefecture row.
    Profile chooseCity(int pos);
    bool selected() const { return selected_; }
    std::optional<int> chosenRecord() const { return choice_ ? std::optional<int>(choice_->recNo) : std::nullopt; }

    enum class Outcome { NoMunicipality, NotEnough, OutOfRange, Visited };
    struct VisitResult {
        Outcome outcome = Outcome::NoMunicipality;
        std::string message;               // for lblMinryoku when not visited
        std::vector<std::string> entries;  // the refilled list after a visit
        std::string refillError;           // why the list could not be refilled after a visit
    };
    // The visit action's state and files. When it succeeds: the cost is taken
    // from the total, the point file written, the municipality marked visited,
    // HomonSu of its own prefecture raised and "県範囲.csv" rewritten, all or
    // nothing across failures and crashes (a failure leaves the three files as
    // they were and throws FileError); then the list is refilled, and should
    // that fail the visit still stands (refillError says why the list is
    // empty). In every case no municipality is chosen afterwards.
    VisitResult visit();

    // Start over on disk, in this order: point total 0 (written), every
    // visit mark 0, "県範囲.csv" rewritten with every HomonSu 0. The range
    // file is read again first, so an unreadable one stops here with nothing
    // changed. All or nothing across failures and crashes: a failure leaves
    // the three files as they were and throws FileError. The caller refills
    // the prefecture list afterwards.
    void startOver();

private:
    struct Choice {
        int prefRow = 0;  // the municipality's own prefecture row
        int recNo = 0;
        std::int32_t cost = 0;
    };

    Session& s_;
    std::vector<KenHani> table_;
    int prefRow_ = 0;
    std::vector<CityRow> rows_;
    bool selected_ = false;
    std::optional<Choice> choice_;
};

}  // namespace tabinowa::game
