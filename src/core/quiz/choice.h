// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Answering by choice: the four whole choices of a question (the hint's
// four) in a random order, the right one being the question's fourth choice.
#include <array>
#include <optional>
#include <string>

#include "core/base/random.h"
#include "core/files/records.h"

namespace tabinowa {

struct Choices {
    std::array<std::string, 4> texts;  // without trailing blanks
    int correct = 0;                   // position 0..3 of the right one

    bool isRight(int position) const { return position == correct; }
    // "〇　正解！" or "×　不正解（あなたの答え：…）", then CR LF and "正解：" and the right choice.
    std::string verdict(int position) const;
};

// The choices of a question, shuffled; none when the question has no hint
// or a choice is blank.
std::optional<Choices> choicesOf(const Mondai& m, Random& random);

}  // namespace tabinowa
