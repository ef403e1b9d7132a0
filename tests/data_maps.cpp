// SPDX-License-Identifier: GPL-3.0-or-later
// The prefecture pictures and the dots on them: the geometry with small
// made-up shapes, a made-up boundary file end to end, and — when the raw
// public data is on this machine — every committed picture and every dot of
// the committed municipality master.
#include "core/files/cp932.h"
#include "core/files/error.h"
#include "prefmap.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <iterator>
#include <map>
#include <string>
#include <vector>

using namespace makedata;

namespace {

QPolygonF box(double x0, double y0, double x1, double y1) {
    return QPolygonF({QPointF(x0, y0), QPointF(x1, y0), QPointF(x1, y1), QPointF(x0, y1)});
}

double distance(QPointF a, QPointF b) { return std::hypot(a.x() - b.x(), a.y() - b.y()); }

// A 100 x 100 square with a 40 x 40 hole in the middle.
const std::vector<QPolygonF> kFrame = {box(0, 0, 100, 100), box(30, 30, 70, 70)};

// A U: two 20-wide legs joined by a 20-high bottom, open at the top.
const std::vector<QPolygonF> kU = {QPolygonF({QPointF(0, 0), QPointF(20, 0), QPointF(20, 80), QPointF(80, 80),
                                              QPointF(80, 0), QPointF(100, 0), QPointF(100, 100),
                                              QPointF(0, 100)})};

TEST(MapGeometry, InsideRingsHonoursHoles) {
    struct Row {
        QPointF p;
        bool inside;
    } rows[] = {
        {{10, 10}, true},    // in the frame
        {{50, 50}, false},   // in the hole
        {{85, 50}, true},    // right of the hole
        {{150, 50}, false},  // outside
        {{-1, 50}, false},
    };
    for (const Row& r : rows) EXPECT_EQ(insideRings(kFrame, r.p), r.inside) << r.p.x() << "," << r.p.y();
}

TEST(MapGeometry, DistanceToRingsIsToTheNearestEdge) {
    EXPECT_DOUBLE_EQ(distanceToRings(kFrame, QPointF(10, 50)), 10);   // left outer edge
    EXPECT_DOUBLE_EQ(distanceToRings(kFrame, QPointF(50, 50)), 20);   // inside the hole
    EXPECT_DOUBLE_EQ(distanceToRings(kFrame, QPointF(103, 104)), 5);  // beyond a corner
}

TEST(MapGeometry, NearestPointInsideGoesWellInsideAndStaysNear) {
    struct Row {
        const char* what;
        const std::vector<QPolygonF>* rings;
        QPointF p;
        double depth;
        double maxDistance;  // from p to the answer: the true nearest plus sampling slack
    } rows[] = {
        {"outside to the left", &kFrame, {-20, 50}, 5, 25.5},
        {"in the hole", &kFrame, {50, 50}, 5, 25.5},
        {"too near an edge", &kFrame, {1, 50}, 5, 4.5},
        {"in the notch of the U", &kU, {50, 10}, 5, 35.5},
        {"already deep enough", &kU, {10, 50}, 5, 0},
    };
    for (const Row& r : rows) {
        const auto q = nearestPointInside(*r.rings, r.p, r.depth);
        ASSERT_TRUE(q.has_value()) << r.what;
        EXPECT_TRUE(insideRings(*r.rings, *q)) << r.what;
        EXPECT_GE(distanceToRings(*r.rings, *q), r.depth - 1e-9) << r.what;
        EXPECT_LE(distance(*q, r.p), r.maxDistance) << r.what;
    }
}

TEST(MapGeometry, NearestPointInsideHalvesTheDepthOnThinShapes) {
    const std::vector<QPolygonF> sliver = {box(0, 0, 100, 4)};  // at most 2 deep
    const auto q = nearestPointInside(sliver, QPointF(50, -30), 30);
    ASSERT_TRUE(q.has_value());
    EXPECT_TRUE(insideRings(sliver, *q));
    EXPECT_GE(distanceToRings(sliver, *q), 1.0);
    // A floor the shape cannot reach gives no answer, as do no rings at all.
    EXPECT_FALSE(nearestPointInside(sliver, QPointF(50, -30), 30, 3).has_value());
    EXPECT_FALSE(nearestPointInside({}, QPointF(0, 0), 5).has_value());
}

// ---------------------------------------------------------------- a made-up prefecture

// GeoJSON polygon coordinates of a lon/lat box.
QByteArray boxCoords(double lon0, double lat0, double lon1, double lat1) {
    return QStringLiteral("[[[%1,%2],[%3,%2],[%3,%4],[%1,%4],[%1,%2]]]")
        .arg(lon0)
        .arg(lat0)
        .arg(lon1)
        .arg(lat1)
        .toUtf8();
}

QByteArray featureJson(const char* district, const char* name, const char* code, const QByteArray& geometry) {
    QByteArray d = district ? QByteArray("\"") + district + "\"" : QByteArray("null");
    QByteArray c = code ? QByteArray("\"") + code + "\"" : QByteArray("null");
    return "{\"type\":\"Feature\",\"properties\":{\"N03_001\":\"栃木県\",\"N03_003\":" + d + ",\"N03_004\":\"" + name +
           "\",\"N03_007\":" + c + "},\"geometry\":" + geometry + "}";
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// Prefecture 9 (no layout rules): a designated city of two wards, a village of
// two islands, a piece of unassigned land, and a neighbouring prefecture to
// the west.
class MadeUpPrefecture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        const QString raw = dir.path();
        const QByteArray features[] = {
            featureJson("テスト市", "中央区", "09901",
                        "{\"type\":\"Polygon\",\"coordinates\":" + boxCoords(139.50, 36.50, 139.60, 36.60) + "}"),
            featureJson("テスト市", "北区", "09902",
                        "{\"type\":\"Polygon\",\"coordinates\":" + boxCoords(139.50, 36.60, 139.60, 36.70) + "}"),
            featureJson("テスト郡", "島村", "09301",
                        "{\"type\":\"MultiPolygon\",\"coordinates\":[" + boxCoords(139.80, 36.50, 139.82, 36.52) +
                            "," + boxCoords(139.95, 36.90, 139.99, 36.94) + "]}"),
            featureJson(nullptr, "所属未定地", nullptr,
                        "{\"type\":\"Polygon\",\"coordinates\":" + boxCoords(139.70, 36.80, 139.71, 36.81) + "}"),
        };
        QByteArray json = "{\"type\":\"FeatureCollection\",\"features\":[";
        for (std::size_t i = 0; i < std::size(features); ++i) json += (i ? "," : "") + features[i];
        json += "]}";
        writeFile(raw + "/boundaries/N03-21_09_210101.json", json);
        writeFile(raw + "/boundaries/prefectures.json",
                  "{\"type\":\"FeatureCollection\",\"features\":["
                  "{\"type\":\"Feature\",\"properties\":{\"N03_001\":\"群馬県\"},\"geometry\":{\"type\":\"Polygon\","
                  "\"coordinates\":" + boxCoords(139.20, 36.40, 139.50, 36.80) + "}}]}");
        writeFile(raw + "/municipality_codes_2024.csv",
                  "code5,pref,desig_or_gun,desig_or_gun_kana,name,kana\n"
                  "09900,栃木県,テスト市,てすとし,,\n"
                  "09901,栃木県,テスト市,てすとし,中央区,ちゅうおうく\n");
        map = loadPrefMap(raw, 9);
    }

