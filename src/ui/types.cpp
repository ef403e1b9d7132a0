// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/types.h"

#include <QApplication>
#include <QFontDatabase>
#include <QPalette>

#include <algorithm>
#include <cmath>
#include <exception>
#include <map>
#include <stdexcept>

#include "ui/internal.h"

namespace tabinowa::ui {

int twipsToPixels(double twips) {
    return static_cast<int>(std::lround(twips / kTwipsPerPixel));
}

Color paletteColor(int index) {
    static constexpr Color table[16] = {
        rgb(0, 0, 0),       rgb(0, 0, 128),     rgb(0, 128, 0),   rgb(0, 128, 128),
        rgb(128, 0, 0),     rgb(128, 0, 128),   rgb(128, 128, 0), rgb(192, 192, 192),
        rgb(128, 128, 128), rgb(0, 0, 255),     rgb(0, 255, 0),   rgb(0, 255, 255),
        rgb(255, 0, 0),     rgb(255, 0, 255),   rgb(255, 255, 0), rgb(255, 255, 255),
    };
    if (index < 0 || index > 15) throw std::out_of_range("palette index " + std::to_string(index));
    return table[index];
}

namespace {

QColor systemColor(Color c) {
    const QPalette pal = QApplication::palette();
    switch (c & 0xFF) {
        case 5: return pal.color(QPalette::Base);          // window background
        case 8: return pal.color(QPalette::Text);          // window text
        case 15: return pal.color(QPalette::Button);       // button face
        case 18: return pal.color(QPalette::ButtonText);   // button text
        case 4: return pal.color(QPalette::Window);         // menu bar
        case 7: return pal.color(QPalette::WindowText);     // menu text
        case 13: return pal.color(QPalette::Highlight);
        case 14: return pal.color(QPalette::HighlightedText);
        case 16: return pal.color(QPalette::Dark);           // button shadow
        case 17: return pal.color(QPalette::PlaceholderText);  // grey text
        case 20: return pal.color(QPalette::Light);          // button highlight
        default: return pal.color(QPalette::Window);
    }
}

}  // namespace

Rgb toRgb(Color c) {
    const QColor q = detail::toQColor(c);
    return {q.red(), q.green(), q.blue()};
}

Color fromRgb(Rgb c) { return rgb(c.r, c.g, c.b); }

std::vector<std::string> fontFamilies(const std::string& designName) {
    std::string standIn = "IPAPGothic";
    if (designName == "ＭＳ Ｐ明朝") standIn = "IPAPMincho";
    else if (designName == "ＭＳ 明朝") standIn = "IPAMincho";
    else if (designName == "ＭＳ ゴシック") standIn = "IPAGothic";
    else if (designName == "HG創英角ﾎﾟｯﾌﾟ体" || designName == "HGP創英角ﾎﾟｯﾌﾟ体") standIn = "Reggae One";
    return {designName, standIn, "Noto Sans CJK JP"};
}

int fontPixelSize(double points) {
    return static_cast<int>(std::lround(points * 96.0 / 72.0));
}

namespace detail {

QString toQ(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string fromQ(const QString& s) {
    const QByteArray b = s.toUtf8();
    return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}

QColor toQColor(Color c) {
    if (isSystemColor(c)) return systemColor(c);
    return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                  static_cast<int>((c >> 16) & 0xFF));
}

// The first installed family of a design font's list, looked up once per
// name (empty when none is installed). A font given that one family draws
// with it and asks the font configuration for fallbacks only when a glyph is
// missing; given the whole list, the toolkit sorts every installed font for
// each family and script at the first use.
//
// The names are looked up in the list of installed families, never through
// hasFamily(): that also resolves a missing name as an alias through the
// font configuration, and the design's names are missing on most systems.
QString installedFamily(const std::string& designName) {
    static std::map<std::string, QString> known;
    if (auto it = known.find(designName); it != known.end()) return it->second;
    QString chosen;
    const QStringList installed = QFontDatabase::families();
    for (const auto& name : fontFamilies(designName)) {
        const QString q = toQ(name);
        if (installed.contains(q, Qt::CaseInsensitive)) {
            chosen = q;
            break;
        }
    }
    known.emplace(designName, chosen);
    return chosen;
}

QFont makeFont(const Font& f, double scale) {
    QFont q;
    if (const QString family = installedFamily(f.name); !family.isEmpty()) {
        q.setFamily(family);
    } else {
        QStringList families;  // none installed: the toolkit's own choice among them
        for (const auto& name : fontFamilies(f.name)) families << toQ(name);
        q.setFamilies(families);
    }
    // Text never grows faster than the boxes it sits in: rounded down.
    const int pixels = scale == 1.0 ? fontPixelSize(f.size)
                                    : static_cast<int>(std::floor(fontPixelSize(f.size) * scale + 1e-6));
    q.setPixelSize(std::max(1, pixels));
    q.setBold(f.bold);
    q.setStyleStrategy(QFont::PreferAntialias);
    return q;
}

}  // namespace detail
}  // namespace tabinowa::ui
