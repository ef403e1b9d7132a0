// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// 印刷・PDF's part of tabinowa-screenshots.
#include <filesystem>

namespace tabinowa::shots {

// Saves the window (paper-window.png, paper-questions-window.png) and, with
// `pages`, writes the PDF files of a 北海道 白地図 with its key, a 東京都 study
// map and a sheet of 20 questions with its key, and each of their pages as
// PNG through pdftoppm (paper-hokkaido-1.png …). Needs the shipped data in
// `work`; without it says so and saves nothing. Returns the failures.
int shootPaper(const std::filesystem::path& out, const std::filesystem::path& work, bool pages);

}  // namespace tabinowa::shots