    QTemporaryDir dir;
    std::unique_ptr<PrefMap> map;
};

TEST_F(MadeUpPrefecture, WardsBecomeTheirCityAndUnassignedLandNoMunicipality) {
    EXPECT_EQ(municipalityCodes(*map), (std::vector<int>{9301, 9900}));
    EXPECT_FALSE(hasMunicipality(*map, 9901));
    EXPECT_TRUE(layoutProblems(*map).isEmpty()) << layoutProblems(*map).join("; ").toStdString();
}

TEST_F(MadeUpPrefecture, DotsLandInsideTheirMunicipality) {
    struct Row {
        const char* what;
        int code;
        double lon, lat;
        DotPlacement::How how;
    } rows[] = {
        {"inside a ward", 9900, 139.55, 36.65, DotPlacement::How::Projected},
        {"on the city's border with the sea", 9900, 139.60, 36.55, DotPlacement::How::Moved},
        {"in the sea near the north island", 9301, 139.93, 36.88, DotPlacement::How::Moved},
        {"far south, nearest the south island", 9301, 139.78, 36.30, DotPlacement::How::Moved},
    };
    for (const Row& r : rows) {
        const DotPlacement d = placeDot(*map, r.code, r.lon, r.lat);
        EXPECT_EQ(d.how, r.how) << r.what;
        EXPECT_TRUE(insideMunicipality(*map, r.code, d.twips)) << r.what;
        EXPECT_EQ(d.twips, QPointF(std::round(d.twips.x()), std::round(d.twips.y()))) << r.what;
        EXPECT_TRUE(d.twips.x() >= 10 && d.twips.x() <= 7575 - 10 && d.twips.y() >= 10 && d.twips.y() <= 7545 - 10)
            << r.what;
        EXPECT_EQ(dotTwips(*map, r.code, r.lon, r.lat), d.twips) << r.what;
    }
    EXPECT_FALSE(insideMunicipality(*map, 9301, placeDot(*map, 9900, 139.55, 36.65).twips));
}

