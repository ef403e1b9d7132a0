// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The visit game's rules as plain values: the points of a right answer (500,
// the double-point extra, the one-in-ten lucky 1000, the 2000 bonus on every
// fifth right answer in a row), the visitability line of a municipality and
// the texts the game window shows. Standard C++ only.
#include <cstdint>
#include <optional>
#include <string>

#include "core/base/random.h"
#include "core/files/records.h"

namespace tabinowa::game {

inline constexpr std::int32_t kRightPoints = 500;
inline constexpr std::int16_t kDoubleExtra = 500;
inline constexpr std::int32_t kLuckyPoints = 1000;
inline constexpr int kLuckyOdds = 10;  // one right answer in ten is lucky
inline constexpr std::int32_t kBonusPoints = 2000;
inline constexpr int kBonusStreak = 5;  // the fifth right answer in a row

// Palette entries of the visitability line.
inline constexpr int kAffordablePalette = 4;    // dark red
inline constexpr int kUnaffordablePalette = 1;  // dark blue
// Design colour (&H00BBGGRR) of a double-point question's text; 0 is palette black.
inline constexpr std::uint32_t kDoubleQuestionColor = 0x000000FF;
inline constexpr int kOrdinaryQuestionPalette = 0;

inline constexpr const char* kDoubleCaption = "ダブルポイント問題";
inline constexpr const char* kLuckyLine = "\u3000ラッキー!!\u3000１０００ポイントをゲット";
inline constexpr const char* kBonusLine = "ボーナスポイント\u3000２０００をゲット";
inline constexpr const char* kFinishedText = "お疲れ様でした。全ての問題を終了しました。";
inline constexpr const char* kMemoText =
    "訪問する場合は、左のリストから都道府県、市町村の順にクリックし、「訪問する」ボタンをクリック";
inline constexpr const char* kResettingText = "初期化中\u3000\u3000しばらくお待ちください";
inline constexpr const char* kResetDoneText = "初期化しました\u3000\u3000最初から始めて下さい";
inline constexpr const char* kAffordable = "○訪問可能";
inline constexpr const char* kUnaffordable = "×訪問不可";
inline constexpr const char* kCongratulation = "オメデトウ！！\u3000";
inline constexpr const char* kNotEnoughPoints =
    "ポイントが足りません！？\u3000他の市町村か、クイズで蓄財してください";
inline constexpr const char* kNoMunicipality =
    "市町村が指定されていません！？\u3000先に市町村を選んでください";
// A total that would leave the 32-bit range is refused with these.
inline constexpr const char* kPointsTooLarge =
    "ポイントが上限（２１４７４８３６４７）を超えるため、これ以上加算できません";
inline constexpr const char* kVisitOutOfRange =
    "訪問後のポイントが扱える範囲を超えるため、この市町村には訪問できません";

// The usage text shown at load: 13 lines, each ended by CR LF.
std::string usageText();

// "　　　現在のポイント" CR LF total: the point display of the quiz half.
std::string pointDisplay(std::int32_t total);
// "現在のポイント" + total on one line: the point display after a visit.
std::string visitPointDisplay(std::int32_t total);

// "【解答】" CR LF, U+3000 and the first KotaeLen characters of Kotae.
std::string answerText(const Mondai& m);

// The extra points of a question on display: 500 when DoublePoint is 1, else 0.
std::int16_t doublePointExtra(const Mondai& m);

struct RightAnswer {
    std::int32_t total = 0;   // the new point total
    std::int16_t streak = 0;  // the streak counter afterwards, 0..4
    bool lucky = false;
    bool bonus = false;
    std::string message;  // for lblMsg2: "", the lucky line + CR LF, the bonus line, or both
};

// Scores one right answer: 500 + extra, then one lucky draw (r = floor(u * 10
// + 1) for a single-precision u; r = 1 gives 1000), then the streak (its fifth
// gives 2000 and starts again from 0). Draws exactly once from `random`.
// None when the new total would leave the 32-bit range: the caller keeps the
// old total and streak.
std::optional<RightAnswer> scoreRightAnswer(std::int32_t total, std::int16_t streak, std::int16_t extra,
                                            Random& random);

struct Visitability {
    bool affordable = false;  // total >= cost: "訪問する" is offered
    int palette = kUnaffordablePalette;
    std::string line;  // prefix, " 　必要なポイント＝", cost, "　蓄積ポイント＝", total
};
Visitability visitability(std::int32_t total, std::int32_t cost);

// total - cost; none when that leaves the 32-bit range (a negative cost).
std::optional<std::int32_t> pointsAfterVisit(std::int32_t total, std::int32_t cost);

}  // namespace tabinowa::game
