// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The raw public data the data set is made from, loaded as plain rows. All
// text is UTF-8. Codes are joined on their integer value (01202 and 1202 are
// the same municipality).
#include <QString>
#include <map>
#include <string>
#include <vector>

namespace makedata {

// One comma-separated file: quoted fields may hold commas ("" is a quote),
// a byte-order mark is dropped, line ends may be CR LF or LF.
struct CsvTable {
    std::vector<std::string> header;
    std::vector<std::vector<std::string>> rows;
    // Index of a header column; throws when the file has no such column.
    int col(const std::string& name) const;
    std::string file;
};

// Splits one UTF-8 text into rows of fields (exposed for tests of the parser).
std::vector<std::vector<std::string>> parseCsv(const std::string& text);

// Reads <path> and takes its first `headerRows` rows as the header (the first
// of them gives the column names).
CsvTable readCsv(const QString& path, int headerRows = 1);

// "01202", "1202", "R01202" -> 1202; -1 when the text holds no code.
int parseCode(const std::string& text);

struct CodeListRow {  // municipality_codes_2024.csv
    int code = 0;
    std::string pref, desigOrGun, desigOrGunKana, name, kana;
    bool isDesignatedCity() const;  // the city row of a designated city
};

struct MergerEvent {  // merger_events_1970_2024.csv
    std::string date;  // YYYY-MM-DD
    std::string type;  // 新設合併, 編入合併, 市制施行, 名称変更, ...
    std::string text;
    int fromCode = 0;
    std::string fromName, fromKana;
    int toCode = 0;
    std::string toName, toDesig;  // toDesig: designated city of a ward, else district
};

struct ConverterRow {  // census_code_converter_1980_2020.csv
    int mergeId = 0;
    int id1995 = 0, id2000 = 0, id2020 = 0;  // 0 when empty
    std::string name1995, name2000, name2020;  // "北海道 渡島支庁 戸井町"
};

struct Centroid {  // centroids_YYYY.csv
    int code = 0;
    int pref = 0;
    std::string branch, gun, name;  // 支庁, 郡 or designated city, name
    double lon = 0, lat = 0;
};

struct TownHall {  // town_halls.csv
    int code = 0;
    std::string city, kana, url, phrase, lgcode;
    double lat = 0, lon = 0;
};

struct SsdseRow {  // ssdse_a_2026.csv
    int code = 0;
    std::string pref, name;
    long long population = 0;     // A1101, 2020 census
    long long areaHa = 0;         // B1101, 2024, hectares
    long long establishments = 0; // C2108, 2021
    long long employees = 0;      // C2208, 2021
};

struct EstatValue {  // estat_sales_shipments_2000_2018.csv
    std::string cat;   // C3401 shipments, C3501 sales
    int code = 0;
    int year = 0;
    std::string value; // 百万円, or "X" (secret) or "-" (none)
};

struct PrefOffice {  // prefectural_capitals.csv
    int pref = 0;
    std::string name;
    double lat = 0, lon = 0;
};

struct RawData {
    QString dir;
    std::vector<CodeListRow> codeList;
    std::vector<MergerEvent> events;      // in file order (by date)
    std::vector<ConverterRow> converter;
    std::map<int, Centroid> centroids1995, centroids2000, centroids2020;
    std::map<int, TownHall> townHalls;    // present municipalities and wards
    std::vector<SsdseRow> ssdse;
    std::vector<EstatValue> estat;
    std::vector<PrefOffice> offices;
};

// Loads every raw file of <rawDir>; throws std::runtime_error naming the file
// on a missing file, column or malformed number.
RawData loadRaw(const QString& rawDir);

}  // namespace makedata