TEST_F(MadeUpPrefecture, AnIslandVillageDotGoesToTheNearestIsland) {
    const QPointF north = placeDot(*map, 9301, 139.97, 36.92).twips;  // the north island's middle
    const QPointF south = placeDot(*map, 9301, 139.81, 36.51).twips;  // the south island's middle
    const QPointF nearNorth = placeDot(*map, 9301, 139.93, 36.88).twips;
    const QPointF nearSouth = placeDot(*map, 9301, 139.78, 36.30).twips;
    EXPECT_LT(distance(nearNorth, north), distance(nearNorth, south));
    EXPECT_LT(distance(nearSouth, south), distance(nearSouth, north));
}

TEST_F(MadeUpPrefecture, UnknownMunicipalityOrMissingFileIsAnError) {
    EXPECT_THROW(placeDot(*map, 9999, 139.5, 36.5), tabinowa::FileError);
    EXPECT_FALSE(insideMunicipality(*map, 9999, QPointF(100, 100)));
    try {
        loadPrefMap(dir.path(), 10);
        FAIL() << "no error for a missing boundary file";
    } catch (const tabinowa::FileError& e) {
        EXPECT_NE(std::string(e.what()).find("N03-21_10_210101.json"), std::string::npos) << e.what();
    }
    EXPECT_THROW(loadPrefMap(dir.path(), 48), tabinowa::FileError);
}

TEST_F(MadeUpPrefecture, PictureShowsSeaLandAndNeighbourAndIsTheSameEveryRun) {
    const QImage image = renderImage(*map);
    ASSERT_EQ(image.size(), QSize(505, 503));
    const auto pixel = [&](QPointF twips) { return image.pixelColor(int(twips.x() / 15), int(twips.y() / 15)); };
    const QColor land = pixel(placeDot(*map, 9900, 139.55, 36.65).twips);
    EXPECT_GT(land.red(), land.blue() + 10) << "land is a warm light colour";
    const QColor sea = pixel(placeDot(*map, 9301, 139.97, 36.92).twips + QPointF(0, 2000));  // south of the island
    EXPECT_GT(sea.blue(), sea.red() + 10) << "sea is light blue";
    // The neighbour lies west of the city: extrapolate from two dots in the city.
    const QPointF a = placeDot(*map, 9900, 139.55, 36.55).twips;
    const QPointF b = placeDot(*map, 9900, 139.52, 36.55).twips;
    const QPointF west = b + (b - a) * (0.04 / 0.03);  // longitude 139.48
    ASSERT_GE(west.x(), 0);
    const QColor grey = pixel(west);
    EXPECT_LT(std::abs(grey.red() - grey.blue()), 12) << "neighbouring land is grey";

    const QString one = dir.path() + "/one.jpg";
    const QString two = dir.path() + "/two.jpg";
    renderPicture(*map, one);
    renderPicture(*map, two);
    QFile f1(one), f2(two);
    ASSERT_TRUE(f1.open(QIODevice::ReadOnly));
    ASSERT_TRUE(f2.open(QIODevice::ReadOnly));
    const QByteArray b1 = f1.readAll();
    EXPECT_FALSE(b1.isEmpty());
    EXPECT_EQ(b1, f2.readAll());
    EXPECT_EQ(QImage(one).size(), QSize(505, 503));
}

// ---------------------------------------------------------------- the shipped data

const QString kRepo = QStringLiteral(TABINOWA_SOURCE_DIR);
const QString kRaw = kRepo + QStringLiteral("/../shared/data");

#define NEED_RAW_DATA()                                                               \
    if (!QFileInfo::exists(kRaw + "/boundaries/N03-21_01_210101.json"))              \
        GTEST_SKIP() << "raw public data not on this machine: " << kRaw.toStdString()

