// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the quiz windows set up alike around their own controls: the title
// in the design's pop face, and the way back to the menu (the return button
// and the title bar's close box), with the place where a failure is told.
#include <functional>
#include <string>

#include "ui/controls.h"
#include "ui/form.h"

namespace tabinowa {

inline constexpr ui::Color kTitleRed = 0x000000FF;
inline constexpr const char* kWindowGothic = "ＭＳ Ｐゴシック";

// The window's title in red, in `face` (the design gives each window its size).
void setUpTitle(ui::Label& title, const ui::Font& face);

// The return button in bold 12-point ゴシック; it and the close box run
// `back`; a failure in any of the window's handlers is told through `tell`.
void setUpWayBack(ui::Form& frm, ui::CommandButton& cmdToMain, const std::function<void()>& back,
                  std::function<void(const std::string&)> tell);

}  // namespace tabinowa
