// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The visit game's part of tabinowa-screenshots.
#include <filesystem>

namespace tabinowa::shots {

// Drives frm2CityVisit through load, answer, an unaffordable and an
// affordable municipality and a visit, saving frm2CityVisit-load.png,
// -answer.png, -unaffordable.png, -affordable.png and -visited.png in `out`.
// Works on its own copy of the program folder `work` (the shipped data when
// it holds the municipality files, else a small made-up set). Returns the
// number of failures.
int shootVisitGame(const std::filesystem::path& out, const std::filesystem::path& work);

}  // namespace tabinowa::shots
