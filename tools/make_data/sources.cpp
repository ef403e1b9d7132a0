// SPDX-License-Identifier: GPL-3.0-or-later
#include "sources.h"

#include <QFile>
#include <charconv>
#include <stdexcept>

namespace makedata {
namespace {

std::string readWhole(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot open " + path.toStdString());
    QByteArray bytes = f.readAll();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// Locale-independent number parsing (Qt sets the C locale from the
// environment, so strtod is not safe here).
long long toInt(const std::string& s, const std::string& what) {
    long long v = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || p != s.data() + s.size() || s.empty())
        throw std::runtime_error(what + ": not an integer: '" + s + "'");
    return v;
}

double toDouble(const std::string& s, const std::string& what) {
    double v = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || p != s.data() + s.size() || s.empty())
        throw std::runtime_error(what + ": not a number: '" + s + "'");
    return v;
}

int codeOrZero(const std::string& s) {
    int c = parseCode(s);
    return c < 0 ? 0 : c;
}

}  // namespace

std::vector<std::vector<std::string>> parseCsv(const std::string& textIn) {
    std::string_view text(textIn);
    if (text.size() >= 3 && static_cast<unsigned char>(text[0]) == 0xEF &&
        static_cast<unsigned char>(text[1]) == 0xBB && static_cast<unsigned char>(text[2]) == 0xBF)
        text.remove_prefix(3);
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> row;
    std::string field;
    bool inQuotes = false;
    bool any = false;  // the current row has started
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (inQuotes) {
            if (c == '"') {
                if (i + 1 < text.size() && text[i + 1] == '"') {
                    field += '"';
                    ++i;
                } else {
                    inQuotes = false;
                }
            } else {
                field += c;
            }
            continue;
        }
        if (c == '"') {
            inQuotes = true;
            any = true;
        } else if (c == ',') {
            row.push_back(std::move(field));
            field.clear();
            any = true;
        } else if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            if (any || !field.empty()) {
                row.push_back(std::move(field));
                rows.push_back(std::move(row));
            }
            field.clear();
            row.clear();
            any = false;
        } else {
            field += c;
            any = true;
        }
    }
    if (any || !field.empty()) {
        row.push_back(std::move(field));
        rows.push_back(std::move(row));
    }
    return rows;
}

int CsvTable::col(const std::string& name) const {
    for (std::size_t i = 0; i < header.size(); ++i)
        if (header[i] == name) return static_cast<int>(i);
    throw std::runtime_error(file + ": no column " + name);
}

CsvTable readCsv(const QString& path, int headerRows) {
    CsvTable t;
    t.file = path.toStdString();
    auto rows = parseCsv(readWhole(path));
    if (static_cast<int>(rows.size()) < headerRows) throw std::runtime_error(t.file + ": no header");
    t.header = rows.front();
    for (std::size_t i = static_cast<std::size_t>(headerRows); i < rows.size(); ++i) {
        if (rows[i].size() != t.header.size())
            throw std::runtime_error(t.file + ": row " + std::to_string(i + 1) + " has " +
                                     std::to_string(rows[i].size()) + " fields, header " +
                                     std::to_string(t.header.size()));
        t.rows.push_back(std::move(rows[i]));
    }
    return t;
}

int parseCode(const std::string& text) {
    std::string_view s(text);
    if (!s.empty() && s.front() == 'R') s.remove_prefix(1);
    if (s.empty() || s.size() > 6) return -1;
    int v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return -1;
        v = v * 10 + (c - '0');
    }
    return v;
}

bool CodeListRow::isDesignatedCity() const {
    return name.empty() && desigOrGun.size() >= 3 && desigOrGun.compare(desigOrGun.size() - 3, 3, "市") == 0;
}

