// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/quiz/choice.h"

#include <utility>

#include "core/files/cp932.h"
#include "core/quiz/questions.h"

namespace tabinowa {

std::string Choices::verdict(int position) const {
    const std::string right = "正解：" + texts[static_cast<std::size_t>(correct)];
    if (isRight(position)) return "〇　正解！\r\n" + right;
    const std::string picked =
        position >= 0 && position < 4 ? texts[static_cast<std::size_t>(position)] : std::string("（なし）");
    return "×　不正解（あなたの答え：" + picked + "）\r\n" + right;
}

std::optional<Choices> choicesOf(const Mondai& m, Random& random) {
    if (!hasHint(m)) return std::nullopt;
    Choices c;
    std::array<int, 4> order = {0, 1, 2, 3};
    for (int i = 3; i > 0; --i) std::swap(order[static_cast<std::size_t>(i)], order[static_cast<std::size_t>(drawScaled(random, i + 1) - 1)]);
    for (std::size_t pos = 0; pos < 4; ++pos) {
        const int source = order[pos];
        c.texts[pos] = trimRight(m.Sentaku[static_cast<std::size_t>(source)]);
        if (c.texts[pos].empty()) return std::nullopt;
        if (source == 3) c.correct = static_cast<int>(pos);
    }
    return c;
}

}  // namespace tabinowa
