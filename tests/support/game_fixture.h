// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A small program folder for the visit game: questions, municipalities laid
// out over three prefectures, visit marks and the point file, written the way
// the builds write them. Header only, standard C++ only.
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "core/session/session.h"
#include "core/files/cp932.h"
#include "core/files/prefectures.h"
#include "core/files/record_file.h"
#include "core/files/records.h"
#include "core/files/visit_state.h"
#include "support/city_fixture.h"
#include "support/fixed_random.h"
#include "support/question_bank.h"
#include "support/temp_folder.h"

namespace tabinowa::testing {

struct QuestionSpec {
    std::string first;   // Mondai1
    std::string second;  // Mondai2
    std::string answer;  // Kotae
    int doublePoint = 0;
};

// Writes "問題.ran" with one record per question given (Inyo "QZ", InyoNo = record number).
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

// A municipality for the game (see cityRecord); without old municipalities it
// gets one of its own name, "<name>の説明", at (1000 + 10 recNo, 1000 + 10 recNo).
inline City gameCity(int recNo, int kenNo, const std::string& name, std::int32_t cost,
                     std::vector<OldSpec> old = {}) {
    if (old.empty()) old.push_back({name, 1000 + 10 * recNo, 1000 + 10 * recNo, name + "の説明"});
    return cityRecord(recNo, kenNo, name, cost, old);
}

// Municipalities 1..count named "町n", laid out for threePrefectures(): 県Ａ
// records 1..2, 県Ｂ 3..14, 県Ｃ from 15. Municipality n costs 494 + n, except
// record 7, which costs `costOf7`.
inline std::vector<City> numberedCities(int count, std::int32_t costOf7 = 494 + 7) {
    std::vector<City> cities;
    for (int n = 1; n <= count; ++n)
        cities.push_back(gameCity(n, n <= 2 ? 1 : n <= 14 ? 2 : 3, "町" + std::to_string(n), n == 7 ? costOf7 : 494 + n));
    return cities;
}

inline std::vector<RangeSpec> threePrefectures(int homonA = 0, int homonB = 0) {
    return {{"県Ａ", 1, 2, homonA}, {"県Ｂ", 3, 14, homonB}, {"県Ｃ", 15, 15, 0}};
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

// A program folder in use: six questions (record 4 removed), fifteen
// municipalities in threePrefectures() with records 5 and 9 of 県Ｂ visited,
// and 1200 points. No pictures.
inline void writeProgramInUse(const AppFolders& f) {
    writeBank(f, sampleBank(6, {4}));
    writeCities(f, numberedCities(15));
    writeRanges(f, threePrefectures(0, 2));
    writeGameMarks(f, 15, {5, 9});
    writeGamePoints(f, 1200);
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
