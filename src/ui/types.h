// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Plain values the windows are described in: twips, colours as &H00BBGGRR,
// fonts by their design names. No Qt here: screens include this.
#include <cstdint>
#include <string>
#include <vector>

namespace tabinowa::ui {

// 15 twips are one pixel (96 dpi); nothing is scaled by the screen's dpi.
constexpr int kTwipsPerPixel = 15;
// Twips to whole pixels, rounding to the nearest pixel.
int twipsToPixels(double twips);
constexpr double pixelsToTwips(double pixels) { return pixels * kTwipsPerPixel; }

// A box in twips: left, top, width, height, relative to the parent's client area.
struct Rect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

// A colour as the window designs write it: &H00BBGGRR, or a system colour
// &H800000nn (nn = the system colour index).
using Color = std::uint32_t;

constexpr Color rgb(int r, int g, int b) {
    return static_cast<Color>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}

constexpr Color kSystemWindow = 0x80000005;      // window background
constexpr Color kSystemWindowText = 0x80000008;  // window text
constexpr Color kSystemButtonFace = 0x8000000F;  // button face, the default back colour
constexpr Color kSystemButtonText = 0x80000012;  // button text, the default fore colour

constexpr bool isSystemColor(Color c) { return (c & 0x80000000u) != 0; }

// The 16-colour palette entries the windows use: 0 black, 1 dark blue (0,0,128),
// 4 dark red (128,0,0), 7 light grey (192,192,192), 12 red (255,0,0). Other
// entries follow the same standard 16-colour table.
Color paletteColor(int index);

struct Rgb {
    int r = 0;
    int g = 0;
    int b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};
// The red, green and blue a colour stands for (system colours as the current
// desktop palette gives them).
Rgb toRgb(Color c);
Color fromRgb(Rgb c);

// A font as the designs name it. The default of every control: "ＭＳ Ｐゴシック" 9 pt.
struct Font {
    std::string name = "ＭＳ Ｐゴシック";
    double size = 9;  // points
    bool bold = false;
    friend bool operator==(const Font&, const Font&) = default;
};
// The families tried for a design font name, in order: the name itself, its
// installed stand-in, then "Noto Sans CJK JP".
std::vector<std::string> fontFamilies(const std::string& designName);
// The pixel size of a point size at 96 dpi (9 pt -> 12 px, 14.25 pt -> 19 px).
int fontPixelSize(double points);

enum class Align { Left, Center, Right };

}  // namespace tabinowa::ui
