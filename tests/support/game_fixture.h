#pragma once
// A small program folder for the visit game: questions, municipality records,
// prefecture ranges, visit marks and the point file, written the way the
// builds write them. Header only, standard C++ only.
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "core/session.h"
#include "files/cp932.h"
#include "files/prefectures.h"
#include "files/record_file.h"
#include "files/records.h"
#include "files/visit_state.h"
#include "support/fixed_random.h"
#include "support/temp_folder.h"

namespace tabinowa::testing {

struct QuestionSpec {
    std::string first;   // Mondai1
    std::string second;  // Mondai2
    std::string answer;  // Kotae
    int doublePoint = 0;
};

// Writes "問題.ran" with one record per spec (Inyo "QZ", InyoNo = record number).
inline void writeGameQuestions(const AppFolders& f, const std::vector<QuestionSpec>& specs) {
    PosixIo io;
    RecordFile file(io, f.questionRecords(), Mondai::kLength);
    int n = 1;
    for (const auto& s : specs) {
        Mondai m;
        m.Inyo = "QZ";
        m.InyoNo = static_cast<std::int16_t>(n);
        m.Mondai1 = s.first;
        m.Mondai1Len = static_cast<std::int16_t>(charCount(s.first));
        m.Mondai2 = s.second;
        m.Mondai2Len = static_cast<std::int16_t>(charCount(s.second));
        m.Kotae = s.answer;
        m.KotaeLen = static_cast<std::int16_t>(charCount(s.answer));
        m.Sentaku[3] = s.answer;
        m.SentakuSu = 4;
        m.DoublePoint = static_cast<std::int16_t>(s.doublePoint);
        file.put(n++, m.encode("test"));
    }
}

// `count` questions "問題n" / "本文n" with answer "答えn"; the listed records are double-point questions.
inline std::vector<QuestionSpec> numberedQuestions(int count, const std::set<int>& doubles = {}) {
    std::vector<QuestionSpec> v;
    for (int i = 1; i <= count; ++i)
        v.push_back({"問題" + std::to_string(i), "本文" + std::to_string(i), "答え" + std::to_string(i),
                     doubles.count(i) ? 1 : 0});
    return v;
}

struct OldSpec {
    std::string name;
    int x = 0, y = 0;
    std::string text;
};

// A municipality whose 民力 index is `cost` (at least 445): 10,000 people,
// 400 establishments, 3,000 employees, 100 + 200 億円, and an area of cost - 444.
inline City gameCity(int recNo, int kenNo, const std::string& name, std::int32_t cost,
                     std::vector<OldSpec> old = {}) {
    if (old.empty()) old.push_back({name, 1000 + 10 * recNo, 1000 + 10 * recNo, name + "の説明"});
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

inline void writeGameCities(const AppFolders& f, const std::vector<City>& cities) {
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

inline void writeGameRanges(const AppFolders& f, const std::vector<RangeSpec>& ranges) {
    std::vector<KenHani> table;
    int n = 1;
    for (const auto& r : ranges) table.push_back(rangeRow(n++, r));
    PosixIo io;
    rewriteRanges(io, f, table, false);
}

// Visit marks as the municipality build writes them, (0, n, n), with the listed records visited.
inline void writeGameMarks(const AppFolders& f, int count, const std::set<int>& visited = {}) {
    PosixIo io;
    RecordFile file(io, f.visitMarks(), Homon::kLength);
    for (int n = 1; n <= count; ++n) {
        Homon h;
        h.Homon = visited.count(n) ? 1 : 0;
        h.HomonRec1 = static_cast<std::int16_t>(n);
        h.HomonRec2 = static_cast<std::int16_t>(n);
        file.put(n, h.encode());
    }
}

inline void writeGamePoints(const AppFolders& f, std::int32_t total) {
    PosixIo io;
    writePoints(io, f, total);
}

// The Homon flag of every record of the visit marks.
inline std::vector<int> markFlags(const AppFolders& f) {
    PosixIo io;
    RecordFile file(io, f.visitMarks(), Homon::kLength);
    std::vector<int> flags;
    for (int n = 1; n <= file.count(); ++n) flags.push_back(Homon::decode(file.get(n)).Homon);
    return flags;
}

inline std::vector<int> homonCounts(const AppFolders& f) {
    PosixIo io;
    std::vector<int> v;
    for (const auto& k : readRanges(io, f)) v.push_back(k.homonSu());
    return v;
}

inline std::int32_t pointsOnDisk(const AppFolders& f) {
    PosixIo io;
    return readPoints(io, f);
}

}  // namespace tabinowa::testing
