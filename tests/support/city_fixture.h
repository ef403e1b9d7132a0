// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Municipality records and prefecture ranges for tests, written the way the
// municipality build writes them. Header only, standard C++ only.
#include <cstdint>
#include <string>
#include <vector>

#include "core/files/cp932.h"
#include "core/files/folders.h"
#include "core/files/io.h"
#include "core/files/prefectures.h"
#include "core/files/record_file.h"
#include "core/files/records.h"

namespace tabinowa::testing {

struct OldSpec {
    std::string name;
    int x = 0, y = 0;  // twips
    std::string text;
};

// A municipality whose 民力 index is `cost` (at least 445): 10,000 people,
// 400 establishments, 3,000 employees, 100 + 200 億円, and an area of
// cost - 444. Its old municipalities are exactly `old` (none when empty).
inline City cityRecord(int recNo, int kenNo, const std::string& name, std::int32_t cost,
                       const std::vector<OldSpec>& old) {
    City c = City::zeroed();
    c.KenNo = static_cast<std::int16_t>(kenNo);
    c.RecNo = static_cast<std::int16_t>(recNo);
    c.CityName = name;
    c.Jinko = 10000;
    c.Menseki = cost - 444;
    c.Jigyosyo = 400;
    c.Jugyoin = 3000;
    c.Kogyo = 100;
    c.Syogyo = 200;
    c.KyuSu = static_cast<std::int16_t>(old.size());
    for (std::size_t i = 0; i < old.size(); ++i) {
        const std::size_t k = i + 1;
        c.KyuNames[k] = old[i].name;
        c.KyuX[k] = static_cast<std::int16_t>(old[i].x);
        c.KyuY[k] = static_cast<std::int16_t>(old[i].y);
        c.KyuText[k] = old[i].text;
        c.KyuTextLen[k] = std::to_string(charCount(old[i].text));
    }
    return c;
}

// Writes "市町村.ran" with the cities as records 1, 2, ... in the given order.
inline void writeCities(const AppFolders& f, const std::vector<City>& cities) {
    PosixIo io;
    RecordFile file(io, f.cityRecords(), City::kLength);
    int n = 1;
    for (const auto& c : cities) file.put(n++, c.encode("test"));
}

struct RangeSpec {
    std::string name;
    int start = 0, end = 0, homon = 0;
};

inline KenHani rangeRow(int kenNo, const RangeSpec& r) {
    KenHani k;
    k.KenNo = Value::number(kenNo);
    k.Yobi0 = Value::number(0);
    k.KenName = Value::text(r.name);
    k.StartRec = Value::number(r.start);
    k.EndRec = Value::number(r.end);
    k.HomonSu = Value::number(r.homon);
    return k;
}

// Writes "県範囲.csv" with one line per range, numbered from 1.
inline void writeRanges(const AppFolders& f, const std::vector<RangeSpec>& ranges) {
    std::vector<KenHani> table;
    int n = 1;
    for (const auto& r : ranges) table.push_back(rangeRow(n++, r));
    PosixIo io;
    rewriteRanges(io, f, table, false);
}

}  // namespace tabinowa::testing
