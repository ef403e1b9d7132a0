// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/map/city_table.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <memory>

#include "core/files/cp932.h"
#include "core/files/error.h"
#include "core/files/load_checks.h"
#include "core/files/record_views.h"

namespace tabinowa {
namespace {

// The description length as stored: the leading decimal digits of the text
// (after blanks); 0 when there are none.
int lengthValue(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    long long n = 0;
    bool any = false;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        any = true;
        if (n < std::numeric_limits<int>::max()) n = n * 10 + (text[i] - '0');
        ++i;
    }
    if (!any) return 0;
    return n > std::numeric_limits<int>::max() ? std::numeric_limits<int>::max() : static_cast<int>(n);
}

// A name with the blanks around it removed, on both sides.
std::string trimmed(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    return trimRight(text.substr(i));
}

// Puts the six figures into a record or a row (the fields have the same names).
template <class Into>
void setFigures(Into& into, const CityFigures& g) {
    into.Menseki = g.Menseki;
    into.Jinko = g.Jinko;
    into.Jigyosyo = g.Jigyosyo;
    into.Jugyoin = g.Jugyoin;
    into.Kogyo = g.Kogyo;
    into.Syogyo = g.Syogyo;
}

std::string firstChars(const std::string& text, int n) {
    return n <= 0 ? std::string() : leftChars(text, static_cast<std::size_t>(n));
}

}  // namespace

std::vector<OldTown> oldTownsOf(const City& c) {
    std::vector<OldTown> old;
    old.reserve(static_cast<std::size_t>(c.KyuSu > 0 ? c.KyuSu : 0));
    for (int k = 1; k <= c.KyuSu && k < City::kSlots; ++k) {
        OldTown t;
        t.name = padChars(c.KyuNames[k], kNameWidth);
        t.x = c.KyuX[k];
        t.y = c.KyuY[k];
        t.description = leftChars(c.KyuText[k], kDescriptionKeep);
        t.descriptionLength = lengthValue(c.KyuTextLen[k]);
        old.push_back(std::move(t));
    }
    return old;
}

CityRow makeCityRow(const City& c) {
    CityRow row;
    row.recNo = c.RecNo;
    row.name12 = padChars(trimmed(c.CityName), kRowNameWidth);
    setFigures(row, figuresOf(c));
    row.minryoku = minryoku(c);
    row.old = oldTownsOf(c);
    row.kyuSu = static_cast<int>(row.old.size());
    return row;
}

std::string cityListEntry(const City& c) { return padChars(c.CityName, kNameWidth); }

std::vector<Circle> circlesOf(const City& c) {
    std::vector<Circle> circles;
    const std::string city = padChars(c.CityName, kNameWidth);
    for (int k = 1; k <= c.KyuSu && k < City::kSlots; ++k)
        circles.push_back(Circle{city, padChars(c.KyuNames[k], kNameWidth), c.KyuX[k], c.KyuY[k]});
    return circles;
}

namespace {

// The six figures, in the order they are stored.
CityFigures figuresOf(const CityView& v) {
    CityFigures g;
    std::int32_t* stats[] = {&g.Menseki, &g.Jinko, &g.Jigyosyo, &g.Jugyoin, &g.Kogyo, &g.Syogyo};
    for (std::size_t i = 0; i < 6; ++i) *stats[i] = v.figure(i);
    return g;
}

// The records StartRec..EndRec of a prefecture in "市町村.ran", one after the
// other, each with the words that name it in a message. The prefecture's
// records lie together: they are read in blocks of whole records through one
// small buffer (a buffer for all of 北海道's 1.4 MB cost more in fresh pages
// than the read itself). The file is opened for reading and closed here.
class CityRecords {
public:
    CityRecords(Io& io, const AppFolders& folders, const KenHani& ken)
        : io_(io), path_(folders.cityRecords()), name_(displayName(path_)), start_(ken.startRec()) {
        // The map only reads: a missing file is reported, never created.
        if (!io.isDirectory(path_.parent_path()))
            throw FileError("フォルダ" + displayName(path_.parent_path()) + "がありません。" + name_ + "を開けませんでした。");
        if (!io.exists(path_)) throw FileError("ファイル" + name_ + "がありません。" + cityRepair());
        const int end = ken.endRec();
        if (end < start_) return;
        fd_ = io.open(path_, Io::Mode::Read);
        if (fd_ < 0) throw FileError("ファイル" + name_ + "を開けませんでした。");
        const long long size = io.size(fd_);
        if (size < 0) throw FileError("ファイル" + name_ + "の大きさを読めませんでした。");
        const long long count = size / static_cast<long long>(City::kLength);
        if (start_ < 1 || end > count)
            throw FileError("ファイル" + name_ + "に、" + ken.name() + "の" + std::to_string(start_) + "～" +
                            std::to_string(end) + "件目がありません（" + std::to_string(count) + "件）。");
        count_ = static_cast<std::size_t>(end - start_ + 1);
        buffer_.reset(new char[kBlock * City::kLength]);
        where_ = "ファイル" + name_ + "の";
        wherePrefix_ = where_.size();
    }
    ~CityRecords() {
        if (fd_ >= 0) io_.close(fd_);
    }
    CityRecords(const CityRecords&) = delete;
    CityRecords& operator=(const CityRecords&) = delete;

