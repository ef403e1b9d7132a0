// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Question sheets on paper: N questions (10 to 100) chosen from the day's
// review, one kind, one prefecture or the learner's mistakes; each numbered,
// with its four choices where the question has them, and an answer key with
// the explanations on pages of its own. Standard C++ only.
#include <string>
#include <vector>

#include "core/base/random.h"
#include "core/files/records.h"
#include "core/paper/page.h"
#include "core/quiz/memory.h"
#include "core/quiz/review.h"

namespace tabinowa::paper {

inline constexpr int kMinQuestions = 10;
inline constexpr int kMaxQuestions = 100;

enum class QuestionSource { Review, Kind, Prefecture, Mistakes };

struct QuestionPick {
    QuestionSource source = QuestionSource::Review;
    std::string kind;    // with Kind
    int prefecture = 0;  // with Prefecture, 1..47
    int count = 20;      // taken into 10..100
};

// The record numbers of the questions to print, in the order printed (at most
// `count`, fewer when the source has fewer). Removed questions never come.
// Review: the day's review queue in its order. Kind, Prefecture: the bank's
// questions of it, in an order drawn from `random`. Mistakes: the questions
// answered wrong at least once and not mastered, the last answered wrong first,
// then the most often wrong, ties in bank order.
std::vector<int> pickQuestions(const std::vector<BankQuestion>& bank, const MemoryBook& book, std::int32_t today,
                               const QuestionPick& pick, Random& random);

// One question as printed.
struct SheetQuestion {
    int number = 0;
    std::vector<std::string> text;     // its paragraphs (the question's two lines)
    std::vector<std::string> choices;  // four, or none
    std::string answer;                // "ウ　札幌市" with choices, else the answer
    std::string explanation;
    std::string source;                // the source line
};

// A record as printed as question `number`: the choices in an order drawn
// from `random` (as the training's choices are).
SheetQuestion sheetQuestion(const Mondai& m, int number, Random& random);

// The sheet's pages, then the key's; `keyFirst` is set to the index of the
// key's first page.
std::vector<Page> questionSheetPages(const std::string& title, const std::vector<SheetQuestion>& questions,
                                     const PaperSize& paper, std::size_t* keyFirst = nullptr);

// The letter of a choice position 0..3: "ア" … "エ".
std::string choiceLetter(int position);

inline constexpr double kQuestionPt = 10.5;
inline constexpr double kChoicePt = 10;
inline constexpr double kAnswerPt = 9.5;

}  // namespace tabinowa::paper
