// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The municipality map's part of tabinowa-screenshots.
#include <filesystem>

namespace tabinowa::shots {

// Drives frm2Tizu through a prefecture choice, a municipality choice and a
// pointer over one of its circles, saving frm2Tizu-prefecture.png,
// frm2Tizu-municipality.png and frm2Tizu-pointer.png in `out`. Works on its
// own copy of the program folder `work` (the shipped data when it holds the
// municipality files, else a small made-up set). Returns the number of failures.
int shootMap(const std::filesystem::path& out, const std::filesystem::path& work);

}  // namespace tabinowa::shots
