// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reading the raw boundary data (国土数値情報 行政区域, GeoJSON): the polygons
// of the present municipalities of one prefecture and the outlines of the
// prefectures. Coordinates stay in longitude and latitude; projecting them is
// the caller's business (prefmap.h for the pictures).
#include <QPolygonF>
#include <QString>
#include <vector>

namespace makedata {

// One polygon: its outer ring first, then its holes, each (lon, lat) with the
// closing point dropped. A point is inside when it lies inside an odd number
// of rings.
using Rings = std::vector<QPolygonF>;

// One polygon of a municipality of <rawDir>/boundaries/N03-21_NN_210101.json,
// in file order. A municipality with islands has one piece per island.
struct MunicipalityPiece {
    // Present municipality code as an integer: the wards of a designated city
    // carry the city's code (1100 for 札幌市, through N03_003 and
    // municipality_codes_2024.csv); Tokyo's special wards keep their own.
    // 0 for unassigned land (所属未定地), which has no code.
    int code = 0;
    int wardCode = 0;  // the N03_007 code as read (the ward's own code for a designated city)
    Rings rings;
};

// The file read for prefecture `pref` (1..47), for messages.
QString municipalityBoundaryFile(const QString& rawDir, int pref);

// Every municipality polygon of prefecture `pref`, with its prefecture name
// (N03_001) in `prefName` when given. Throws tabinowa::FileError naming the
// file for a missing or unreadable file, a code that is not a number, a
// geometry that is not a (multi)polygon or a ward whose city is not in the
// code list.
std::vector<MunicipalityPiece> readMunicipalityPieces(const QString& rawDir, int pref, QString* prefName = nullptr);

// One polygon of a prefecture of <rawDir>/boundaries/prefectures.json.
struct PrefecturePiece {
    QString name;  // N03_001, e.g. "北海道"
    Rings rings;
};

// Every prefecture polygon, in file order. Errors as readMunicipalityPieces().
std::vector<PrefecturePiece> readPrefecturePieces(const QString& rawDir);

// The bounding box of rings (x = longitude, y = latitude for raw rings).
QRectF boundsOf(const Rings& rings);

}  // namespace makedata
