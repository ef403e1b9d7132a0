// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Completion shown in steps rather than as a shade: the first find of a
// prefecture must show at once, and whole steps tell apart on any screen and
// for the common colour-vision deficiencies (the colours differ in lightness).
#include <array>
#include <string>

namespace tabinowa {

// Step 0 nothing yet, 1 below 25 %, 2 below 50 %, 3 below 75 %, 4 below
// 100 %, 5 all. Any find counts (1 of 2000 is step 1); all of them only
// when every one is found. A total of 0 or less is step 0.
int progressStep(long long done, long long total);

// The words of each step for a legend: "0％", "1～24％", … "100％".
const std::array<std::string, 6>& progressStepNames();

// "12％（3／25）": the share shown beside a name (the share cut down, never
// shown as 100 % before the last one; at least 1 % once one is done).
std::string progressText(long long done, long long total);

}  // namespace tabinowa
