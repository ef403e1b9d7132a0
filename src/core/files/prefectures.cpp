// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/files/prefectures.h"

#include <cmath>
#include <limits>

#include "core/files/error.h"

namespace tabinowa {
namespace {
int toInt(const Value& v) {
    auto n = v.asNumber();
    if (!n || !std::isfinite(*n) || std::fabs(*n) > 2e9) return 0;
    return static_cast<int>(*n);
}
}  // namespace

int KenHani::startRec() const { return toInt(StartRec); }
int KenHani::endRec() const { return toInt(EndRec); }
int KenHani::homonSu() const { return toInt(HomonSu); }

bool KenHani::complete() const {
    auto h = HomonSu.asNumber(), s = StartRec.asNumber(), e = EndRec.asNumber();
    return h && s && e && *h == *e - *s + 1;
}

std::string KenHani::listEntry() const { return (complete() ? "済\u3000" : "\u3000\u3000") + name(); }

std::vector<KenHani> readRanges(Io& io, const AppFolders& folders) {
    auto path = folders.rangeFile();
    FieldReader r(readWholeFile(io, path), displayName(path));
    std::vector<KenHani> table;
    while (!r.atEnd()) {
        if (static_cast<int>(table.size()) == kMaxPrefectureLines)
            throw FileError("ファイル" + displayName(path) + "の行が多すぎます（最大" +
                            std::to_string(kMaxPrefectureLines) + "行）。");
        KenHani k;
        k.KenNo = r.readValue();
        k.Yobi0 = r.readValue();
        k.KenName = r.readValue();
        k.StartRec = r.readValue();
        k.EndRec = r.readValue();
        k.HomonSu = r.readValue();
        table.push_back(std::move(k));
    }
    return table;
}

std::string rangeBytes(const AppFolders& folders, const std::vector<KenHani>& table, bool reset) {
    TextWriter w(displayName(folders.rangeFile()));
    for (const auto& k : table)
        w.writeFields({k.KenNo, k.Yobi0, k.KenName, k.StartRec, k.EndRec, reset ? Value::number(0) : k.HomonSu});
    return w.bytes();
}

void rewriteRanges(Io& io, const AppFolders& folders, const std::vector<KenHani>& table, bool reset) {
    writeFileAtomic(io, folders.rangeFile(), rangeBytes(folders, table, reset));
}

std::int32_t minryoku(const City& c) {
    return minryoku(figuresOf(c), c.CityName);
}

std::int32_t minryoku(const CityFigures& c, std::string_view cityName) {
    const double jinko = c.Jinko;
    double a = roundHalfEven(jinko / 1000.0);
    double b = roundHalfEven(jinko / 100.0);
    double cc = c.Menseki;
    // the sum in 32 bits, as stored
    std::int64_t sum = static_cast<std::int64_t>(c.Kogyo) + c.Syogyo;
    if (sum > std::numeric_limits<std::int32_t>::max() || sum < std::numeric_limits<std::int32_t>::min())
        throw FileError("市町村「" + std::string(cityName) + "」の工業出荷額と商業販売額の和が大きすぎます。");
    double d = roundHalfEven(static_cast<double>(sum) / 10.0);
    double e = c.Jinko == 0 ? 0.0 : roundHalfEven(static_cast<double>(c.Jugyoin) / jinko * 1000.0);
    double f = roundHalfEven(static_cast<double>(c.Jigyosyo) / 100.0);
    double total = a + b + cc + d + e + f;
    if (total > std::numeric_limits<std::int32_t>::max() || total < std::numeric_limits<std::int32_t>::min())
        throw FileError("市町村「" + std::string(cityName) + "」の民力が大きすぎます。");
    return static_cast<std::int32_t>(total);
}

std::optional<std::int32_t> density(std::int32_t jinko, std::int32_t menseki) {
    if (jinko == 0 || menseki == 0) return std::nullopt;
    return static_cast<std::int32_t>(roundHalfEven(static_cast<double>(jinko) / static_cast<double>(menseki)));
}

}  // namespace tabinowa