// Mean absolute difference of two pictures of the same size, per channel.
double meanDifference(const QImage& a, const QImage& b) {
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const QRgb* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const QRgb* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col)
            sum += std::abs(qRed(p[col]) - qRed(q[col])) + std::abs(qGreen(p[col]) - qGreen(q[col])) +
                   std::abs(qBlue(p[col]) - qBlue(q[col]));
    }
    return sum / (3.0 * x.width() * x.height());
}

TEST(ShippedPictures, EveryPictureIsThereCurrentAndSoundlyLaidOut) {
    NEED_RAW_DATA();
    for (int pref = 1; pref <= 47; ++pref) {
        SCOPED_TRACE("k" + std::to_string(pref) + ".jpg");
        const QString path = kRepo + QStringLiteral("/data/file1/k%1.jpg").arg(pref);
        const QImage committed(path);
        ASSERT_FALSE(committed.isNull()) << path.toStdString();
        EXPECT_EQ(committed.size(), QSize(505, 503));
        const auto map = loadPrefMap(kRaw, pref);
        EXPECT_TRUE(layoutProblems(*map).isEmpty()) << layoutProblems(*map).join("; ").toStdString();
        // Same drawing as the code makes today: JPEG noise stays under 1.5
        // levels, while a picture off by a single pixel differs by about 3.
        EXPECT_LT(meanDifference(committed, renderImage(*map)), 2.2);
    }
}

// One CSV line of the master: quoted fields run to the next double quote,
// others to the next comma.
std::vector<std::string> masterFields(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t i = 0;
    while (i <= line.size()) {
        std::string f;
        if (i < line.size() && line[i] == '"') {
            const std::size_t end = line.find('"', i + 1);
            f = line.substr(i + 1, end - i - 1);
            i = end + 1;
        } else {
            const std::size_t end = std::min(line.find(',', i), line.size());
            f = line.substr(i, end - i);
            i = end;
        }
        fields.push_back(f);
        ++i;  // the comma
    }
    return fields;
}

TEST(ShippedPictures, EveryDotOfTheMasterLiesInItsMunicipality) {
    NEED_RAW_DATA();
    const QString masterPath = kRepo + QStringLiteral("/data/作業ファイル/市町村.csv");
    QFile file(masterPath);
    if (!file.exists()) GTEST_SKIP() << "no municipality master yet";
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const std::string text = tabinowa::fromCp932(std::string_view(bytes.constData(), bytes.size()), "市町村.csv");

    struct Dot {
        int code;
        std::string name;
        QPointF twips;
    };
    std::map<int, std::vector<Dot>> byPref;
    int present = 0;      // the municipality row an old-municipality row belongs to,
    int presentPref = 0;  // and its prefecture: the picture its circles are drawn on
    std::size_t start = text.find("\r\n") + 2;  // after the header
    while (start < text.size()) {
        std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) end = text.size();
        const std::vector<std::string> f = masterFields(text.substr(start, end - start));
        start = end + 2;
        ASSERT_EQ(f.size(), 43u) << "line before byte " << start;
        if (f[4] == "0") {
            present = std::stoi(f[0]);
            presentPref = std::stoi(f[1]);
        }
        ASSERT_NE(present, 0) << "an old-municipality row before any municipality row";
        const std::string name = f[5].empty() ? f[6] : f[5];
        byPref[presentPref].push_back({present, name, QPointF(std::stoi(f[14]), std::stoi(f[15]))});
    }
    ASSERT_EQ(byPref.size(), 47u);

    int all = 0;
    std::vector<std::string> faults;
    for (const auto& [pref, dots] : byPref) {
        const auto map = loadPrefMap(kRaw, pref);
        int bad = 0;
        for (const Dot& d : dots) {
            const bool onPicture = d.twips.x() >= 10 && d.twips.y() >= 10 && d.twips.x() <= 7575 - 10 &&
                                   d.twips.y() <= 7545 - 10;
            if (onPicture && insideMunicipality(*map, d.code, d.twips)) continue;
            ++bad;
            faults.push_back("k" + std::to_string(pref) + " " + d.name + " (" + std::to_string(d.code) + ") at " +
                             std::to_string(int(d.twips.x())) + "," + std::to_string(int(d.twips.y())));
        }
        all += static_cast<int>(dots.size());
        std::printf("k%d.jpg: %zu dots, %d outside\n", pref, dots.size(), bad);
    }
    EXPECT_GT(all, 3000);
    std::string list;
    for (std::size_t i = 0; i < faults.size() && i < 20; ++i) list += faults[i] + "\n";
    EXPECT_TRUE(faults.empty()) << faults.size() << " dots outside:\n" << list;
}

}  // namespace
