// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/game/rules.h"

#include <limits>

namespace tabinowa::game {
namespace {
constexpr const char* kCrLf = "\r\n";

std::optional<std::int32_t> inRange(std::int64_t v) {
    if (v > std::numeric_limits<std::int32_t>::max() || v < std::numeric_limits<std::int32_t>::min())
        return std::nullopt;
    return static_cast<std::int32_t>(v);
}
}  // namespace

std::string usageText() {
    static const char* const lines[] = {
        "\u3000\u3000☆☆☆☆☆☆☆☆\u3000\u3000使用方法\u3000\u3000☆☆☆☆☆☆☆☆",
        "",
        "\u3000\u3000市町村には、決められた民力があります",
        "\u3000\u3000市町村の選択は、①都道府県・②市町村の順にクリックしてください",
        "",
        "\u3000\u3000クイズに正解すると、ポイントをゲットできます（自己採点に任せます）",
        "",
        "\u3000\u3000ゲットしたポイントで、訪問できる民力の市町村を訪問できます",
        "\u3000\u3000訪問するタイミングは、ポイントの範囲内であれば、連続でもできます",
        "\u3000\u3000訪問した市町村は、リストから消えます",
        "",
        "",
        "",
    };
    std::string text;
    for (const char* line : lines) {
        text += line;
        text += kCrLf;
    }
    return text;
}

std::string pointDisplay(std::int32_t total) {
    return "\u3000\u3000\u3000現在のポイント" + std::string(kCrLf) + std::to_string(total);
}

std::string visitPointDisplay(std::int32_t total) { return "現在のポイント" + std::to_string(total); }

std::string answerText(const Mondai& m) { return "【解答】" + std::string(kCrLf) + "\u3000" + shortAnswer(m); }

std::int16_t doublePointExtra(const Mondai& m) { return m.DoublePoint == 1 ? kDoubleExtra : std::int16_t{0}; }

std::optional<RightAnswer> scoreRightAnswer(std::int32_t total, std::int16_t streak, std::int16_t extra,
                                            Random& random) {
    RightAnswer a;
    std::int64_t t = static_cast<std::int64_t>(total) + kRightPoints + extra;
    if (drawScaled(random, kLuckyOdds) == 1) {
        a.lucky = true;
        a.message += kLuckyLine;
        a.message += kCrLf;
        t += kLuckyPoints;
    }
    int s = streak + 1;
    if (s >= kBonusStreak) {
        a.bonus = true;
        a.message += kBonusLine;
        t += kBonusPoints;
        s = 0;
    }
    auto checked = inRange(t);
    if (!checked) return std::nullopt;
    a.total = *checked;
    a.streak = static_cast<std::int16_t>(s);
    return a;
}

Visitability visitability(std::int32_t total, std::int32_t cost) {
    Visitability v;
    v.affordable = total >= cost;
    v.palette = v.affordable ? kAffordablePalette : kUnaffordablePalette;
    v.line = std::string(v.affordable ? kAffordable : kUnaffordable) + " \u3000必要なポイント＝" +
             std::to_string(cost) + "\u3000蓄積ポイント＝" + std::to_string(total);
    return v;
}

std::optional<std::int32_t> pointsAfterVisit(std::int32_t total, std::int32_t cost) {
    return inRange(static_cast<std::int64_t>(total) - cost);
}

}  // namespace tabinowa::game
