// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/paper_output.h"

#include <QFileDialog>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QStandardPaths>

#include <cmath>
#include <memory>
#include <system_error>

#include "core/files/error.h"
#include "ui/internal.h"

namespace tabinowa::ui {

namespace {

using paper::Document;
using paper::Page;

QPageSize pageSizeOf(const paper::PaperSize& p) {
    return QPageSize(p.kind == paper::PaperKind::A4 ? QPageSize::A4 : QPageSize::JisB4);
}

QPageLayout layoutOf(const paper::PaperSize& p) {
    return QPageLayout(pageSizeOf(p), p.landscape ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF(0, 0, 0, 0),
                       QPageLayout::Millimeter);
}

QFont paperFont(paper::Face face, double pt, bool bold, QPaintDevice* device) {
    static const QString gothic = detail::installedFamily("ＭＳ Ｐゴシック");
    static const QString mincho = detail::installedFamily("ＭＳ Ｐ明朝");
    QFont f(face == paper::Face::Mincho ? mincho : gothic);
    f.setPointSizeF(pt);
    f.setBold(bold);
    // Outlines for every size: the PDF embeds the glyphs, the printer gets them sharp.
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setStyleStrategy(QFont::ForceOutline);
    return QFont(f, device);
}

// Draws one page; the painter's unit is the device's pixel, `dpmm` of them a millimetre.
void paintPage(QPainter& p, const Page& page, double dpmm, QPaintDevice* device) {
    auto at = [dpmm](paper::Pt q) { return QPointF(q.x * dpmm, q.y * dpmm); };
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setBrush(Qt::NoBrush);
    QPen pen(Qt::black);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    pen.setWidthF(page.borderWidthMm * dpmm);
    p.setPen(pen);
    QPainterPath borders;
    for (const auto& line : page.borders) {
        if (line.empty()) continue;
        borders.moveTo(at(line.front()));
        for (std::size_t i = 1; i < line.size(); ++i) borders.lineTo(at(line[i]));
    }
    p.drawPath(borders);
    for (const auto& b : page.frames) p.drawRect(QRectF(at({b.left, b.top}), at({b.right, b.bottom})));
    for (const auto& l : page.lines) {
        pen.setWidthF(l.widthMm * dpmm);
        p.setPen(pen);
        p.drawLine(at(l.a), at(l.b));
    }
    if (!page.dots.empty()) {
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        const double r = page.dotRadiusMm * dpmm;
        for (const auto& d : page.dots) p.drawEllipse(at(d), r, r);
        p.setBrush(Qt::NoBrush);
    }
    if (!page.anchors.empty()) {
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        const double r = page.anchorRadiusMm * dpmm;
        for (const auto& d : page.anchors) p.drawEllipse(at(d), r, r);
        p.setBrush(Qt::NoBrush);
    }
    for (const auto& t : page.texts) {
        const QFont font = paperFont(t.face, t.sizePt, t.bold, device);
        p.setFont(font);
        const QString text = detail::toQ(t.text);
        const QFontMetricsF m(font, device);
        const double w = m.horizontalAdvance(text);
        const double h = m.height();
        double left = t.at.x * dpmm;
        if (t.align == paper::Align::Centre) left -= w / 2;
        if (t.align == paper::Align::Right) left -= w;
        const QRectF box(left, t.at.y * dpmm - h / 2, w, h);
        if (t.halo) {
            const double pad = 0.3 * dpmm;
            p.fillRect(box.adjusted(-pad, -pad * 0.5, pad, pad * 0.5), Qt::white);
        }
        p.setPen(Qt::black);
        p.drawText(QPointF(box.left(), box.top() + m.ascent()), text);
    }
}

// Every page of the document onto a paged device whose painter is `p`.
void paintDocument(QPainter& p, QPagedPaintDevice& device, const Document& doc) {
    const double dpmm = device.logicalDpiX() / 25.4;
    for (std::size_t i = 0; i < doc.pages.size(); ++i) {
        if (i > 0) device.newPage();
        paintPage(p, doc.pages[i], dpmm, &device);
    }
}

void setUpPrinter(QPrinter& printer, const Document& doc) {
    printer.setFullPage(true);
    printer.setPageLayout(layoutOf(doc.paper));
    printer.setDocName(detail::toQ(doc.title));
    printer.setCreator(QStringLiteral("クイズタビノワ"));
}

std::string printTo(QPrinter& printer, const Document& doc) {
    QPainter p;
    if (!p.begin(&printer)) return "印刷を始められませんでした。プリンターの設定を確かめてください。";
    paintDocument(p, printer, doc);
    return p.end() ? std::string() : "印刷を終えられませんでした。";
}

std::string nameOf(const std::filesystem::path& file) {
    const auto u = file.filename().u8string();
    return std::string(u.begin(), u.end());
}

}  // namespace

void writePdf(const Document& doc, const std::filesystem::path& file) {
    const std::string name = nameOf(file);
    std::filesystem::path temp = file;
    temp += ".tmp";
    {
        QPdfWriter writer(detail::pathToQ(temp));
        writer.setResolution(600);
        writer.setPageLayout(layoutOf(doc.paper));
        writer.setTitle(detail::toQ(doc.title));
        writer.setCreator(QStringLiteral("クイズタビノワ"));
        QPainter p;
        if (!p.begin(&writer)) {
            std::error_code ec;
            std::filesystem::remove(temp, ec);
            throw FileError("PDFファイル「" + name + "」を書けませんでした。保存する場所を確かめてください。");
        }
        paintDocument(p, writer, doc);
        if (!p.end()) {
            std::error_code ec;
            std::filesystem::remove(temp, ec);
            throw FileError("PDFファイル「" + name + "」を書き終えられませんでした。");
        }
    }
    std::error_code ec;
    const auto size = std::filesystem::file_size(temp, ec);
    if (ec || size == 0) {
        std::filesystem::remove(temp, ec);
        throw FileError("PDFファイル「" + name + "」を書けませんでした。ディスクの空きを確かめてください。");
    }
    std::filesystem::rename(temp, file, ec);
    if (ec) {
        std::filesystem::remove(temp, ec);
        throw FileError("PDFファイル「" + name + "」を置けませんでした。同じ名前のファイルが開かれていないか確かめてください。");
    }
}

void writePagePng(const Document& doc, std::size_t index, int dpi, const std::filesystem::path& file) {
    if (index >= doc.pages.size()) throw FileError("ページ " + std::to_string(index + 1) + " はありません。");
    const double dpmm = dpi / 25.4;
    QImage image(static_cast<int>(std::lround(doc.paper.widthMm() * dpmm)),
                 static_cast<int>(std::lround(doc.paper.heightMm() * dpmm)), QImage::Format_RGB32);
    image.setDotsPerMeterX(static_cast<int>(std::lround(dpmm * 1000)));
    image.setDotsPerMeterY(static_cast<int>(std::lround(dpmm * 1000)));
    image.fill(Qt::white);
    {
        QPainter p(&image);
        paintPage(p, doc.pages[index], dpmm, &image);
    }
    if (!image.save(detail::pathToQ(file), "PNG")) throw FileError("画像「" + nameOf(file) + "」を書けませんでした。");
}

void printWithDialog(Form& parent, const Document& doc, std::function<void(const std::string&)> done) {
    auto& node = detail::Access::node(parent);
    auto printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
    setUpPrinter(*printer, doc);
    auto* dialog = new QPrintDialog(printer.get(), node.widget);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(QStringLiteral("印刷"));
    dialog->setOption(QAbstractPrintDialog::PrintPageRange, false);
    auto core = node.form;
    QObject::connect(dialog, &QDialog::finished, dialog, [printer, doc, core, done = std::move(done)](int result) {
        if (result != QDialog::Accepted) return;
        detail::runGuarded(core, [&] { done(printTo(*printer, doc)); });
    });
    dialog->open();
}

void showPrintPreview(Form& parent, const Document& doc) {
    auto& node = detail::Access::node(parent);
    auto printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
    setUpPrinter(*printer, doc);
    auto* dialog = new QPrintPreviewDialog(printer.get(), node.widget);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(QStringLiteral("印刷プレビュー"));
    QObject::connect(dialog, &QPrintPreviewDialog::paintRequested, dialog, [printer, doc](QPrinter* target) {
        QPainter p;
        if (!p.begin(target)) return;
        paintDocument(p, *target, doc);
        p.end();
    });
    dialog->resize(900, 1000);
    dialog->open();
}

void askPdfFile(Form& parent, const std::string& suggestedName, std::function<void(const std::filesystem::path&)> chosen) {
    auto& node = detail::Access::node(parent);
    auto* dialog = new QFileDialog(node.widget, QStringLiteral("PDFに保存"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setNameFilter(QStringLiteral("PDF (*.pdf)"));
    dialog->setDefaultSuffix(QStringLiteral("pdf"));
    dialog->setDirectory(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    dialog->selectFile(detail::toQ(suggestedName));
    auto core = node.form;
    QObject::connect(dialog, &QFileDialog::fileSelected, dialog, [core, chosen = std::move(chosen)](const QString& f) {
        if (f.isEmpty()) return;
        const QByteArray utf8 = f.toUtf8();
        const std::filesystem::path p(std::u8string(reinterpret_cast<const char8_t*>(utf8.constData()),
                                                    static_cast<std::size_t>(utf8.size())));
        detail::runGuarded(core, [&] { chosen(p); });
    });
    dialog->open();
}

}  // namespace tabinowa::ui
