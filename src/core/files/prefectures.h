// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The prefecture range file "県範囲.csv" (one line per prefecture: number,
// spare, name, first and last record, visited count) and the derived values of
// a municipality record.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/files/folders.h"
#include "core/files/io.h"
#include "core/files/records.h"
#include "core/files/text_file.h"

namespace tabinowa {

struct KenHani {
    // Kept as the field reader read them, so a rewrite gives back what was read.
    Value KenNo, Yobi0, KenName, StartRec, EndRec, HomonSu;

    int startRec() const;  // 0 when not a number
    int endRec() const;
    int homonSu() const;
    std::string name() const { return KenName.asText(); }
    // Every municipality of the prefecture visited: HomonSu = EndRec - StartRec + 1.
    bool complete() const;
    // "済　" + name when complete, else "　　" + name.
    std::string listEntry() const;
};

constexpr int kMaxPrefectureLines = 48;

// Reads every line of "県範囲.csv" (six fields a line). More than 48 lines is an error.
std::vector<KenHani> readRanges(Io& io, const AppFolders& folders);

// Rewrites "県範囲.csv" atomically with one line per table row (the rows that
// were read), HomonSu as held or 0 when `reset`.
void rewriteRanges(Io& io, const AppFolders& folders, const std::vector<KenHani>& table, bool reset);
// The bytes such a rewrite writes.
std::string rangeBytes(const AppFolders& folders, const std::vector<KenHani>& table, bool reset);

// 民力 index: Round(Jinko/1000) + Round(Jinko/100) + Menseki
// + Round((Kogyo+Syogyo)/10) + Round(Jugyoin/Jinko*1000) + Round(Jigyosyo/100).
// A population of 0 takes 0 for the employees term. Throws FileError when the
// result leaves the 32-bit range.
std::int32_t minryoku(const City& c);

// The figures of a municipality record its 民力 index is made of.
struct CityFigures {
    std::int32_t Menseki = 0, Jinko = 0, Jigyosyo = 0, Jugyoin = 0, Kogyo = 0, Syogyo = 0;
};
inline CityFigures figuresOf(const City& c) { return {c.Menseki, c.Jinko, c.Jigyosyo, c.Jugyoin, c.Kogyo, c.Syogyo}; }
// The same index from the figures alone; `cityName` (CityName as stored)
// names the municipality when the index cannot be had.
std::int32_t minryoku(const CityFigures& f, std::string_view cityName);

// Persons per km², rounded; none when the population or the area is 0.
std::optional<std::int32_t> density(std::int32_t jinko, std::int32_t menseki);

}  // namespace tabinowa
