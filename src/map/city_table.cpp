#include "map/city_table.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <memory>

#include "files/cp932.h"
#include "files/error.h"
#include "files/load_checks.h"

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
    row.Menseki = c.Menseki;
    row.Jinko = c.Jinko;
    row.Jigyosyo = c.Jigyosyo;
    row.Jugyoin = c.Jugyoin;
    row.Kogyo = c.Kogyo;
    row.Syogyo = c.Syogyo;
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

// Offsets of the fields the lists use in a record of "市町村.ran".
constexpr std::size_t kOffKenNo = 0, kOffRecNo = 6, kOffCityName = 28, kOffStats = 112, kOffKyuNames = 898,
                      kOffKyuX = 1418, kOffKyuY = 1470, kOffKyuText = 1522, kOffKyuTextLen = 8022;
constexpr std::size_t kNameBytes = 20, kTextBytes = 250;

class Fields {
public:
    Fields(std::string_view bytes, std::string_view where) : b_(bytes), where_(where) {}
    std::int16_t i16(std::size_t at) const {
        need(at, 2);
        return static_cast<std::int16_t>(static_cast<std::uint16_t>(byte(at) | (byte(at + 1) << 8)));
    }
    std::int32_t i32(std::size_t at) const {
        need(at, 4);
        std::uint32_t u = 0;
        for (std::size_t i = 0; i < 4; ++i) u |= static_cast<std::uint32_t>(byte(at + i)) << (8 * i);
        return static_cast<std::int32_t>(u);
    }
    // A fixed-length text with its padding. The blanks at the end are kept
    // as they are and only the rest is converted: a blank byte is never the
    // second byte of a two-byte character.
    std::string text(std::size_t at, std::size_t width) const {
        need(at, width);
        std::string_view field = b_.substr(at, width);
        std::size_t used = field.size();
        while (used > 0 && field[used - 1] == ' ') --used;
        std::string s = fromCp932(field.substr(0, used), where_);
        s.append(field.size() - used, ' ');
        return s;
    }

private:
    unsigned byte(std::size_t at) const { return static_cast<unsigned char>(b_[at]); }
    void need(std::size_t at, std::size_t n) const {
        if (at + n > b_.size()) throw FileError(std::string(where_) + "：記録が短すぎます。");
    }
    std::string_view b_;
    std::string_view where_;
};

// Closes a descriptor when the reading is done or fails.
class OpenFile {
public:
    OpenFile(Io& io, int fd) : io_(io), fd_(fd) {}
    ~OpenFile() {
        if (fd_ >= 0) io_.close(fd_);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    int fd() const { return fd_; }

private:
    Io& io_;
    int fd_;
};

}  // namespace

City decodeListFields(std::string_view record, std::string_view where, Descriptions descriptions) {
    const Fields f(record, where);
    City c;
    c.KenNo = f.i16(kOffKenNo);
    c.RecNo = f.i16(kOffRecNo);
    c.CityName = f.text(kOffCityName, kNameBytes);
    std::int32_t* stats[] = {&c.Menseki, &c.Jinko, &c.Jigyosyo, &c.Jugyoin, &c.Kogyo, &c.Syogyo};
    for (std::size_t i = 0; i < 6; ++i) *stats[i] = f.i32(kOffStats + 4 * i);

    // The description lengths are variable: KyuSu follows the last of them.
    std::array<std::size_t, City::kSlots> lenAt{}, lenBytes{};
    std::size_t pos = kOffKyuTextLen;
    const std::size_t limit = City::kLength - 2;  // KyuSu must still fit
    for (int k = 0; k < City::kSlots; ++k) {
        const std::int16_t n = f.i16(pos);
        pos += 2;
        if (n < 0 || pos + static_cast<std::size_t>(n) > limit)
            throw FileError(std::string(where) + "：旧市町村の説明の長さが記録に収まりません。");
        lenAt[static_cast<std::size_t>(k)] = pos;
        lenBytes[static_cast<std::size_t>(k)] = static_cast<std::size_t>(n);
        pos += static_cast<std::size_t>(n);
    }
    c.KyuSu = f.i16(pos);
    if (c.KyuSu < 0 || c.KyuSu > City::kMaxOld)
        throw FileError(std::string(where) + "：旧市町村の数（" + std::to_string(c.KyuSu) + "）が0～25の範囲にありません。");

    for (std::size_t k = 1; k <= static_cast<std::size_t>(c.KyuSu); ++k) {
        c.KyuNames[k] = f.text(kOffKyuNames + kNameBytes * k, kNameBytes);
        c.KyuX[k] = f.i16(kOffKyuX + 2 * k);
        c.KyuY[k] = f.i16(kOffKyuY + 2 * k);
        if (descriptions == Descriptions::Read) c.KyuText[k] = f.text(kOffKyuText + kTextBytes * k, kTextBytes);
        c.KyuTextLen[k] = f.text(lenAt[k], lenBytes[k]);
    }
    return c;
}

