// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's icon, drawn from one list of shapes as a scalable SVG and as
// PNG pictures of 16 to 256 pixels, so that both always show the same
// picture: a prefecture map dot on a leaf-green tile, with the sun of the
// maker's mark. Every window shows it in its title bar; the build writes the
// files the desktop's menu uses (tabinowa-icons).
#include <filesystem>
#include <string>

namespace tabinowa::ui {

// Writes tabinowa.svg and tabinowa-<size>.png into an existing folder; false
// with `error` naming the file that could not be written.
bool writeProgramIcons(const std::filesystem::path& folder, std::string& error);

}  // namespace tabinowa::ui