    std::size_t count() const { return count_; }
    bool done() const { return next_ == count_; }
    // The next record, valid until the one after it is asked for; where() names it.
    std::string_view next() {
        const std::size_t inBlock = next_ % kBlock;
        if (inBlock == 0) {
            const std::size_t n = std::min(kBlock, count_ - next_);
            const long got = io_.readAt(fd_, buffer_.get(), n * City::kLength,
                                        (static_cast<std::uint64_t>(start_ - 1) + next_) * City::kLength);
            if (got != static_cast<long>(n * City::kLength))
                throw FileError("ファイル" + name_ + "の" + std::to_string(start_) + "～" +
                                std::to_string(start_ + static_cast<int>(count_) - 1) + "件目を読めませんでした。");
        }
        // The name of the record, made in the same string each time.
        where_.resize(wherePrefix_);
        where_ += std::to_string(start_ + static_cast<int>(next_));
        where_ += "件目";
        ++next_;
        return std::string_view(buffer_.get() + inBlock * City::kLength, City::kLength);
    }
    const std::string& where() const { return where_; }

private:
    static constexpr std::size_t kBlock = 8;  // records a read: 64 KB
    Io& io_;
    std::filesystem::path path_;
    std::string name_;
    int start_;
    int fd_ = -1;
    std::size_t count_ = 0, next_ = 0;
    std::unique_ptr<char[]> buffer_;
    std::string where_;
    std::size_t wherePrefix_ = 0;
};

// A record that cannot be decoded, or whose 民力 index cannot be had, with
// the repair the user can make.
[[noreturn]] void rethrowWithRepair(const std::string& where, bool index, const FileError& e) {
    throw FileError((index ? where + "：" : std::string()) + e.what() + cityRepair());
}

}  // namespace

std::vector<City> readCities(Io& io, const AppFolders& folders, const KenHani& ken, Descriptions descriptions) {
    CityRecords records(io, folders, ken);
    std::vector<City> cities;
    cities.reserve(records.count());
    while (!records.done()) {
        const std::string_view record = records.next();
        // Decoded straight into its place (a record holds some hundred texts:
        // a copy apiece cost as much as the decoding).
        try {
            cities.push_back(City::decode(record, records.where(), CityFields::Lists, descriptions));
        } catch (const FileError& e) {
            rethrowWithRepair(records.where(), false, e);
        }
        // Figures whose 民力 index leaves the 32-bit range are refused here, where the file is known.
        try {
            (void)minryoku(cities.back());
        } catch (const FileError& e) {
            rethrowWithRepair(records.where(), true, e);
        }
    }
    return cities;
}

PrefectureCities prefectureCities(const std::vector<City>& cities) {
    PrefectureCities p;
    p.entries.reserve(cities.size());
    p.rows.reserve(cities.size());
    for (const auto& c : cities) {
        p.entries.push_back(cityListEntry(c));
        p.rows.push_back(makeCityRow(c));
        auto circles = circlesOf(c);
        p.circles.insert(p.circles.end(), circles.begin(), circles.end());
    }
    return p;
}

