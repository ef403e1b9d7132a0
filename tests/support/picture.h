// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Map pictures for the window tests: one colour all over. Uses Qt Gui, so only
// for the programs that run with a QApplication.
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QString>

#include <filesystem>

namespace tabinowa::testing {

// `format` as Qt names it ("JPEG", "BMP"); `quality` -1 is Qt's default.
inline void writePicture(const std::filesystem::path& p, int width, int height, const QColor& fill,
                         const char* format = "JPEG", int quality = -1) {
    QImage img(width, height, QImage::Format_RGB32);
    img.fill(fill);
    ASSERT_TRUE(img.save(QString::fromStdString(p.string()), format, quality)) << p;
}

// A small stand-in for a map picture: 120 × 100, dark green.
inline void writeSmallPicture(const std::filesystem::path& p) {
    writePicture(p, 120, 100, QColor(Qt::darkGreen), "JPEG", 90);
}

}  // namespace tabinowa::testing
