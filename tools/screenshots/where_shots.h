#pragma once
// "どこでしょう"'s part of tabinowa-screenshots.
#include <filesystem>

namespace tabinowa::shots {

// Plays a round on 東京都 and a question on all Japan, saving where-question.png,
// where-right.png, where-wrong.png, where-result.png and where-japan.png in
// `out`. Needs the shipped data in `work` (the municipality files and
// 区域.dat); without them it says so and saves nothing. Returns the failures.
int shootWhere(const std::filesystem::path& out, const std::filesystem::path& work);

}  // namespace tabinowa::shots