PrefectureCities readPrefectureCities(Io& io, const AppFolders& folders, const KenHani& ken) {
    CityRecords records(io, folders, ken);
    PrefectureCities p;
    p.entries.reserve(records.count());
    p.rows.reserve(records.count());
    while (!records.done()) {
        const std::string_view record = records.next();
        const std::string& where = records.where();
        // The fields in the order City::decode takes them, so a broken
        // record fails with the same message.
        const CityView v(record, where);
        CityRow row;
        std::string cityName, entry;
        CityFigures figures;
        try {
            row.recNo = v.i16(city::RecNo);
            cityName = v.cityName();
            figures = figuresOf(v);
            const CityLengths lengths = v.lengths();
            entry = padChars(cityName, kNameWidth);
            row.name12 = padChars(trimmed(cityName), kRowNameWidth);
            row.old.reserve(static_cast<std::size_t>(lengths.kyuSu));
            for (std::size_t k = 1; k <= static_cast<std::size_t>(lengths.kyuSu); ++k) {
                OldTown t;
                t.name = padChars(v.kyuName(k), kNameWidth);
                t.x = v.kyuX(k);
                t.y = v.kyuY(k);
                t.descriptionLength = lengthValue(v.text(lengths.at[k], lengths.bytes[k]));
                row.old.push_back(std::move(t));
            }
        } catch (const FileError& e) {
            rethrowWithRepair(where, false, e);
        }
        try {
            row.minryoku = minryoku(figures, cityName);
        } catch (const FileError& e) {
            rethrowWithRepair(where, true, e);
        }
        setFigures(row, figures);
        row.kyuSu = static_cast<int>(row.old.size());
        for (const OldTown& t : row.old) p.circles.push_back(Circle{entry, t.name, t.x, t.y});
        p.entries.push_back(std::move(entry));
        p.rows.push_back(std::move(row));
    }
    return p;
}

void refreshOldTowns(std::vector<CityRow>& rows, const std::vector<City>& cities) {
    for (std::size_t r = 0; r < rows.size() && r < cities.size(); ++r) {
        rows[r].old = oldTownsOf(cities[r]);
        rows[r].kyuSu = static_cast<int>(rows[r].old.size());
    }
}

std::string circleCountText(std::size_t circles) { return "旧市町村数、" + std::to_string(circles); }

std::string headerText(CityRow& row) {
    std::string shown = leftChars(padChars(row.name12, kRowNameWidth), kHeaderNameWidth);
    row.name12 = padChars(shown, kRowNameWidth);
    return shown + "\u3000民力：" + std::to_string(row.minryoku);
}

std::string statisticsText(const CityRow& row) {
    auto d = density(row.Jinko, row.Menseki);
    std::string s;
    s += "\u3000人口：" + std::to_string(row.Jinko) + "人";
    s += "\u3000面積：" + std::to_string(row.Menseki) + "平方ｋｍ";
    s += "\u3000人口密度：" + (d ? std::to_string(*d) : std::string("－"));
    s += "\u3000事業所数：" + std::to_string(row.Jigyosyo) + "所";
    s += "\u3000従業員数：" + std::to_string(row.Jugyoin) + "人";
    s += "\u3000工業出荷額：" + std::to_string(row.Kogyo) + "億円";
    s += "\u3000商業販売額：" + std::to_string(row.Syogyo) + "億円";
    return s;
}

std::string oldTownList(CityRow& row, int nameWidth) {
    std::string s = "\r\n";
    int k = 1;
    for (auto& t : row.old) {
        std::string n = firstChars(padChars(t.name, kNameWidth), nameWidth);
        t.name = padChars(n, kNameWidth);
        std::string d = firstChars(t.description, t.descriptionLength);
        t.description = d;
        s += std::to_string(k) + " " + n + d + "\r\n";
        ++k;
    }
    return s;
}

// A name without its padding blanks (ASCII or ideographic) at either end.
std::string trimmedName(std::string s) {
    const std::string wide = "\u3000";
    for (bool cut = true; cut;) {
        cut = false;
        while (!s.empty() && s.back() == ' ') s.pop_back(), cut = true;
        if (s.size() >= 3 && s.compare(s.size() - 3, 3, wide) == 0) s.resize(s.size() - 3), cut = true;
    }
    while (!s.empty() && s.front() == ' ') s.erase(0, 1);
    return s;
}

std::vector<Mark> numberMarks(const CityRow& row) {
    std::vector<Mark> marks;
    marks.reserve(row.old.size());
    int k = 1;
    for (const auto& t : row.old) {
        marks.push_back(Mark{k, t.x - kMarkOffset, t.y - kMarkOffset});
        ++k;
    }
    return marks;
}

std::optional<std::size_t> hitTest(const std::vector<Circle>& circles, double x, double y) {
    for (std::size_t i = 0; i < circles.size(); ++i)
        if (std::fabs(x - circles[i].x) <= kHitDistance && std::fabs(y - circles[i].y) <= kHitDistance) return i;
    return std::nullopt;
}

std::string pointerName(const Circle& circle) {
    const std::string city = padChars(circle.cityName, kNameWidth);
    const std::string old10 = leftChars(padChars(circle.oldName, kNameWidth), 10);
    if (old10 == leftChars(city, 10)) return city;
    return old10 + "現\u3000" + city;
}

}  // namespace tabinowa
