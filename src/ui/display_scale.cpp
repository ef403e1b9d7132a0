// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/display_scale.h"

#include <QGuiApplication>
#include <QScreen>
#include <QVariant>

#include <algorithm>
#include <cmath>

#include "ui/internal.h"
#include "ui/settings.h"
#include "ui/types.h"

namespace tabinowa::ui {

namespace {

// Kept on the application object, so that the scale lives and ends with it.
constexpr const char* kScaleProperty = "tabinowaDisplayScale";
constexpr const char* kAreaProperty = "tabinowaFitArea";

// What a window adds around its client area that does not grow with the
// scale (title bar and frame), and what does (a menu bar above, the keys'
// legend below), in pixels.
constexpr int kFrameWidth = 12;
constexpr int kFrameHeight = 44;
constexpr int kBarsHeight = 46;

double stepDown(double s) { return std::floor(s * 20.0 + 1e-9) / 20.0; }

double clampScale(double s) { return std::clamp(s, kMinDisplayScale, kMaxDisplayScale); }


}  // namespace

void setDisplayScale(double scale) {
    if (!qApp || !std::isfinite(scale)) return;
    qApp->setProperty(kScaleProperty, clampScale(scale));
}

double displayScale() {
    if (!qApp) return 1.0;
    const QVariant v = qApp->property(kScaleProperty);
    return v.isValid() ? v.toDouble() : 1.0;
}

void fitInto(std::optional<std::pair<int, int>> area) {
    if (!qApp) return;
    qApp->setProperty(kAreaProperty, area ? QVariant(QSize(area->first, area->second)) : QVariant());
}

double fittedScale(double scale, int clientWidthTwips, int clientHeightTwips, int areaWidth, int areaHeight) {
    scale = clampScale(scale);
    const double w = clientWidthTwips / static_cast<double>(kTwipsPerPixel);
    const double h = clientHeightTwips / static_cast<double>(kTwipsPerPixel) + kBarsHeight;
    if (w <= 0 || h <= 0) return scale;
    const double fit = std::min((areaWidth - kFrameWidth) / w, (areaHeight - kFrameHeight) / h);
    if (fit >= scale) return scale;
    return std::max(kMinDisplayScale, stepDown(fit));
}

double defaultScaleFor(int areaWidth, int areaHeight) {
    const double grow = std::min(areaWidth / 1600.0, areaHeight / 1000.0);
    return clampScale(std::max(1.0, stepDown(grow)));
}

std::optional<double> savedDisplayScale() {
    const auto percent = Settings().scalePercent();
    return percent ? std::optional<double>(*percent / 100.0) : std::nullopt;
}

bool saveDisplayScale(double scale) {
    return Settings().setScalePercent(
        std::clamp(static_cast<int>(std::lround(scale * 100)), kMinScalePercent, kMaxScalePercent));
}

void useScreenDisplayScale() {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect avail = screen->availableGeometry();
    setDisplayScale(savedDisplayScale().value_or(defaultScaleFor(avail.width(), avail.height())));
    fitInto(std::make_pair(avail.width(), avail.height()));
}

namespace detail {

double scaleForNewForm(int clientWidthTwips, int clientHeightTwips) {
    const double scale = displayScale();
    if (!qApp) return scale;
    const QVariant area = qApp->property(kAreaProperty);
    if (!area.isValid()) return scale;
    const QSize a = area.toSize();
    return fittedScale(scale, clientWidthTwips, clientHeightTwips, a.width(), a.height());
}

}  // namespace detail

}  // namespace tabinowa::ui
