// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "どこでしょう"'s part of tabinowa-screenshots.
#include <filesystem>

namespace tabinowa::shots {

// Plays a round on 東京都, a question on 関東地方 and one on all Japan, saving
// where-question.png, where-right.png, where-wrong.png, where-result.png,
// where-region.png, where-japan.png and where-overview.png in
// `out`. Needs the shipped data in `work` (the municipality files and
// 区域.dat); without them it says so and saves nothing. Returns the failures.
int shootWhere(const std::filesystem::path& out, const std::filesystem::path& work);

}  // namespace tabinowa::shots