RawData loadRaw(const QString& rawDir) {
    RawData raw;
    raw.dir = rawDir;
    auto path = [&](const char* name) { return rawDir + "/" + QString::fromUtf8(name); };

    {
        CsvTable t = readCsv(path("municipality_codes_2024.csv"));
        int cCode = t.col("code5"), cPref = t.col("pref"), cDg = t.col("desig_or_gun"),
            cDgk = t.col("desig_or_gun_kana"), cName = t.col("name"), cKana = t.col("kana");
        for (const auto& r : t.rows) {
            CodeListRow row;
            row.code = static_cast<int>(toInt(r[cCode], t.file));
            row.pref = r[cPref];
            row.desigOrGun = r[cDg];
            row.desigOrGunKana = r[cDgk];
            row.name = r[cName];
            row.kana = r[cKana];
            raw.codeList.push_back(std::move(row));
        }
    }
    {
        CsvTable t = readCsv(path("merger_events_1970_2024.csv"));
        int cDate = t.col("date"), cType = t.col("type"), cEvent = t.col("event"),
            cFrom = t.col("from_city_code"), cFromName = t.col("from_city_name"),
            cFromKana = t.col("from_city_name_kana"), cTo = t.col("to_city_code"),
            cToName = t.col("to_city_name"), cToDesig = t.col("to_city_desig_name");
        for (const auto& r : t.rows) {
            MergerEvent e;
            e.date = r[cDate];
            e.type = r[cType];
            e.text = r[cEvent];
            e.fromCode = codeOrZero(r[cFrom]);
            e.fromName = r[cFromName];
            e.fromKana = r[cFromKana];
            e.toCode = codeOrZero(r[cTo]);
            e.toName = r[cToName];
            e.toDesig = r[cToDesig];
            if (e.fromKana == "nan") e.fromKana.clear();
            if (e.toName == "nan") e.toName.clear();
            if (e.toDesig == "nan") e.toDesig.clear();
            raw.events.push_back(std::move(e));
        }
    }
    {
        CsvTable t = readCsv(path("census_code_converter_1980_2020.csv"));
        int cMerge = t.col("merge_id_muni"), c95 = t.col("id_muni1995"), c00 = t.col("id_muni2000"),
            c20 = t.col("id_muni2020"), n95 = t.col("name_muni1995"), n00 = t.col("name_muni2000"),
            n20 = t.col("name_muni2020");
        for (const auto& r : t.rows) {
            ConverterRow row;
            row.mergeId = codeOrZero(r[cMerge]);
            row.id1995 = codeOrZero(r[c95]);
            row.id2000 = codeOrZero(r[c00]);
            row.id2020 = codeOrZero(r[c20]);
            row.name1995 = r[n95];
            row.name2000 = r[n00];
            row.name2020 = r[n20];
            raw.converter.push_back(std::move(row));
        }
    }
    auto loadCentroids = [&](const char* name, std::map<int, Centroid>& out) {
        CsvTable t = readCsv(path(name));
        int cCode = t.col("cityCod"), cPref = t.col("prefCod"), cBr = t.col("prfBrNm"),
            cGun = t.col("cityNm1"), cName = t.col("cityNm2"), cLon = t.col("lon"), cLat = t.col("lat");
        for (const auto& r : t.rows) {
            int code = parseCode(r[cCode]);
            if (code <= 0) continue;  // a few rows carry no code (NA): no municipality of ours
            Centroid c;
            c.code = code;
            c.pref = static_cast<int>(toInt(r[cPref], t.file));
            c.branch = r[cBr];
            c.gun = r[cGun];
            c.name = r[cName];
            c.lon = toDouble(r[cLon], t.file);
            c.lat = toDouble(r[cLat], t.file);
            out[code] = std::move(c);
        }
    };
    loadCentroids("centroids_1995.csv", raw.centroids1995);
    loadCentroids("centroids_2000.csv", raw.centroids2000);
    loadCentroids("centroids_2020.csv", raw.centroids2020);
    {
        CsvTable t = readCsv(path("town_halls.csv"));
        int cCid = t.col("cid"), cCity = t.col("city"), cKana = t.col("citykana"), cLat = t.col("lat"),
            cLng = t.col("lng"), cUrl = t.col("url"), cPhrase = t.col("phrase"), cLg = t.col("lgcode");
        for (const auto& r : t.rows) {
            TownHall h;
            h.code = static_cast<int>(toInt(r[cCid], t.file));
            h.city = r[cCity];
            h.kana = r[cKana];
            h.lat = toDouble(r[cLat], t.file);
            h.lon = toDouble(r[cLng], t.file);
            h.url = r[cUrl];
            h.phrase = r[cPhrase];
            h.lgcode = r[cLg];
            raw.townHalls[h.code] = std::move(h);
        }
    }
    {
        CsvTable t = readCsv(path("ssdse_a_2026.csv"), 3);
        int cCode = 0, cPref = 1, cName = 2, cPop = t.col("A1101"), cArea = t.col("B1101"),
            cEst = t.col("C2108"), cEmp = t.col("C2208");
        for (const auto& r : t.rows) {
            SsdseRow s;
            s.code = parseCode(r[cCode]);
            if (s.code <= 0) throw std::runtime_error(t.file + ": bad code " + r[cCode]);
            s.pref = r[cPref];
            s.name = r[cName];
            s.population = toInt(r[cPop], t.file + " A1101");
            s.areaHa = toInt(r[cArea], t.file + " B1101");
            s.establishments = toInt(r[cEst], t.file + " C2108");
            s.employees = toInt(r[cEmp], t.file + " C2208");
            raw.ssdse.push_back(std::move(s));
        }
    }
    {
        CsvTable t = readCsv(path("estat_sales_shipments_2000_2018.csv"));
        int cCat = t.col("cat01_code"), cArea = t.col("area_code"), cTime = t.col("time_name"), cN = t.col("n");
        for (const auto& r : t.rows) {
            EstatValue v;
            v.cat = r[cCat];
            v.code = static_cast<int>(toInt(r[cArea], t.file));
            v.year = static_cast<int>(toInt(r[cTime].substr(0, 4), t.file));
            v.value = r[cN];
            raw.estat.push_back(std::move(v));
        }
    }
    {
        CsvTable t = readCsv(path("prefectural_capitals.csv"));
        int cId = t.col("id"), cName = t.col("nam_ja"), cLat = t.col("lat"), cLon = t.col("lon");
        for (const auto& r : t.rows) {
            PrefOffice o;
            o.pref = static_cast<int>(toInt(r[cId], t.file));
            o.name = r[cName];
            o.lat = toDouble(r[cLat], t.file);
            o.lon = toDouble(r[cLon], t.file);
            raw.offices.push_back(std::move(o));
        }
    }
    return raw;
}

}  // namespace makedata
