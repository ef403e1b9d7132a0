// SPDX-License-Identifier: GPL-3.0-or-later
#include "boundaries.h"

#include "core/files/error.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <map>
#include <utility>

namespace makedata {

namespace {

[[noreturn]] void fail(const QString& message) { throw tabinowa::FileError(message.toStdString()); }

QByteArray readWhole(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) fail(QStringLiteral("ファイル「%1」を開けません。").arg(path));
    return f.readAll();
}

QJsonArray readFeatures(const QString& path) {
    QJsonParseError err{};
    const QJsonDocument doc = QJsonDocument::fromJson(readWhole(path), &err);
    if (doc.isNull())
        fail(QStringLiteral("ファイル「%1」はGeoJSONとして読めません（%2）。").arg(path, err.errorString()));
    const QJsonValue features = doc.object().value(QStringLiteral("features"));
    if (!features.isArray()) fail(QStringLiteral("ファイル「%1」にfeaturesがありません。").arg(path));
    return features.toArray();
}

// Polygons of a GeoJSON geometry: each a list of rings (lon, lat), the
// closing point dropped.
std::vector<Rings> polygonsOf(const QJsonObject& geometry, const QString& path) {
    const QString type = geometry.value(QStringLiteral("type")).toString();
    const QJsonArray coords = geometry.value(QStringLiteral("coordinates")).toArray();
    std::vector<QJsonArray> polys;
    if (type == QLatin1String("Polygon")) {
        polys.push_back(coords);
    } else if (type == QLatin1String("MultiPolygon")) {
        for (const QJsonValue& p : coords) polys.push_back(p.toArray());
    } else {
        fail(QStringLiteral("ファイル「%1」に扱えない図形（%2）があります。").arg(path, type));
    }
    std::vector<Rings> out;
    for (const QJsonArray& poly : polys) {
        Rings rings;
        for (const QJsonValue& r : poly) {
            QPolygonF ring;
            for (const QJsonValue& pt : r.toArray()) {
                const QJsonArray xy = pt.toArray();
                if (xy.size() < 2) fail(QStringLiteral("ファイル「%1」に座標の欠けた点があります。").arg(path));
                ring << QPointF(xy[0].toDouble(), xy[1].toDouble());
            }
            if (ring.size() > 1 && ring.first() == ring.last()) ring.removeLast();
            if (ring.size() >= 3) rings.push_back(ring);
        }
        if (!rings.empty()) out.push_back(std::move(rings));
    }
    return out;
}

// Designated cities of the 2024 code list: (prefecture name, city name) ->
// city code. Its ward rows name the city in desig_or_gun; the city's own row
// has an empty name.
std::map<std::pair<QString, QString>, int> designatedCities(const QString& rawDir) {
    const QString path = rawDir + QStringLiteral("/municipality_codes_2024.csv");
    const QStringList lines = QString::fromUtf8(readWhole(path)).split(QLatin1Char('\n'));
    std::map<std::pair<QString, QString>, int> cities;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QStringList f = lines[i].trimmed().split(QLatin1Char(','));
        if (f.size() < 6) continue;
        if (f[4].isEmpty() && f[2].endsWith(QStringLiteral("市"))) {
            bool ok = false;
            const int code = f[0].toInt(&ok);
            if (!ok) fail(QStringLiteral("ファイル「%1」の%2行目のコードが数字ではありません。").arg(path).arg(i + 1));
            cities[{f[1], f[2]}] = code;
        }
    }
    return cities;
}

}  // namespace

QRectF boundsOf(const Rings& rings) {
    QRectF box;
    for (const QPolygonF& ring : rings) box = box.isNull() ? ring.boundingRect() : box.united(ring.boundingRect());
    return box;
}

QString municipalityBoundaryFile(const QString& rawDir, int pref) {
    return rawDir + QStringLiteral("/boundaries/N03-21_%1_210101.json").arg(pref, 2, 10, QLatin1Char('0'));
}

std::vector<MunicipalityPiece> readMunicipalityPieces(const QString& rawDir, int pref, QString* prefName) {
    const QString path = municipalityBoundaryFile(rawDir, pref);
    std::map<std::pair<QString, QString>, int> cities;
    bool citiesRead = false;
    std::vector<MunicipalityPiece> out;
    for (const QJsonValue& fv : readFeatures(path)) {
        const QJsonObject feature = fv.toObject();
        const QJsonObject props = feature.value(QStringLiteral("properties")).toObject();
        const QString name = props.value(QStringLiteral("N03_001")).toString();
        if (prefName) *prefName = name;
        const QString district = props.value(QStringLiteral("N03_003")).toString();
        const QString codeText = props.value(QStringLiteral("N03_007")).toString();
        int code = 0;
        int wardCode = 0;
        if (!codeText.isEmpty()) {
            bool ok = false;
            code = codeText.toInt(&ok);
            if (!ok) fail(QStringLiteral("ファイル「%1」のコード「%2」が数字ではありません。").arg(path, codeText));
            wardCode = code;
            if (district.endsWith(QStringLiteral("市"))) {  // a ward: the city is the municipality
                if (!citiesRead) {
                    cities = designatedCities(rawDir);
                    citiesRead = true;
                }
                const auto it = cities.find({name, district});
                if (it == cities.end())
                    fail(QStringLiteral("ファイル「%1」の政令指定都市「%2」のコードが市区町村コード表にありません。")
                             .arg(path, district));
                code = it->second;
            }
        }
        for (Rings& rings : polygonsOf(feature.value(QStringLiteral("geometry")).toObject(), path))
            out.push_back({code, wardCode, std::move(rings)});
    }
    return out;
}

std::vector<PrefecturePiece> readPrefecturePieces(const QString& rawDir) {
    const QString path = rawDir + QStringLiteral("/boundaries/prefectures.json");
    std::vector<PrefecturePiece> out;
    for (const QJsonValue& fv : readFeatures(path)) {
        const QJsonObject feature = fv.toObject();
        const QString name =
            feature.value(QStringLiteral("properties")).toObject().value(QStringLiteral("N03_001")).toString();
        for (Rings& rings : polygonsOf(feature.value(QStringLiteral("geometry")).toObject(), path))
            out.push_back({name, std::move(rings)});
    }
    return out;
}

}  // namespace makedata
