// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The display scale (表示倍率) of the windows. Screens describe every window in
// twips; the ui layer turns twips into pixels at 15 twips a pixel times the
// scale of the window, and scales fonts, pictures, drawing and pointer
// positions with it, so a screen never sees a pixel: handlers get twips at any
// scale. A window takes its scale when it is made: the scale set here, lowered
// when needed so that the whole window fits the area given to fitInto().
// Without any call a window is drawn at 1 (the tests' setting). No Qt here.
#include <optional>
#include <utility>

namespace tabinowa::ui {

inline constexpr double kMinDisplayScale = 0.5;
inline constexpr double kMaxDisplayScale = 2.0;
// The range the user chooses from in the environment window.
inline constexpr int kMinScalePercent = 100;
inline constexpr int kMaxScalePercent = 200;

// The scale of windows made from now on (clamped to 0.5 .. 2).
void setDisplayScale(double scale);
double displayScale();

// The screen area (device-independent pixels) windows made from now on must
// fit into; none: no fitting.
void fitInto(std::optional<std::pair<int, int>> area);

// The scale a window of this client size (twips) gets: `scale`, lowered to
// what fits into the area with room for the title bar, the frame and a menu
// bar, in steps of 5 %, never below 0.5.
double fittedScale(double scale, int clientWidthTwips, int clientHeightTwips, int areaWidth, int areaHeight);

// The default for a screen of this available size: 100 %, grown on large
// screens (a quarter more on 2000 × 1250, double on 3200 × 2000), in steps of 5 %.
double defaultScaleFor(int areaWidth, int areaHeight);

// The scale the user chose (remembered across runs), if any, and saving it.
std::optional<double> savedDisplayScale();
// False when the setting could not be written.
bool saveDisplayScale(double scale);

// Sets the scale of the program's windows: the saved one or the default for
// the primary screen, fitted to that screen's available area.
void useScreenDisplayScale();

}  // namespace tabinowa::ui