std::vector<City> readCities(Io& io, const AppFolders& folders, const KenHani& ken, Descriptions descriptions) {
    const auto path = folders.cityRecords();
    const std::string name = displayName(path);
    // The map only reads: a missing file is reported, never created.
    if (!io.isDirectory(path.parent_path()))
        throw FileError("フォルダ" + displayName(path.parent_path()) + "がありません。" + name + "を開けませんでした。");
    if (!io.exists(path)) throw FileError("ファイル" + name + "がありません。" + cityRepair());

    const int start = ken.startRec();
    const int end = ken.endRec();
    std::vector<City> cities;
    if (end < start) return cities;

    const OpenFile file(io, io.open(path, Io::Mode::Read));
    if (file.fd() < 0) throw FileError("ファイル" + name + "を開けませんでした。");
    const long long size = io.size(file.fd());
    if (size < 0) throw FileError("ファイル" + name + "の大きさを読めませんでした。");
    const long long count = size / static_cast<long long>(City::kLength);
    if (start < 1 || end > count)
        throw FileError("ファイル" + name + "に、" + ken.name() + "の" + std::to_string(start) + "～" +
                        std::to_string(end) + "件目がありません（" + std::to_string(count) + "件）。");

    // The prefecture's records lie together: read in blocks of whole records
    // through one small buffer (a buffer for all of 北海道's 1.4 MB cost more
    // in fresh pages than the read itself).
    const std::size_t records = static_cast<std::size_t>(end - start + 1);
    constexpr std::size_t kBlock = 8;  // records a read: 64 KB
    const std::unique_ptr<char[]> buffer(new char[kBlock * City::kLength]);
    cities.reserve(records);
    for (std::size_t i = 0; i < records; ++i) {
        const std::size_t inBlock = i % kBlock;
        if (inBlock == 0) {
            const std::size_t n = std::min(kBlock, records - i);
            const long got = io.readAt(file.fd(), buffer.get(), n * City::kLength,
                                       (static_cast<std::uint64_t>(start - 1) + i) * City::kLength);
            if (got != static_cast<long>(n * City::kLength))
                throw FileError("ファイル" + name + "の" + std::to_string(start) + "～" + std::to_string(end) +
                                "件目を読めませんでした。");
        }
        const std::string where = "ファイル" + name + "の" + std::to_string(start + static_cast<int>(i)) + "件目";
        // Decoded straight into its place (a record holds some hundred texts:
        // a copy apiece cost as much as the decoding).
        try {
            cities.push_back(decodeListFields(std::string_view(buffer.get() + inBlock * City::kLength, City::kLength),
                                              where, descriptions));
        } catch (const FileError& e) {
            throw FileError(e.what() + cityRepair());
        }
        // Figures whose 民力 index leaves the 32-bit range are refused here, where the file is known.
        try {
            (void)minryoku(cities.back());
        } catch (const FileError& e) {
            throw FileError(where + "：" + e.what() + cityRepair());
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
