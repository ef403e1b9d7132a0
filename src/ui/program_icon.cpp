// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/program_icon.h"

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QSaveFile>
#include <QString>

#include <vector>

#include "ui/internal.h"

namespace tabinowa::ui {

namespace {

// One shape on a 256 × 256 canvas.
struct Shape {
    enum Kind { Tile, Circle, Ellipse } kind;
    double x, y, rx, ry;  // centre and radii (a tile: left, top, size, corner radius)
    double angle;         // degrees, ellipses only
    const char* fill;
    const char* stroke;   // nullptr: none
    double strokeWidth;
};

const std::vector<Shape>& shapes() {
    static const std::vector<Shape> s = {
        {Shape::Tile, 8, 8, 240, 44, 0, "#2e6e3a", nullptr, 0},
        {Shape::Circle, 128, 136, 86, 86, 0, "#faf7e8", nullptr, 0},
        {Shape::Circle, 190, 62, 34, 34, 0, "#f4aa28", "#faf7e8", 6},
        {Shape::Ellipse, 92, 168, 34, 16, -35, "#3c8c46", nullptr, 0},
        {Shape::Ellipse, 132, 182, 34, 16, -5, "#60aa50", nullptr, 0},
        {Shape::Ellipse, 170, 160, 34, 16, 25, "#286e3c", nullptr, 0},
        {Shape::Circle, 124, 112, 22, 22, 0, "#d03a2a", "#ffffff", 6},
    };
    return s;
}

QString svg() {
    QString out = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" viewBox=\"0 0 256 256\">\n");
    for (const Shape& s : shapes()) {
        const QString stroke = s.stroke ? QStringLiteral(" stroke=\"%1\" stroke-width=\"%2\"")
                                              .arg(QLatin1String(s.stroke)).arg(s.strokeWidth)
                                        : QString();
        switch (s.kind) {
            case Shape::Tile:
                out += QStringLiteral("  <rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%3\" rx=\"%4\" fill=\"%5\"%6/>\n")
                           .arg(s.x).arg(s.y).arg(s.rx).arg(s.ry).arg(QLatin1String(s.fill), stroke);
                break;
            case Shape::Circle:
                out += QStringLiteral("  <circle cx=\"%1\" cy=\"%2\" r=\"%3\" fill=\"%4\"%5/>\n")
                           .arg(s.x).arg(s.y).arg(s.rx).arg(QLatin1String(s.fill), stroke);
                break;
            case Shape::Ellipse:
                out += QStringLiteral(
                           "  <ellipse cx=\"0\" cy=\"0\" rx=\"%1\" ry=\"%2\" transform=\"translate(%3 %4) rotate(%5)\" "
                           "fill=\"%6\"%7/>\n")
                           .arg(s.rx).arg(s.ry).arg(s.x).arg(s.y).arg(s.angle).arg(QLatin1String(s.fill), stroke);
                break;
        }
    }
    return out + QStringLiteral("</svg>\n");
}

QImage png(int size) {
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 256.0, size / 256.0);
    for (const Shape& s : shapes()) {
        p.setBrush(QColor(QLatin1String(s.fill)));
        p.setPen(s.stroke ? QPen(QColor(QLatin1String(s.stroke)), s.strokeWidth) : QPen(Qt::NoPen));
        switch (s.kind) {
            case Shape::Tile: p.drawRoundedRect(QRectF(s.x, s.y, s.rx, s.rx), s.ry, s.ry); break;
            case Shape::Circle: p.drawEllipse(QPointF(s.x, s.y), s.rx, s.ry); break;
            case Shape::Ellipse:
                p.save();
                p.translate(s.x, s.y);
                p.rotate(s.angle);
                p.drawEllipse(QPointF(0, 0), s.rx, s.ry);
                p.restore();
                break;
        }
    }
    return img;
}

constexpr int kIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

}  // namespace

QIcon detail::programIcon() {
    QIcon icon;
    for (int size : kIconSizes) icon.addPixmap(QPixmap::fromImage(png(size)));
    return icon;
}

bool writeProgramIcons(const std::filesystem::path& folder, std::string& error) {
    const QString dir = detail::pathToQ(folder);
    QSaveFile f(dir + QStringLiteral("/tabinowa.svg"));
    if (!f.open(QIODevice::WriteOnly) || f.write(svg().toUtf8()) < 0 || !f.commit()) {
        error = detail::fromQ(dir) + "/tabinowa.svg";
        return false;
    }
    for (int size : kIconSizes) {
        const QString name = dir + QStringLiteral("/tabinowa-%1.png").arg(size);
        if (!png(size).save(name, "PNG")) {
            error = detail::fromQ(name);
            return false;
        }
    }
    return true;
}

}  // namespace tabinowa::ui
