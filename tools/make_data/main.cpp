// SPDX-License-Identifier: GPL-3.0-or-later
// tabinowa-make-data RAW_DIR OUT_DATA_DIR
//
// Derives the default data set from the raw public data: the municipality
// master and the question bank (OUT/作業ファイル/), the prefecture data and the
// prefecture pictures (OUT/file1/). Deterministic: two runs give the same bytes.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <map>

#include "facts.h"
#include "core/files/io.h"
#include "core/map/outlines.h"
#include "masters.h"
#include "output.h"
#include "prefmap.h"
#include "questions.h"
#include "sources.h"

using namespace makedata;

namespace {

constexpr int kPictureWidthTwips = 7575;
constexpr int kPictureHeightTwips = 7545;
// Outlines keep every bend of more than half a twip: a sixteenth of a pixel
// at 1x, a quarter of one at 8x zoom.
constexpr double kOutlineTolerance = 0.5;
constexpr double kJapanOutlineTolerance = 1.0;

void say(const std::string& line) { std::printf("%s\n", line.c_str()); }

Dot toDot(QPointF p, const std::string& what) {
    Dot d{static_cast<int>(std::lround(p.x())), static_cast<int>(std::lround(p.y()))};
    if (d.x < 0 || d.x > kPictureWidthTwips || d.y < 0 || d.y > kPictureHeightTwips)
        throw std::runtime_error("dot outside the picture: " + what);
    return d;
}

void renameOver(const QString& from, const QString& to) {
    std::error_code ec;
    std::filesystem::rename(std::filesystem::path(from.toStdString()), std::filesystem::path(to.toStdString()), ec);
    if (ec) throw std::runtime_error("cannot rename " + from.toStdString() + ": " + ec.message());
}

int run(const QString& rawDir, const QString& outDir) {
    QElapsedTimer timer;
    timer.start();
    RawData raw = loadRaw(rawDir);
    Facts facts = deriveFacts(raw);
    say("facts: " + std::to_string(facts.presents.size()) + " present, " + std::to_string(facts.olds.size()) +
        " old municipalities (" + std::to_string(timer.elapsed()) + " ms)");

    // Pictures and dots, one prefecture at a time.
    const QString workDir = outDir + "/作業ファイル";
    const QString mapDir = outDir + "/file1";
    QDir().mkpath(workDir);
    QDir().mkpath(mapDir);
    Dots dots;
    std::vector<tabinowa::MapArea> areas;
    std::map<DotPlacement::How, int> how;
    int outside = 0;
    for (const auto& p : facts.prefs) {
        auto map = loadPrefMap(rawDir, p.number);
        for (const auto& m : facts.presents) {
            if (m.pref != p.number) continue;
            if (m.merged()) {
                DotPlacement d = placeDot(*map, m.code, m.lon, m.lat);
                dots.present[m.code] = toDot(d.twips, m.name);
            }
            for (int code : m.olds) {
                const OldMuni& o = facts.olds.at(code);
                DotPlacement d = placeDot(*map, m.code, o.lon, o.lat);
                Dot dot = toDot(d.twips, o.name);
                dots.old[code] = dot;
                ++how[d.how];
                if (!insideMunicipality(*map, m.code, QPointF(dot.x, dot.y))) {
                    ++outside;
                    say("dot outside its municipality: " + o.name + " -> " + m.name);
                }
                if (d.how == DotPlacement::How::HandPlaced)
                    say("hand-placed dot: " + p.name + " " + o.name);
            }
        }
        const QString jpg = QString("%1/k%2.jpg").arg(mapDir).arg(p.number);
        const QString tmp = QString("%1/k%2.new.jpg").arg(mapDir).arg(p.number);
        renderPicture(*map, tmp);
        renameOver(tmp, jpg);
        areas.push_back(vectorArea(*map, kOutlineTolerance));
    }
    areas.insert(areas.begin(), japanArea(rawDir, kJapanOutlineTolerance));
    {
        tabinowa::PosixIo io;
        const std::string bytes = tabinowa::encodeOutlines(areas);
        tabinowa::writeFileAtomic(io, std::filesystem::path((mapDir + "/" + tabinowa::kOutlineFileName).toStdString()),
                                  bytes);
        std::size_t points = 0;
        for (const auto& a : areas)
            for (const auto& s : a.shapes)
                for (const auto& r : s.rings) points += r.size();
        say(std::string(tabinowa::kOutlineFileName) + ": " + std::to_string(areas.size()) + " maps, " +
            std::to_string(points) + " points, " + std::to_string(bytes.size()) + " bytes");
    }
    say("dots: " + std::to_string(how[DotPlacement::How::Projected]) + " as projected, " +
        std::to_string(how[DotPlacement::How::Moved]) + " moved inside, " +
        std::to_string(how[DotPlacement::How::HandPlaced]) + " hand-placed, " + std::to_string(outside) +
        " outside (" + std::to_string(timer.elapsed()) + " ms)");

    TextPolicy policy;
    MasterReport report;
    std::string master = municipalityMaster(facts, dots, policy, report);
    writeCp932File(workDir + "/市町村.csv", master);
    writeCp932File(mapDir + "/都道府県データ.csv", prefectureData(facts, policy));
    say("市町村.csv: " + std::to_string(report.presentRows) + " municipality rows (" +
        std::to_string(report.unmerged) + " not merged), " + std::to_string(report.oldRows) +
        " old-municipality rows; old municipalities in all: " +
        std::to_string(report.oldRows + report.unmerged));

    QuestionReport qreport;
    std::vector<Question> questions = generateQuestions(facts, qreport);
    writeCp932File(workDir + "/問題.csv", formatQuestions(questions, policy));
    writeCp932File(workDir + "/問題難度.csv", formatDifficulties(questions, policy));
    say("問題.csv: " + std::to_string(questions.size()) + " questions");
    for (const auto& [kind, n] : qreport.byKind) say("  " + kind + ": " + std::to_string(n));
    for (const auto& [rule, n] : qreport.reworded) say("  reworded, " + rule + ": " + std::to_string(n));
    for (const auto& [rule, n] : qreport.dropped) say("  dropped, " + rule + ": " + std::to_string(n));
    for (const auto& line : qreport.notes) say("  " + line);

    for (const auto& n : facts.notes) say(n);
    for (const auto& n : report.cutNames) say("name longer than 20 bytes: " + n);
    for (const auto& n : report.cutTexts) say("memo cut to 150 bytes: " + n);
    for (const auto& n : policy.changes()) say("character mapped: " + n);
    say("done in " + std::to_string(timer.elapsed()) + " ms");
    return outside == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: tabinowa-make-data RAW_DIR OUT_DATA_DIR\n");
        return 2;
    }
    try {
        return run(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tabinowa-make-data: %s\n", e.what());
        return 1;
    }
}
