// SPDX-License-Identifier: GPL-3.0-or-later
// Checks of the shipped question bank (作業ファイル/問題.csv): its shape and
// byte widths, and for every question that the answer is true and the three
// wrong choices false by the facts of the committed municipality master and
// prefecture data. Note 1 of each question names its subject ("市01202",
// "旧01339", "県01").
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "core/files/cp932.h"
#include "sources.h"
#include "support/master_file.h"

namespace {

namespace fs = std::filesystem;

const fs::path kRepo = fs::path(TABINOWA_SOURCE_DIR);

fs::path u8(const std::string& s) { return fs::path(std::u8string(s.begin(), s.end())); }

using Field = tabinowa::testing::MasterField;
using Line = tabinowa::testing::MasterLine;
using tabinowa::testing::readMaster;

long long num(const std::string& s) {
    long long v = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || p != s.data() + s.size()) return -999999;
    return v;
}

std::size_t bytes(const std::string& s) { return tabinowa::toCp932(s, "test").size(); }
std::size_t chars(const std::string& s) { return tabinowa::charCount(s); }
bool has(const std::string& hay, const std::string& needle) { return hay.find(needle) != std::string::npos; }

// Facts of the committed masters.
struct Present {
    int code = 0, pref = 0;
    std::string name, kana, district, phrase;
    long long population = 0, area = 0;
    int olds = 0;
};
struct Old {
    int code = 0, pref = 0;
    int presentCode = 0;
    std::string name, kana, present, description;
    std::vector<std::string> fields;  // 25..37
    std::vector<std::string> partlyIn;  // "一部は輪島市・穴水町に": other municipalities that took part of it
};
struct Facts {
    std::map<int, Present> presents;
    std::map<int, Old> olds;
    std::map<int, std::string> prefName, capital;
    std::map<std::string, int> prefNumber;
    std::map<int, std::vector<const Present*>> byPref;
};

const Facts& facts() {
    static const Facts f = [] {
        Facts f;
        auto master = readMaster(kRepo / "data" / u8("作業ファイル") / u8("市町村.csv"));
        Present* current = nullptr;
        for (std::size_t i = 1; i < master.size(); ++i) {
            const Line& l = master[i];
            if (l.size() != 43) continue;
            int code = std::stoi(l[0].text);
            if (l[4].text == "0") {
                Present p;
                p.code = code;
                p.pref = static_cast<int>(num(l[1].text));
                p.name = l[6].text;
                p.kana = l[7].text;
                p.district = l[8].text;
                p.population = num(l[16].text);
                p.area = num(l[17].text);
                p.phrase = l[38].text;
                p.olds = l[5].text.empty() ? 0 : 1;
                current = &(f.presents[code] = p);
            } else {
                Old o;
                o.code = code;
                o.pref = static_cast<int>(num(l[1].text));
                o.name = l[5].text;
                o.present = l[6].text;
                o.presentCode = current ? current->code : 0;
                o.kana = l[24].text;
                for (int c = 24; c <= 36; ++c) o.fields.push_back(l[static_cast<std::size_t>(c)].text);
                for (const auto& x : o.fields) {
                    o.description += x + "\u3000";
                    const std::string head = "一部は", tail = "に";
                    if (x.rfind(head, 0) == 0 && x.size() > head.size() + tail.size()) {
                        std::string names = x.substr(head.size(), x.size() - head.size() - tail.size());
                        for (std::size_t b = 0; b <= names.size();) {
                            std::size_t e = names.find("・", b);
                            if (e == std::string::npos) e = names.size();
                            o.partlyIn.push_back(names.substr(b, e - b));
                            b = e + std::string("・").size();
                        }
                    }
                }
                if (current) ++current->olds;
                f.olds[code] = o;
            }
        }
        for (const auto& l : readMaster(kRepo / "data" / "file1" / u8("都道府県データ.csv"))) {
            int n = static_cast<int>(num(l[0].text));
            f.prefName[n] = l[1].text;
            f.prefNumber[l[1].text] = n;
            f.capital[n] = l[4].text;
        }
        for (const auto& [code, p] : f.presents) f.byPref[p.pref].push_back(&p);
        return f;
    }();
    return f;
}

const std::vector<Line>& questions() {
    static const std::vector<Line> q = readMaster(kRepo / "data" / u8("作業ファイル") / u8("問題.csv"));
    return q;
}

struct Q {
    std::string mark, answer, key, lead, text;
    std::vector<std::string> wrong;
};

Q view(const Line& l) {
    return Q{l[0].text, l[6].text, l[11].text, l[16].text, l[17].text, {l[3].text, l[4].text, l[5].text}};
}

const Present* presentByKey(const std::string& key) {
    if (key.rfind("市", 0) != 0) return nullptr;
    auto it = facts().presents.find(std::stoi(key.substr(3)));
    return it == facts().presents.end() ? nullptr : &it->second;
}

const Old* oldByKey(const std::string& key) {
    if (key.rfind("旧", 0) != 0) return nullptr;
    auto it = facts().olds.find(std::stoi(key.substr(3)));
    return it == facts().olds.end() ? nullptr : &it->second;
}

int prefByKey(const std::string& key) { return key.rfind("県", 0) == 0 ? std::stoi(key.substr(3)) : 0; }

const Present* presentNamed(int pref, const std::string& name) {
    auto it = facts().byPref.find(pref);
    if (it == facts().byPref.end()) return nullptr;
    for (const auto* p : it->second)
        if (p->name == name) return p;
    return nullptr;
}


// ---- Facts from the raw data, when ../shared/data is at hand ------------------
// The geography kinds are checked against the raw polygons and town halls,
// read here on their own (neighbours: two municipalities holding at least two
// common vertices of the topology-kept polygons).

const fs::path kRaw = kRepo / ".." / "shared" / "data";
bool haveRaw() { return fs::exists(kRaw / "town_halls.csv") && fs::exists(kRaw / "boundaries"); }

std::string readText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Geometry of the tests' own, on the raw polygons: flat distances around a point.
constexpr double kPi = 3.141592653589793;
using LonLat = std::pair<double, double>;
using Ring = std::vector<LonLat>;  // closed: the last point repeats the first

double flatKm(const LonLat& a, const LonLat& b) {
    const double x = (a.first - b.first) * 111.32 * std::cos((a.second + b.second) / 2 * kPi / 180);
    const double y = (a.second - b.second) * 110.57;
    return std::sqrt(x * x + y * y);
}

// Distance in km from p to the segment s-t, flat around p.
double toSegmentKm(const LonLat& p, const LonLat& s, const LonLat& t) {
    const double kx = 111.32 * std::cos(p.second * kPi / 180), ky = 110.57;
    const double sx = (s.first - p.first) * kx, sy = (s.second - p.second) * ky;
    const double tx = (t.first - p.first) * kx, ty = (t.second - p.second) * ky;
    const double dx = tx - sx, dy = ty - sy, len2 = dx * dx + dy * dy;
    double u = len2 > 0 ? -(sx * dx + sy * dy) / len2 : 0;
    u = u < 0 ? 0 : u > 1 ? 1 : u;
    return std::hypot(sx + u * dx, sy + u * dy);
}

// A grid of segments in cells of 0.01 degree, for "what lies near this point".
template <class Tag>
class SegmentGrid {
public:
    struct Seg {
        LonLat s, t;
        Tag tag;
    };
    void add(const LonLat& s, const LonLat& t, Tag tag) {
        segs_.push_back({s, t, tag});
        for (long long x = cell(std::min(s.first, t.first)); x <= cell(std::max(s.first, t.first)); ++x)
            for (long long y = cell(std::min(s.second, t.second)); y <= cell(std::max(s.second, t.second)); ++y)
                cells_[{x, y}].push_back(segs_.size() - 1);
    }
    // every segment with a cell within `km` of p
    template <class F>
    void near(const LonLat& p, double km, F f) const {
        const long long rx = static_cast<long long>(std::ceil(km / (111.32 * std::cos(p.second * kPi / 180)) / kCell));
        const long long ry = static_cast<long long>(std::ceil(km / 110.57 / kCell));
        for (long long x = cell(p.first) - rx; x <= cell(p.first) + rx; ++x)
            for (long long y = cell(p.second) - ry; y <= cell(p.second) + ry; ++y) {
                auto it = cells_.find({x, y});
                if (it == cells_.end()) continue;
                for (std::size_t i : it->second) f(segs_[i]);
            }
    }

private:
    static constexpr double kCell = 0.01;
    static long long cell(double v) { return static_cast<long long>(std::floor(v / kCell)); }
    struct CellHash {
        std::size_t operator()(const std::pair<long long, long long>& c) const {
            return std::hash<long long>()(c.first * 1000003LL + c.second);
        }
    };
    std::vector<Seg> segs_;
    std::unordered_map<std::pair<long long, long long>, std::vector<std::size_t>, CellHash> cells_;
};

// The Northern Territories are not in our data: 根室市's 歯舞群島, the islands
// beyond 納沙布岬 (145.82°E), count for none of its figures.
bool habomai(int code, const Ring& outer) {
    if (code != 1223) return false;
    for (const auto& p : outer)
        if (p.first < 145.83) return false;
    return true;
}
// 沖ノ鳥島 (小笠原村): 北緯20度25分30.66秒, 東経136度4分11.18秒 (国土地理院), too
// small to be in the simplified polygons.
constexpr int kOkinotorishimaVillage = 13421;
const LonLat kOkinotorishima{136.069772, 20.425183};

struct Raw {
    std::map<std::string, std::set<int>> wardPrefs;      // ward of a designated city -> prefectures
    std::set<std::string> northern;                      // villages of the Northern Territories
    std::map<int, std::pair<double, double>> hall;       // present code -> lon, lat
    std::map<int, std::array<double, 4>> reach;          // present code -> north, -south, east, -west
    std::map<int, std::vector<std::pair<double, double>>> points;  // present code -> polygon points
    std::map<int, std::vector<Ring>> rings;              // present code -> its rings
    std::map<int, std::array<double, 4>> box;            // present code -> north, south, east, west of its rings
    // within a prefecture (one file, its topology kept): pairs with two common
    // points or more, and the length of their common edges
    std::map<int, std::set<int>> touching;
    std::map<std::pair<int, int>, double> edgeKm;
    // across a prefecture border: km of a's border that lies within 0.3 km of b
    // (nearest of the other prefecture), near the prefectures' common border
    std::map<std::pair<int, int>, double> alongKm;
};

const Raw& raw() {
    static const Raw r = [] {
        Raw r;
        if (!haveRaw()) return r;
        for (const auto& row : makedata::parseCsv(readText(kRaw / "municipality_codes_2024.csv"))) {
            if (row.size() < 6 || row[0] == "code5") continue;
            const int code = std::stoi(row[0]);
            const int pref = code / 1000;
            if (code >= 1695 && code <= 1700) r.northern.insert(row[4]);
            if (!row[4].empty() && row[2].size() > 3 && row[2].compare(row[2].size() - 3, 3, "市") == 0 &&
                row[4].compare(row[4].size() - 3, 3, "区") == 0)
                r.wardPrefs[row[4]].insert(pref);
        }
        auto halls = makedata::parseCsv(readText(kRaw / "town_halls.csv"));
        for (std::size_t i = 1; i < halls.size(); ++i) {
            const auto& row = halls[i];
            if (row.size() < 7) continue;
            const int code = std::stoi(row[2]);
            if (facts().presents.count(code)) r.hall[code] = {std::stod(row[6]), std::stod(row[5])};
        }
        auto readJson = [](const fs::path& p) {
            QFile file(QString::fromStdString(p.string()));
            if (!file.open(QIODevice::ReadOnly)) return QJsonArray();
            return QJsonDocument::fromJson(file.readAll()).object().value("features").toArray();
        };
        auto ringsOf = [](const QJsonObject& g) {
            std::vector<std::vector<Ring>> polys;
            QJsonArray coords = g.value("coordinates").toArray();
            if (g.value("type").toString() == "Polygon") coords = QJsonArray{coords};
            for (const QJsonValue& poly : coords) {
                std::vector<Ring> rings;
                for (const QJsonValue& ring : poly.toArray()) {
                    Ring rr;
                    for (const QJsonValue& pt : ring.toArray()) rr.emplace_back(pt.toArray()[0].toDouble(), pt.toArray()[1].toDouble());
                    if (!rr.empty() && rr.front() != rr.back()) rr.push_back(rr.front());
                    rings.push_back(std::move(rr));
                }
                polys.push_back(std::move(rings));
            }
            return polys;
        };
        using Key = std::pair<long long, long long>;
        auto keyOf = [](const LonLat& p) { return Key{std::llround(p.first * 1e7), std::llround(p.second * 1e7)}; };
        for (int pref = 1; pref <= 47; ++pref) {
            char name[64];
            std::snprintf(name, sizeof name, "N03-21_%02d_210101.json", pref);
            std::map<Key, std::set<int>> vertexOwners;
            std::map<std::pair<Key, Key>, std::set<int>> edgeOwners;
            for (const QJsonValue& fv : readJson(kRaw / "boundaries" / name)) {
                const QJsonObject props = fv.toObject().value("properties").toObject();
                int code = props.value("N03_007").toString().toInt();
                if (!facts().presents.count(code)) {  // a ward: its city by name
                    const Present* city = presentNamed(pref, props.value("N03_003").toString().toStdString());
                    if (!city) continue;
                    code = city->code;
                }
                auto& e = r.reach.try_emplace(code, std::array<double, 4>{-1e9, -1e9, -1e9, -1e9}).first->second;
                for (const auto& poly : ringsOf(fv.toObject().value("geometry").toObject())) {
                    const bool counts = !habomai(code, poly.front());
                    for (const Ring& ring : poly) {
                        for (std::size_t i = 0; i < ring.size(); ++i) {
                            const auto& [lon, lat] = ring[i];
                            if (counts)
                                e = {std::max(e[0], lat), std::max(e[1], -lat), std::max(e[2], lon), std::max(e[3], -lon)};
                            r.points[code].emplace_back(lon, lat);
                            vertexOwners[keyOf(ring[i])].insert(code);
                            if (i + 1 < ring.size()) {
                                Key a = keyOf(ring[i]), b = keyOf(ring[i + 1]);
                                if (a != b) edgeOwners[{std::min(a, b), std::max(a, b)}].insert(code);
                            }
                        }
                        r.rings[code].push_back(ring);
                    }
                }
            }
            std::map<std::pair<int, int>, int> common;
            for (const auto& [k, owners] : vertexOwners)
                for (auto a = owners.begin(); a != owners.end(); ++a)
                    for (auto b = std::next(a); b != owners.end(); ++b) ++common[{*a, *b}];
            for (const auto& [pair, n] : common)
                if (n >= 2) {
                    r.touching[pair.first].insert(pair.second);
                    r.touching[pair.second].insert(pair.first);
                }
            for (const auto& [edge, owners] : edgeOwners)
                for (auto a = owners.begin(); a != owners.end(); ++a)
                    for (auto b = std::next(a); b != owners.end(); ++b)
                        r.edgeKm[{*a, *b}] += flatKm({edge.first.first / 1e7, edge.first.second / 1e7},
                                                     {edge.second.first / 1e7, edge.second.second / 1e7});
        }
        auto& oki = r.reach.at(kOkinotorishimaVillage);
        oki = {std::max(oki[0], kOkinotorishima.second), std::max(oki[1], -kOkinotorishima.second),
               std::max(oki[2], kOkinotorishima.first), std::max(oki[3], -kOkinotorishima.first)};
        for (const auto& [code, rings] : r.rings) {
            std::array<double, 4> b{-1e9, 1e9, -1e9, 1e9};
            for (const auto& ring : rings)
                for (const auto& [lon, lat] : ring)
                    b = {std::max(b[0], lat), std::min(b[1], lat), std::max(b[2], lon), std::min(b[3], lon)};
            r.box[code] = b;
        }

        // Across prefecture borders, as a reader would measure it: each
        // municipality's border walked in steps of 0.1 km; a step near the
        // common border of two prefectures (within 1 km of it in
        // prefectures.json, so no strait counts) goes to the municipality of the
        // other prefecture whose border lies nearest, within 0.3 km.
        SegmentGrid<std::pair<int, int>> prefBorders;  // common border of two prefectures
        {
            std::map<std::pair<Key, Key>, std::set<int>> owners;
            for (const QJsonValue& fv : readJson(kRaw / "boundaries" / "prefectures.json")) {
                const std::string name =
                    fv.toObject().value("properties").toObject().value("N03_001").toString().toStdString();
                if (!facts().prefNumber.count(name)) continue;
                const int pref = facts().prefNumber.at(name);
                for (const auto& poly : ringsOf(fv.toObject().value("geometry").toObject()))
                    for (const Ring& ring : poly)
                        for (std::size_t i = 0; i + 1 < ring.size(); ++i) {
                            Key a = keyOf(ring[i]), b = keyOf(ring[i + 1]);
                            if (a != b) owners[{std::min(a, b), std::max(a, b)}].insert(pref);
                        }
            }
            for (const auto& [edge, prefs] : owners)
                if (prefs.size() == 2)
                    prefBorders.add({edge.first.first / 1e7, edge.first.second / 1e7},
                                    {edge.second.first / 1e7, edge.second.second / 1e7}, {*prefs.begin(), *prefs.rbegin()});
        }
        SegmentGrid<int> borders;  // every municipality's edges
        for (const auto& [code, rings] : r.rings)
            for (const auto& ring : rings)
                for (std::size_t i = 0; i + 1 < ring.size(); ++i) borders.add(ring[i], ring[i + 1], code);
        for (const auto& [code, rings] : r.rings) {
            const int pref = facts().presents.at(code).pref;
            for (const auto& ring : rings)
                for (std::size_t i = 0; i + 1 < ring.size(); ++i) {
                    const double len = flatKm(ring[i], ring[i + 1]);
                    const int n = std::max(1, static_cast<int>(std::ceil(len / 0.1)));
                    for (int k = 0; k < n; ++k) {
                        const double u = (k + 0.5) / n;
                        const LonLat p{ring[i].first + u * (ring[i + 1].first - ring[i].first),
                                       ring[i].second + u * (ring[i + 1].second - ring[i].second)};
                        std::set<int> across;  // prefectures whose common border with ours lies within 1 km
                        prefBorders.near(p, 1.0, [&](const auto& s) {
                            if ((s.tag.first == pref || s.tag.second == pref) && toSegmentKm(p, s.s, s.t) <= 1.0)
                                across.insert(s.tag.first == pref ? s.tag.second : s.tag.first);
                        });
                        if (across.empty()) continue;
                        double best = 0.3;
                        int other = 0;
                        borders.near(p, 0.3, [&](const auto& s) {
                            if (!across.count(facts().presents.at(s.tag).pref)) return;
                            const double d = toSegmentKm(p, s.s, s.t);
                            if (d < best) {
                                best = d;
                                other = s.tag;
                            }
                        });
                        if (other) r.alongKm[{code, other}] += len / n;
                    }
                }
        }
        return r;
    }();
    return r;
}

// Border in km of two municipalities by the tests' own measure: the common
// edges within a prefecture; across a prefecture border the smaller of the two
// walks (each side's border that lies along the other).
double borderKm(int a, int b) {
    const auto& r = raw();
    if (facts().presents.at(a).pref == facts().presents.at(b).pref) {
        auto it = r.edgeKm.find({std::min(a, b), std::max(a, b)});
        return it == r.edgeKm.end() ? 0.0 : it->second;
    }
    auto ab = r.alongKm.find({a, b}), ba = r.alongKm.find({b, a});
    return std::min(ab == r.alongKm.end() ? 0.0 : ab->second, ba == r.alongKm.end() ? 0.0 : ba->second);
}

// Some border by the tests' measure: within a prefecture two common points;
// across, a border walked on either side.
bool touches(int a, int b) {
    if (facts().presents.at(a).pref == facts().presents.at(b).pref) {
        auto it = raw().touching.find(a);
        return it != raw().touching.end() && it->second.count(b);
    }
    return raw().alongKm.count({a, b}) || raw().alongKm.count({b, a});
}

// Where a town hall stands: the municipality whose rings hold it (its own
// first), else the one whose border lies nearest within 1 km (a simplified coast).
bool ringsHold(const std::vector<Ring>& rings, const LonLat& p) {
    bool in = false;
    for (const auto& ring : rings)
        for (std::size_t i = 0; i + 1 < ring.size(); ++i) {
            const LonLat &a = ring[i], &b = ring[i + 1];
            if ((a.second > p.second) != (b.second > p.second) &&
                p.first < a.first + (p.second - a.second) * (b.first - a.first) / (b.second - a.second))
                in = !in;
        }
    return in;
}
int hallStandsIn(int code) {
    const LonLat h = raw().hall.at(code);
    if (ringsHold(raw().rings.at(code), h)) return code;
    for (const auto& [other, rings] : raw().rings) {
        const auto& b = raw().box.at(other);
        if (h.second <= b[0] && h.second >= b[1] && h.first <= b[2] && h.first >= b[3] && ringsHold(rings, h)) return other;
    }
    double best = 1.0;
    int in = 0;
    for (const auto& [other, rings] : raw().rings)
        for (const auto& ring : rings)
            for (std::size_t i = 0; i + 1 < ring.size(); ++i)
                if (flatKm(h, ring[i]) < best + 20) {
                    const double d = toSegmentKm(h, ring[i], ring[i + 1]);
                    if (d < best) {
                        best = d;
                        in = other;
                    }
                }
    return in;
}

// The names listed after "？　" of a comparison, up to the "（" of its prefecture.
std::vector<std::string> listedNames(const std::string& text) {
    std::size_t b = text.find("？\u3000");
    std::size_t e = text.rfind("（");
    std::vector<std::string> out;
    if (b == std::string::npos || e == std::string::npos || e < b) return out;
    b += std::string("？\u3000").size();
    std::string list = text.substr(b, e - b);
    for (std::size_t at = 0; at <= list.size();) {
        std::size_t dot = list.find("・", at);
        if (dot == std::string::npos) dot = list.size();
        out.push_back(list.substr(at, dot - at));
        at = dot + std::string("・").size();
    }
    return out;
}

// The name between the first 「 and the following 」.
std::string bracketed(const std::string& text, std::size_t from = 0) {
    std::size_t b = text.find("「", from);
    if (b == std::string::npos) return {};
    b += std::string("「").size();
    return text.substr(b, text.find("」", b) - b);
}

// A municipality offered as not touching keeps at least 1 km from the other
// (the simplified polygons may have lost a short border: 目黒区 and 港区).
// Closest polygon points, which are never closer than the edges.
double pointsApartKm(int a, int b) {
    const auto &ra = raw().reach.at(a), &rb = raw().reach.at(b);  // north, -south, east, -west
    const double far = 0.05;                                      // degrees: over 4 km on every side
    if (-rb[1] > ra[0] + far || -ra[1] > rb[0] + far || -rb[3] > ra[2] + far || -ra[3] > rb[2] + far) return 4.0;
    double best = 1e18;
    for (const auto& p : raw().points.at(a))
        for (const auto& q : raw().points.at(b)) {
            const double x = (p.first - q.first) * 111.32 * std::cos(p.second * 3.141592653589793 / 180);
            const double y = (p.second - q.second) * 110.57;
            best = std::min(best, x * x + y * y);
        }
    return std::sqrt(best);
}

void namesItsChoices(const Q& q) {
    auto names = listedNames(q.text);
    std::multiset<std::string> listed(names.begin(), names.end()), choices(q.wrong.begin(), q.wrong.end());
    choices.insert(q.answer);
    EXPECT_EQ(listed, choices) << "the question must list exactly its four choices: " << q.text;
}

// The other prefecture a 県境 question names.
int otherPrefOf(const Q& q) {
    const std::string head = "次の4つのうち、";
    if (q.text.rfind(head, 0) != 0) return 0;
    const std::string other = q.text.substr(head.size(), q.text.find("と接している") - head.size());
    return facts().prefNumber.count(other) ? facts().prefNumber.at(other) : 0;
}

void checkNeighbour(const Q& q) {
    const Present* subject = presentByKey(q.key);
    ASSERT_NE(subject, nullptr) << q.key;
    EXPECT_EQ(bracketed(q.text), subject->name);
    namesItsChoices(q);
    if (!haveRaw()) return;
    const Present* a = presentNamed(subject->pref, q.answer);
    ASSERT_NE(a, nullptr) << q.answer;
    EXPECT_TRUE(touches(subject->code, a->code)) << q.answer << " does not touch " << subject->name;
    for (const auto& w : q.wrong) {
        const Present* p = presentNamed(subject->pref, w);
        ASSERT_NE(p, nullptr) << w;
        EXPECT_FALSE(touches(subject->code, p->code)) << w << " touches " << subject->name;
        EXPECT_GE(pointsApartKm(subject->code, p->code), 1.0) << w << " is too close to " << subject->name;
    }
}

void checkBorder(const Q& q) {
    const Present* a = presentByKey(q.key);
    ASSERT_NE(a, nullptr) << q.key;
    EXPECT_EQ(q.answer, a->name);
    namesItsChoices(q);
    const int otherPref = otherPrefOf(q);
    ASSERT_GT(otherPref, 0) << q.text;
    EXPECT_NE(otherPref, a->pref);
    if (!haveRaw()) return;
    auto touchesPref = [&](const Present& p) {
        for (const auto* o : facts().byPref.at(otherPref))
            if (raw().rings.count(o->code) && touches(p.code, o->code)) return true;
        return false;
    };
    EXPECT_TRUE(touchesPref(*a)) << a->name << " does not touch " << facts().prefName.at(otherPref);
    for (const auto& w : q.wrong) {
        const Present* p = presentNamed(a->pref, w);
        ASSERT_NE(p, nullptr) << w;
        EXPECT_FALSE(touchesPref(*p)) << w << " touches " << facts().prefName.at(otherPref);
        for (const auto* o : facts().byPref.at(otherPref))
            if (raw().points.count(o->code)) {
                EXPECT_GE(pointsApartKm(p->code, o->code), 1.0) << w << " is too close to " << o->name;
            }
    }
}

// 0 north, 1 south, 2 east, 3 west: the way a 四端 question asks.
int wayOf(const Q& q) {
    const char* ways[] = {"北", "南", "東", "西"};
    int way = -1;
    for (int i = 0; i < 4; ++i)
        if (has(q.text, std::string("最も") + ways[i])) way = i;
    return way;
}

// How far a municipality's land reaches that way (larger is further out), with
// the extent rules: 歯舞群島 left out, 沖ノ鳥島 in.
double reachOf(const Present& p, int way) { return raw().reach.at(p.code)[static_cast<std::size_t>(way)]; }

void checkOutermost(const Q& q) {
    const int pref = prefByKey(q.key);
    ASSERT_GT(pref, 0) << q.key;
    const int way = wayOf(q);
    ASSERT_GE(way, 0) << q.text;
    const Present* a = presentNamed(pref, q.answer);
    ASSERT_NE(a, nullptr) << q.answer;
    for (const auto& w : q.wrong) ASSERT_NE(presentNamed(pref, w), nullptr) << w;
    const bool byHall = q.text.rfind("次の4つのうち", 0) == 0;
    if (byHall) namesItsChoices(q);
    if (!haveRaw()) return;
    auto value = [&](const Present& p) {
        if (byHall) {
            const auto& h = raw().hall.at(p.code);
            return way == 0 ? h.second : way == 1 ? -h.second : way == 2 ? h.first : -h.first;
        }
        return reachOf(p, way);
    };
    std::vector<const Present*> field;
    if (byHall) {
        for (const auto& w : q.wrong) field.push_back(presentNamed(pref, w));
    } else {
        for (const auto* p : facts().byPref.at(pref))
            if (p != a) field.push_back(p);
    }
    for (const auto* p : field) EXPECT_GT(value(*a), value(*p)) << q.answer << " vs " << p->name;
}

// Bearing from the first town hall to the second, degrees clockwise from north,
// on a local flat projection (as a map shows it).
double bearing(const std::pair<double, double>& from, const std::pair<double, double>& to) {
    const double x = (to.first - from.first) * std::cos((from.second + to.second) / 2 * kPi / 180);
    const double d = std::atan2(x, to.second - from.second) * 180 / kPi;
    return d < 0 ? d + 360 : d;
}

// The initial bearing of the great circle, from the two points as unit vectors:
// the direction of the second seen in the plane tangent at the first.
double greatCircleBearing(const std::pair<double, double>& from, const std::pair<double, double>& to) {
    auto vec = [](const std::pair<double, double>& p) {
        const double lon = p.first * kPi / 180, lat = p.second * kPi / 180;
        return std::array<double, 3>{std::cos(lat) * std::cos(lon), std::cos(lat) * std::sin(lon), std::sin(lat)};
    };
    const auto a = vec(from), b = vec(to);
    const double lon = from.first * kPi / 180, lat = from.second * kPi / 180;
    const std::array<double, 3> east{-std::sin(lon), std::cos(lon), 0};
    const std::array<double, 3> north{-std::sin(lat) * std::cos(lon), -std::sin(lat) * std::sin(lon), std::cos(lat)};
    auto dot = [](const std::array<double, 3>& x, const std::array<double, 3>& y) { return x[0] * y[0] + x[1] * y[1] + x[2] * y[2]; };
    const std::array<double, 3> d{b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    double deg = std::atan2(dot(d, east), dot(d, north)) * 180 / kPi;
    if (deg < 0) deg += 360;
    return deg >= 360 ? deg - 360 : deg;  // a hair west of north rounds to 360
}

double haversineKm(const std::pair<double, double>& a, const std::pair<double, double>& b) {
    const double r = 3.141592653589793 / 180;
    const double h = std::pow(std::sin((b.second - a.second) * r / 2), 2) +
                     std::cos(a.second * r) * std::cos(b.second * r) * std::pow(std::sin((b.first - a.first) * r / 2), 2);
    return 2 * 6371.0 * std::asin(std::sqrt(h));
}

// Distance on the WGS84 ellipsoid by Lambert's formula for long lines (within a
// few metres at these distances): the spherical distance between the reduced
// latitudes, corrected for the flattening.
double ellipsoidKm(const std::pair<double, double>& a, const std::pair<double, double>& b) {
    const double f = 1 / 298.257223563, r = 6378.137, rad = kPi / 180;
    const double b1 = std::atan((1 - f) * std::tan(a.second * rad)), b2 = std::atan((1 - f) * std::tan(b.second * rad));
    const double dl = (b.first - a.first) * rad;
    const double h = std::pow(std::sin((b2 - b1) / 2), 2) + std::cos(b1) * std::cos(b2) * std::pow(std::sin(dl / 2), 2);
    const double sigma = 2 * std::asin(std::sqrt(h));
    if (sigma == 0) return 0;
    const double p = (b1 + b2) / 2, q = (b2 - b1) / 2;
    const double x = (sigma - std::sin(sigma)) * std::pow(std::sin(p) * std::cos(q), 2) / std::pow(std::cos(sigma / 2), 2);
    const double y = (sigma + std::sin(sigma)) * std::pow(std::cos(p) * std::sin(q), 2) / std::pow(std::sin(sigma / 2), 2);
    return r * (sigma - f / 2 * (x + y));
}

// The capital and the municipality of a direction or distance question.
std::pair<const Present*, const Present*> hallPair(const Q& q) {
    const Present* m = presentByKey(q.key);
    if (!m) return {nullptr, nullptr};
    return {presentNamed(m->pref, facts().capital.at(m->pref)), m};
}

const std::vector<std::string>& compass() {
    static const std::vector<std::string> names = {"北", "北東", "東", "南東", "南", "南西", "西", "北西"};
    return names;
}

// Degrees from the middle of direction `sector` (0 北 … 7 北西).
double offMiddle(double deg, std::size_t sector) {
    const double d = std::fabs(deg - 45.0 * static_cast<double>(sector));
    return std::min(d, 360 - d);
}

void checkDirection(const Q& q) {
    auto [cap, m] = hallPair(q);
    ASSERT_TRUE(cap && m) << q.key;
    EXPECT_EQ(bracketed(q.text), cap->name);
    EXPECT_EQ(bracketed(q.text, q.text.find("」")), m->name);
    const auto& names = compass();
    auto sector = [&](const std::string& n) {
        return static_cast<std::size_t>(std::find(names.begin(), names.end(), n) - names.begin());
    };
    ASSERT_LT(sector(q.answer), 8u) << q.answer;
    for (const auto& w : q.wrong) ASSERT_LT(sector(w), 8u) << w;
    if (!haveRaw()) return;
    const double deg = bearing(raw().hall.at(cap->code), raw().hall.at(m->code));
    EXPECT_LE(offMiddle(deg, sector(q.answer)), 22.5) << deg;
    for (const auto& w : q.wrong) EXPECT_GT(offMiddle(deg, sector(w)), 22.5) << w << " " << deg;
}

double kmOf(const std::string& choice) {
    std::string digits;
    for (char c : choice)
        if (c >= '0' && c <= '9') digits += c;
    EXPECT_TRUE(choice.rfind("約", 0) == 0 && has(choice, "km") && !digits.empty()) << choice;
    return digits.empty() ? -1 : std::stod(digits);
}

// The distance as a question shows it: 5 km steps below 100 km, 10 km below
// 1,000 km, 50 km beyond; at least one step.
double shownKm(double km) {
    const double step = km < 100 ? 5 : km < 1000 ? 10 : 50;
    return std::max(step, std::floor(km / step + 0.5) * step);
}

void checkDistance(const Q& q) {
    auto [cap, m] = hallPair(q);
    ASSERT_TRUE(cap && m) << q.key;
    EXPECT_TRUE(has(q.text, cap->name) && has(q.text, m->name)) << q.text;
    const double answer = kmOf(q.answer);
    for (const auto& w : q.wrong) {
        const double x = kmOf(w);
        EXPECT_GE(std::max(x, answer) / std::min(x, answer), 1.3) << w << " is too close to " << q.answer;
    }
    if (!haveRaw()) return;
    const double km = ellipsoidKm(raw().hall.at(cap->code), raw().hall.at(m->code));
    EXPECT_EQ(answer, shownKm(km)) << q.answer << " for " << km << " km";
    for (const auto& w : q.wrong) {
        const double x = kmOf(w);
        EXPECT_GE(std::max(x, km) / std::min(x, km), 1.3) << w << " is not wrong enough for " << km << " km";
    }
}

// Years of the mergers in an old municipality's description: a date field
// followed by a field that starts with "新設合併で" or "編入合併で".
std::vector<std::string> mergerYears(const Old& o) {
    std::vector<std::string> years;
    for (std::size_t i = 0; i + 1 < o.fields.size(); ++i) {
        const std::string& next = o.fields[i + 1];
        if ((next.rfind("新設合併で", 0) == 0 || next.rfind("編入合併で", 0) == 0) && has(o.fields[i], "年"))
            years.push_back(o.fields[i].substr(0, o.fields[i].find("年")) + "年");
    }
    return years;
}

// One checker per kind: adds a failure for every fact that does not hold.
using Checker = std::function<void(const Q&)>;

void ranking(const Q& q, const std::function<long long(const Present&)>& value, const char* more, const char* less) {
    int pref = prefByKey(q.key);
    ASSERT_GT(pref, 0) << q.text;
    bool most = has(q.text, more);
    ASSERT_NE(most, has(q.text, less)) << q.text;
    const Present* a = presentNamed(pref, q.answer);
    ASSERT_NE(a, nullptr) << q.answer;
    std::vector<const Present*> field;
    if (q.text.rfind("次の4つのうち", 0) == 0) {
        for (const auto& w : q.wrong) {
            const Present* p = presentNamed(pref, w);
            ASSERT_NE(p, nullptr) << w;
            field.push_back(p);
            EXPECT_TRUE(has(q.text, w)) << "the question must name every candidate: " << q.text;
        }
        EXPECT_TRUE(has(q.text, q.answer)) << q.text;
    } else {
        for (const auto* p : facts().byPref.at(pref))
            if (p != a) field.push_back(p);
        for (const auto& w : q.wrong) EXPECT_NE(presentNamed(pref, w), nullptr) << w;
    }
    for (const auto* p : field)
        EXPECT_TRUE(most ? value(*p) < value(*a) : value(*p) > value(*a))
            << q.text << ": " << q.answer << " " << value(*a) << " vs " << p->name << " " << value(*p);
}

const std::map<std::string, Checker>& checkers() {
    static const std::map<std::string, Checker> c = {
        {"読み", [](const Q& q) {
             const Present* p = presentByKey(q.key);
             ASSERT_NE(p, nullptr) << q.key;
             EXPECT_EQ(q.answer, p->kana);
             EXPECT_TRUE(has(q.text, "「" + p->name + "」"));
             for (const auto& w : q.wrong) {
                 EXPECT_NE(w, p->kana);
                 bool isReading = false;
                 for (const auto* o : facts().byPref.at(p->pref)) isReading |= o->kana == w;
                 EXPECT_TRUE(isReading) << w << " is not the reading of a municipality of the prefecture";
             }
         }},
        {"旧読", [](const Q& q) {
             const Old* o = oldByKey(q.key);
             ASSERT_NE(o, nullptr) << q.key;
             EXPECT_EQ(q.answer, o->kana);
             EXPECT_TRUE(has(q.text, "「" + o->name + "」"));
             for (const auto& w : q.wrong) EXPECT_NE(w, o->kana);
         }},
        {"県名", [](const Q& q) {
             const Present* p = presentByKey(q.key);
             ASSERT_NE(p, nullptr) << q.key;
             EXPECT_EQ(q.answer, facts().prefName.at(p->pref));
             for (const auto& w : q.wrong) {
                 ASSERT_TRUE(facts().prefNumber.count(w)) << w << " is not a prefecture";
                 EXPECT_EQ(presentNamed(facts().prefNumber.at(w), p->name), nullptr)
                     << w << " also has a " << p->name;
             }
         }},
        {"合併", [](const Q& q) {
             const Old* o = oldByKey(q.key);
             ASSERT_NE(o, nullptr) << q.key;
             EXPECT_EQ(q.answer, o->present);
             EXPECT_TRUE(has(q.text, "「" + o->name + "」"));
             EXPECT_FALSE(has(q.text, q.answer)) << q.text;
             ASSERT_TRUE(facts().presents.count(o->presentCode));
             const Present& present = facts().presents.at(o->presentCode);
             EXPECT_EQ(present.name, o->present);
             for (const auto& w : q.wrong) {
                 EXPECT_NE(w, o->present);
                 EXPECT_EQ(std::count(o->partlyIn.begin(), o->partlyIn.end(), w), 0) << w << " took part of " << o->name;
                 EXPECT_NE(presentNamed(present.pref, w), nullptr) << w << " is not a municipality of the prefecture";
             }
         }},
        {"合年", [](const Q& q) {
             const Old* o = oldByKey(q.key);
             ASSERT_NE(o, nullptr) << q.key;
             auto years = mergerYears(*o);
             ASSERT_FALSE(years.empty()) << o->name << ": " << o->description;
             EXPECT_EQ(q.answer, years.back()) << o->description;
             for (const auto& w : q.wrong) EXPECT_EQ(std::count(years.begin(), years.end(), w), 0) << w;
         }},
        {"県庁", [](const Q& q) {
             int pref = prefByKey(q.key);
             ASSERT_TRUE(facts().capital.count(pref)) << q.key;
             EXPECT_EQ(q.answer, facts().capital.at(pref));
             for (const auto& w : q.wrong) {
                 EXPECT_NE(w, q.answer);
                 EXPECT_NE(presentNamed(pref, w), nullptr) << w;
             }
         }},
        {"人口", [](const Q& q) { ranking(q, [](const Present& p) { return p.population; }, "多い", "少ない"); }},
        {"面積", [](const Q& q) { ranking(q, [](const Present& p) { return p.area; }, "広い", "狭い"); }},
        {"標語", [](const Q& q) {
             const Present* p = presentByKey(q.key);
             ASSERT_NE(p, nullptr) << q.key;
             EXPECT_EQ(q.answer, p->name);
             std::size_t close = q.text.rfind("」をキャッチフレーズ");
             ASSERT_EQ(q.text.rfind("「", 0), 0u);
             ASSERT_NE(close, std::string::npos);
             std::string phrase = q.text.substr(3, close - 3);
             EXPECT_EQ(phrase, p->phrase);
             EXPECT_FALSE(has(phrase, p->name)) << "the catchphrase names the answer";
             for (const auto& w : q.wrong) {
                 const Present* o = presentNamed(p->pref, w);
                 ASSERT_NE(o, nullptr) << w;
                 EXPECT_NE(o->phrase, phrase);
             }
         }},
        {"郡名", [](const Q& q) {
             const Present* p = presentByKey(q.key);
             ASSERT_NE(p, nullptr) << q.key;
             EXPECT_EQ(q.answer, p->district);
             for (const auto& w : q.wrong) {
                 EXPECT_NE(w, p->district);
                 bool exists = false;
                 for (const auto* o : facts().byPref.at(p->pref)) exists |= o->district == w;
                 EXPECT_TRUE(exists) << w;
             }
         }},
        {"隣接", checkNeighbour},
        {"県境", checkBorder},
        {"四端", checkOutermost},
        {"方角", checkDirection},
        {"距離", checkDistance},
        {"旧数", [](const Q& q) {
             const Present* p = presentByKey(q.key);
             ASSERT_NE(p, nullptr) << q.key;
             EXPECT_EQ(q.answer, std::to_string(p->olds) + "市町村");
             for (const auto& w : q.wrong) EXPECT_NE(w, q.answer);
         }},
    };
    return c;
}

TEST(QuestionBank, ShapeAndWidths) {
    const auto& qs = questions();
    ASSERT_GE(qs.size(), 5000u);
    ASSERT_LE(qs.size(), 20000u);
    std::size_t doubles = 0;
    for (std::size_t i = 0; i < qs.size(); ++i) {
        const Line& l = qs[i];
        ASSERT_EQ(l.size(), 18u) << "line " << i + 1;
        EXPECT_TRUE(l[0].quoted && chars(l[0].text) == 2) << "line " << i + 1;
        long long n = num(l[1].text);
        EXPECT_TRUE(!l[1].quoted && n >= 1 && n <= 32767) << "line " << i + 1;
        for (int c : {3, 8, 9, 10, 15}) EXPECT_TRUE(l[static_cast<std::size_t>(c - 1)].text.empty()) << "line " << i + 1;
        for (int c : {4, 5, 6, 7}) {
            const Field& f = l[static_cast<std::size_t>(c - 1)];
            EXPECT_TRUE(f.quoted && !f.text.empty() && bytes(f.text) <= 250) << "line " << i + 1;
        }
        EXPECT_LE(chars(l[10].text), 300u) << "line " << i + 1;
        EXPECT_LE(bytes(l[10].text), 600u) << "line " << i + 1;
        EXPECT_FALSE(l[10].text.empty());
        for (int c : {12, 13, 14}) EXPECT_LE(bytes(l[static_cast<std::size_t>(c - 1)].text), 50u) << "line " << i + 1;
        long long dp = num(l[15].text);
        EXPECT_TRUE(dp == 0 || dp == 1) << "line " << i + 1;
        doubles += dp == 1;
        EXPECT_TRUE(l[16].quoted && bytes(l[16].text) <= 150) << "line " << i + 1;
        EXPECT_TRUE(l[17].quoted && !l[17].text.empty() && bytes(l[17].text) <= 400) << "line " << i + 1;
    }
    EXPECT_EQ(doubles, qs.size() / 10) << "the hardest tenth carries double points";
}

TEST(QuestionBank, ChoicesDistinctAndNoQuestionTwice) {
    std::set<std::string> seen;
    std::map<std::string, int> numbers;
    for (const auto& l : questions()) {
        Q q = view(l);
        std::set<std::string> choices(q.wrong.begin(), q.wrong.end());
        choices.insert(q.answer);
        EXPECT_EQ(choices.size(), 4u) << q.text;
        EXPECT_TRUE(seen.insert(q.lead + "\n" + q.text).second) << "twice: " << q.text;
        EXPECT_EQ(num(l[1].text), ++numbers[q.mark]) << "numbers run on within a kind";
    }
}

TEST(QuestionBank, ManyKindsNoneCrowdingOutTheOthers) {
    std::map<std::string, int> kinds;
    for (const auto& l : questions()) ++kinds[l[0].text];
    EXPECT_GE(kinds.size(), 16u);
    EXPECT_GE(questions().size(), 18000u);
    for (const auto& [mark, n] : kinds) {
        EXPECT_TRUE(checkers().count(mark)) << "unknown kind " << mark;
        EXPECT_GE(n, mark == "県庁" ? 15 : 300) << mark;
        EXPECT_LE(n, static_cast<int>(questions().size() / 6)) << mark << " crowds out the others";
    }
}

TEST(QuestionBank, EveryAnswerTrueAndEveryWrongChoiceFalse) {
    for (const auto& l : questions()) {
        Q q = view(l);
        auto it = checkers().find(q.mark);
        ASSERT_NE(it, checkers().end()) << q.mark;
        SCOPED_TRACE(q.mark + " " + q.text);
        it->second(q);
        if (::testing::Test::HasFailure()) break;  // one question's failures are enough to read
    }
}


TEST(QuestionBank, QuestionsDoNotGiveTheAnswerAway) {
    for (const auto& l : questions()) {
        Q q = view(l);
        if (q.mark == "人口" || q.mark == "面積" || q.mark == "合年") continue;  // these name it or a date
        if (q.text.rfind("次の4つのうち", 0) == 0) continue;  // a comparison lists its candidates
        EXPECT_FALSE(has(q.lead + q.text, q.answer)) << q.text << " / " << q.answer;
    }
}

// ---- Rules over the whole bank: no giveaway, no ambiguity, true explanations ----

// The name without its kind (the last character): "栗原市" -> "栗原".
std::string stemOf(const std::string& name) {
    std::size_t last = name.size();
    while (last > 0 && (static_cast<unsigned char>(name[last - 1]) & 0xC0) == 0x80) --last;
    return last > 0 ? name.substr(0, last - 1) : std::string();
}

std::string withoutPrefectureNames(std::string text) {
    for (const auto& [n, name] : facts().prefName)
        for (std::size_t at; (at = text.find(name)) != std::string::npos;) text.replace(at, name.size(), "／");
    return text;
}

// The lead and the text up to the first "？": what the question asks, before
// a comparison lists its candidates.
std::string askedPart(const Q& q) { return q.lead + "\n" + q.text.substr(0, q.text.find("？")); }

bool answersWithName(const std::string& mark) {
    return mark != "合年" && mark != "旧数" && mark != "方角" && mark != "距離";
}

TEST(QuestionRules, NoQuestionHoldsItsAnswerNorTheAnswersStem) {
    int checked = 0;
    for (const auto& l : questions()) {
        Q q = view(l);
        const std::string asked = askedPart(q);
        EXPECT_FALSE(has(asked, q.answer)) << q.text << " / " << q.answer;
        if (!answersWithName(q.mark)) continue;
        const std::string st = stemOf(q.answer);
        ASSERT_FALSE(st.empty()) << q.answer;
        // the prefecture is the scope of a question, but not when the question asks for its office
        EXPECT_FALSE(has(q.mark == "県庁" ? asked : withoutPrefectureNames(asked), st))
            << q.mark << " " << q.text << " / " << q.answer;
        ++checked;
    }
    EXPECT_GT(checked, 10000);
}

TEST(QuestionRules, CatchphrasesHoldNoPartOfAnyChoicesName) {
    auto hiragana = [](const std::string& piece) {
        // a two-character piece in UTF-8: hiragana is U+3041..U+309F (E3 81 81 .. E3 82 9F)
        for (std::size_t i = 0; i < piece.size(); i += 3) {
            unsigned c = (static_cast<unsigned char>(piece[i]) << 16) | (static_cast<unsigned char>(piece[i + 1]) << 8) |
                         static_cast<unsigned char>(piece[i + 2]);
            if (c < 0xE38181 || c > 0xE3829F) return false;
        }
        return true;
    };
    int phrases = 0;
    for (const auto& l : questions()) {
        Q q = view(l);
        if (q.mark != "標語") continue;
        ++phrases;
        const std::string phrase = bracketed(q.text);
        std::vector<std::string> choices(q.wrong.begin(), q.wrong.end());
        choices.push_back(q.answer);
        for (const auto& c : choices) {
            const std::string st = stemOf(c);
            std::vector<std::size_t> starts;  // character starts
            for (std::size_t i = 0; i < st.size(); ++i)
                if ((static_cast<unsigned char>(st[i]) & 0xC0) != 0x80) starts.push_back(i);
            starts.push_back(st.size());
            for (std::size_t k = 0; k + 2 < starts.size(); ++k) {
                const std::string piece = st.substr(starts[k], starts[k + 2] - starts[k]);
                if (piece.size() == 6 && hiragana(piece)) continue;
                EXPECT_FALSE(has(phrase, piece)) << "「" << phrase << "」 points at " << c << " (" << piece << ")";
            }
        }
    }
    EXPECT_GT(phrases, 300);
}

TEST(QuestionRules, EveryNameAskedAboutIsUniqueInItsScope) {
    if (!haveRaw()) GTEST_SKIP() << "raw data not present (wards and the Northern Territories come from the code list)";
    for (const auto& l : questions()) {
        Q q = view(l);
        SCOPED_TRACE(q.text);
        if (q.mark == "県名") {
            const std::string name = bracketed(q.text);
            std::set<int> prefs;
            for (const auto& [code, p] : facts().presents)
                if (p.name == name) prefs.insert(p.pref);
            if (raw().wardPrefs.count(name)) prefs.insert(raw().wardPrefs.at(name).begin(), raw().wardPrefs.at(name).end());
            EXPECT_EQ(prefs.size(), 1u) << name << " is in several prefectures";
            continue;
        }
        if (const Present* p = presentByKey(q.key); p && has(q.text, "「" + p->name + "」")) {
            int same = 0;
            for (const auto* o : facts().byPref.at(p->pref)) same += o->name == p->name;
            EXPECT_EQ(same, 1);
            EXPECT_FALSE(raw().wardPrefs.count(p->name) && raw().wardPrefs.at(p->name).count(p->pref));
            if (p->pref == 1 && raw().northern.count(p->name)) {
                EXPECT_TRUE(has(q.text, "北方領土を除く"));
            }
        }
        if (const Old* o = oldByKey(q.key); o && has(q.text, "「" + o->name + "」")) {
            int same = 0;
            for (const auto& [code, other] : facts().olds) same += other.pref == o->pref && other.name == o->name;
            EXPECT_EQ(same, 1);
        }
        const int pref = prefByKey(q.key);
        const bool wholePrefecture = (q.mark == "人口" || q.mark == "面積" || q.mark == "四端") &&
                                     q.text.rfind("次の4つのうち", 0) != 0;
        if (wholePrefecture && pref == 1) {
            EXPECT_TRUE(has(q.text, "北方領土を除く"));
        }
        if (wholePrefecture && pref == 13) {
            EXPECT_TRUE(has(q.text, "特別区を含む"));
        }
    }
}

// 上川郡 of 北海道 is three districts and 中川郡 two: an explanation lists the
// towns of one of them, and the lists of all explanations divide the towns.
TEST(QuestionRules, SameNamedHokkaidoDistrictsAreToldApart) {
    std::map<std::string, std::set<std::set<std::string>>> lists;  // district -> town lists
    for (const auto& l : questions()) {
        Q q = view(l);
        const Present* p = presentByKey(q.key);
        if (q.mark != "郡名" || !p || p->pref != 1) continue;
        const std::string said = "北海道には" + p->district + "が";
        if (!has(l[10].text, said)) continue;
        const std::string& e = l[10].text;
        std::size_t b = e.rfind("（"), end = e.rfind("）");
        ASSERT_TRUE(b != std::string::npos && end > b) << e;
        b += std::string("（").size();
        std::set<std::string> towns;
        const std::string list = e.substr(b, end - b);
        for (std::size_t at = 0; at <= list.size();) {
            std::size_t dot = list.find("・", at);
            if (dot == std::string::npos) dot = list.size();
            towns.insert(list.substr(at, dot - at));
            at = dot + std::string("・").size();
        }
        EXPECT_TRUE(towns.count(p->name)) << e;
        for (const auto& t : towns) {
            const Present* other = presentNamed(1, t);
            ASSERT_NE(other, nullptr) << t;
            EXPECT_EQ(other->district, p->district) << t;
        }
        lists[p->district].insert(towns);
    }
    ASSERT_EQ(lists["上川郡"].size(), 3u);
    ASSERT_EQ(lists["中川郡"].size(), 2u);
    for (const auto& [district, sets] : lists) {
        std::multiset<std::string> all;
        for (const auto& s : sets) all.insert(s.begin(), s.end());
        std::set<std::string> expected;
        for (const auto* p : facts().byPref.at(1))
            if (p->district == district) expected.insert(p->name);
        EXPECT_EQ(all, std::multiset<std::string>(expected.begin(), expected.end())) << district;
    }
    // and no 郡名 explanation of such a district lists the towns of all of them as one
    for (const auto& l : questions()) {
        Q q = view(l);
        const Present* p = presentByKey(q.key);
        if (q.mark == "郡名" && p && p->pref == 1 && lists.count(p->district)) {
            EXPECT_TRUE(has(l[10].text, "北海道には" + p->district + "が")) << l[10].text;
        }
    }
}

// An old municipality split between two present ones (上九一色村) is named in
// every list of the old municipalities of either.
TEST(QuestionRules, SplitMunicipalitiesAreNamedInEveryList) {
    int splits = 0;
    for (const auto& [code, o] : facts().olds) {
        if (o.partlyIn.empty()) continue;
        ++splits;
        for (const auto& l : questions()) {
            const std::string& e = l[10].text;
            for (const auto& part : o.partlyIn) {
                if (has(e, "現在の" + part + "の区域には")) {
                    EXPECT_TRUE(has(e, o.name + "の一部")) << e;
                }
            }
            if (has(e, "現在の" + o.present + "の区域には")) {
                EXPECT_TRUE(has(e, o.name + "（一部）")) << e;
            }
        }
    }
    EXPECT_GE(splits, 1);
}

TEST(QuestionRules, APopulationOfZeroIsExplained) {
    int zeros = 0;
    for (const auto& [code, p] : facts().presents) {
        if (p.population != 0) continue;
        ++zeros;
        for (const auto& l : questions()) {
            const std::string& e = l[10].text;
            if (has(e, p.name + " 0人") || (has(e, p.name) && has(e, "人口0人"))) {
                EXPECT_TRUE(has(e, p.name + "は") && has(e, "避難")) << e;
            }
        }
    }
    EXPECT_GE(zeros, 1);
}

// The difficulty file: one line per question in the order of the master, and
// the double-point questions are the hardest by it.
TEST(QuestionRules, EveryQuestionHasADifficulty) {
    auto lines = readMaster(kRepo / "data" / u8("作業ファイル") / u8("問題難度.csv"));
    const auto& qs = questions();
    ASSERT_EQ(lines.size(), qs.size() + 1);
    ASSERT_EQ(lines[0].size(), 3u);
    EXPECT_EQ(lines[0][0].text, "問題難度");
    EXPECT_EQ(lines[0][1].text, "1");
    EXPECT_EQ(num(lines[0][2].text), static_cast<long long>(qs.size()));
    long long easiestDouble = 1LL << 40, hardestSingle = -(1LL << 40);
    for (std::size_t i = 0; i < qs.size(); ++i) {
        const auto& d = lines[i + 1];
        ASSERT_EQ(d.size(), 3u) << "line " << i + 2;
        EXPECT_EQ(d[0].text, qs[i][0].text) << "line " << i + 2;
        EXPECT_EQ(d[1].text, qs[i][1].text) << "line " << i + 2;
        const long long v = num(d[2].text);
        ASSERT_NE(v, -999999) << d[2].text;
        if (qs[i][15].text == "1") easiestDouble = std::min(easiestDouble, v);
        else hardestSingle = std::max(hardestSingle, v);
    }
    EXPECT_GE(easiestDouble, hardestSingle);
}


// ---- Rules of the geography kinds, by the tests' own measure of the raw data ----

// The tests' own geometry on lines whose answers are known.
TEST(GeographyRules, TheChecksOwnGeometryOnKnownLines) {
    // Vincenty's (1975) test line, Flinders Peak to Buninyong: 54,972.271 m on the ellipsoid
    EXPECT_NEAR(ellipsoidKm({144.42486789, -37.95103342}, {143.92649554, -37.65282114}), 54.972, 0.01);
    EXPECT_NEAR(ellipsoidKm({0, 0}, {1, 0}), 111.319, 0.01);   // a degree of the equator
    EXPECT_NEAR(ellipsoidKm({135, 35}, {135, 36}), 110.95, 0.01);  // a degree of latitude at 35.5°N
    EXPECT_NEAR(greatCircleBearing({135, 35}, {135, 36}), 0, 1e-9);
    EXPECT_NEAR(greatCircleBearing({135, 35}, {136, 35}), 89.71, 0.01);  // a little north of east
    EXPECT_NEAR(bearing({135, 35}, {136, 35}), 90, 1e-9);
    EXPECT_EQ(shownKm(37.4), 35);
    EXPECT_EQ(shownKm(97.6), 100);
    EXPECT_EQ(shownKm(104.9), 100);
    EXPECT_EQ(shownKm(1024), 1000);
}

// The names of a list "A・B（埼玉県）・C" with their prefecture (`pref` when none is said).
std::vector<const Present*> namesOfList(const std::string& list, int pref) {
    std::vector<const Present*> out;
    for (std::size_t at = 0; at <= list.size();) {
        std::size_t dot = list.find("・", at);
        if (dot == std::string::npos) dot = list.size();
        std::string item = list.substr(at, dot - at);
        int p = pref;
        if (std::size_t open = item.find("（"); open != std::string::npos) {
            const std::string prefName = item.substr(open + 3, item.size() - open - 6);
            p = facts().prefNumber.count(prefName) ? facts().prefNumber.at(prefName) : 0;
            item = item.substr(0, open);
        }
        const Present* named = p ? presentNamed(p, item) : nullptr;
        EXPECT_NE(named, nullptr) << "no municipality " << item << " in " << list;
        if (named) out.push_back(named);
        at = dot + std::string("・").size();
    }
    return out;
}

// The text between `head` and `tail` in e, empty when not there.
std::string between(const std::string& e, const std::string& head, const std::string& tail) {
    const std::size_t b = e.find(head);
    if (b == std::string::npos) return {};
    const std::size_t e2 = e.find(tail, b + head.size());
    return e2 == std::string::npos ? std::string() : e.substr(b + head.size(), e2 - b - head.size());
}

// A neighbour across a prefecture border that an explanation must name: at
// least this much border by the tests' measure (the pipeline's own measure of
// the same border differs by up to about half a kilometre).
constexpr double kMustNameKm = 1.5;

// Every explanation that lists the neighbours of a municipality (隣接: all of
// them; 県境: those in the named prefecture) lists each neighbour within the
// prefecture, and each across its border sharing kMustNameKm or more, either as
// a neighbour or as one that may touch; it lists as neighbours only
// municipalities that share a border, and as "may touch" only ones closer than 1 km.
TEST(GeographyRules, BorderExplanationsNameEveryNeighbour) {
    if (!haveRaw()) GTEST_SKIP() << "raw data not present";
    int lists = 0, across = 0;
    for (const auto& l : questions()) {
        Q q = view(l);
        if (q.mark != "隣接" && q.mark != "県境") continue;
        const Present* m = presentByKey(q.key);
        ASSERT_NE(m, nullptr);
        const std::string& e = l[10].text;
        const std::string self = m->name + "（" + m->kana + "）";
        const int other = q.mark == "県境" ? otherPrefOf(q) : 0;
        const std::string listText = q.mark == "隣接" ? between(e, self + "と境を接する市町村は", "。")
                                                      : between(e, self + "は" + facts().prefName.at(other) + "の", "と境を接している。");
        if (listText.empty()) continue;  // a short explanation: only the answer
        ++lists;
        SCOPED_TRACE(e);
        const int listPref = q.mark == "隣接" ? m->pref : other;
        std::set<int> named, nearly;
        for (const auto* p : namesOfList(listText, listPref)) named.insert(p->code);
        const std::string nearlyText = between(e, "このほか", "ともわずかに接する可能性がある。");
        if (!nearlyText.empty())
            for (const auto* p : namesOfList(nearlyText, listPref)) nearly.insert(p->code);
        for (const auto& [code, p] : facts().presents) {
            if (code == m->code || !raw().rings.count(code)) continue;
            if (q.mark == "県境" && p.pref != other) continue;
            if (p.pref == m->pref) {
                EXPECT_EQ(named.count(code) == 1, touches(m->code, code)) << p.name;
                EXPECT_EQ(nearly.count(code), 0u) << p.name;
                continue;
            }
            const double km = borderKm(m->code, code);
            if (km >= kMustNameKm) {
                ++across;
                EXPECT_TRUE(named.count(code) || nearly.count(code)) << p.name << " shares " << km << " km";
            }
            if (named.count(code)) {
                EXPECT_TRUE(touches(m->code, code)) << p.name << " named as a neighbour, " << km << " km";
            }
            if (nearly.count(code)) {
                EXPECT_LT(pointsApartKm(m->code, code), 1.0) << p.name << " named as may touch";
            }
        }
    }
    EXPECT_GT(lists, 2000);
    EXPECT_GT(across, 300) << "neighbours across prefecture borders";
}

// A border asked about is long enough to see on the map: 1 km within a
// prefecture (its common edges), and across a prefecture border 1 km of the
// answer's border along the named prefecture.
TEST(GeographyRules, AskedBordersAreLongEnoughToSee) {
    if (!haveRaw()) GTEST_SKIP() << "raw data not present";
    for (const auto& l : questions()) {
        Q q = view(l);
        const Present* m = presentByKey(q.key);
        if (q.mark == "隣接") {
            const Present* a = presentNamed(m->pref, q.answer);
            ASSERT_NE(a, nullptr);
            EXPECT_GE(borderKm(m->code, a->code), 1.0) << q.text;
        } else if (q.mark == "県境") {
            double km = 0;
            for (const auto* o : facts().byPref.at(otherPrefOf(q)))
                if (raw().rings.count(o->code)) km += borderKm(m->code, o->code);
            EXPECT_GE(km, 1.0) << q.text;
        }
    }
}

// Two names of which one holds the other without its kind (相馬市, 南相馬市).
bool nameClash(const std::string& a, const std::string& b) {
    const std::string sa = stemOf(a), sb = stemOf(b);
    return (!sa.empty() && has(b, sa)) || (!sb.empty() && has(a, sb));
}

// No choice of a 隣接 or 県境 question points at the answer by its name: the
// answer and the subject, and the answer and a wrong choice, do not hold each
// other's name (砂川市 -> 上砂川町; 相馬市 beside 南相馬市).
TEST(GeographyRules, NoNamePointsAtTheAnswer) {
    int checked = 0;
    for (const auto& l : questions()) {
        Q q = view(l);
        if (q.mark != "隣接" && q.mark != "県境") continue;
        ++checked;
        if (q.mark == "隣接") {
            const Present* m = presentByKey(q.key);
            EXPECT_FALSE(nameClash(m->name, q.answer)) << q.text << " / " << q.answer;
        }
        for (const auto& w : q.wrong) EXPECT_FALSE(nameClash(q.answer, w)) << q.text << " / " << q.answer << " / " << w;
    }
    EXPECT_GT(checked, 3000);
}

// No place a 方角 question names holds a direction of its answer (東神楽町 -> 北東).
TEST(GeographyRules, NoNameHoldsTheAnswersDirection) {
    int checked = 0;
    for (const auto& l : questions()) {
        Q q = view(l);
        if (q.mark != "方角") continue;
        ++checked;
        const std::string named = bracketed(q.text) + bracketed(q.text, q.text.find("」"));
        for (const char* d : {"北", "南", "東", "西"})
            EXPECT_FALSE(has(q.answer, d) && has(named, d)) << q.text << " / " << q.answer;
    }
    EXPECT_GT(checked, 500);
}

// Questions on town halls (方角, 距離, 四端 by town hall) name only
// municipalities whose town hall stands in their own land (not 三島村 and
// 十島村, whose offices are in 鹿児島市, 竹富町's in 石垣市, 双葉町's in いわき市).
TEST(GeographyRules, TownHallsStandInTheirMunicipality) {
    if (!haveRaw()) GTEST_SKIP() << "raw data not present";
    std::set<int> named;
    for (const auto& l : questions()) {
        Q q = view(l);
        if (q.mark == "方角" || q.mark == "距離") {
            auto [cap, m] = hallPair(q);
            ASSERT_TRUE(cap && m);
            named.insert(cap->code);
            named.insert(m->code);
        } else if (q.mark == "四端" && q.text.rfind("次の4つのうち", 0) == 0) {
            for (const auto& n : listedNames(q.text)) named.insert(presentNamed(prefByKey(q.key), n)->code);
        }
    }
    EXPECT_GT(named.size(), 1000u);
    for (int code : named) EXPECT_EQ(hallStandsIn(code), code) << facts().presents.at(code).name;
    // the four known ones are found as outside, so the check can fail
    for (int code : {7546, 46303, 46304, 47381}) EXPECT_NE(hallStandsIn(code), code) << code;
}

// Km of a difference in latitude (ways 0, 1) or longitude (2, 3) at `lat`.
double aheadKm(double degrees, int way, double lat) {
    return way < 2 ? degrees * 110.57 : degrees * 111.32 * std::cos(lat * kPi / 180);
}

// The outermost municipality of a prefecture is asked only when its land
// reaches at least 1.5 km beyond every other's (the extents of the municipal
// and the prefectural files differ by up to that much), and the figures of
// the explanation are those of the land within the scope: 根室市 without the
// 歯舞群島 (北方領土を除く), 小笠原村 with 沖ノ鳥島.
TEST(GeographyRules, ExtremesLeadByMoreThanTheDataError) {
    if (!haveRaw()) GTEST_SKIP() << "raw data not present";
    int checked = 0;
    for (const auto& l : questions()) {
        Q q = view(l);
        if (q.mark != "四端" || q.text.rfind("次の4つのうち", 0) == 0) continue;
        ++checked;
        SCOPED_TRACE(q.text);
        const int pref = prefByKey(q.key), way = wayOf(q);
        const Present* a = presentNamed(pref, q.answer);
        ASSERT_NE(a, nullptr);
        const double lat = (raw().reach.at(a->code)[0] - raw().reach.at(a->code)[1]) / 2;  // north, -south
        for (const auto* p : facts().byPref.at(pref))
            if (p != a) {
                EXPECT_GE(aheadKm(reachOf(*a, way) - reachOf(*p, way), way, lat), 1.5) << p->name;
            }
        // each figure stated is the municipality's reach, to 0.01 degree
        const std::string& e = l[10].text;
        std::vector<std::string> named{q.answer, q.wrong[0], q.wrong[1], q.wrong[2]};
        for (const auto& n : named) {
            std::size_t at = std::string::npos;  // the name after "端は", "次いで" or "、"
            for (const char* before : {"端は", "次いで", "、"})
                if (const std::size_t b = e.find(before + n + "（"); b != std::string::npos) at = b + std::string(before).size();
            ASSERT_NE(at, std::string::npos) << n;
            const std::string inside = e.substr(at + n.size() + 3, e.find("度）", at) - at - n.size() - 3);
            std::string digits;
            for (char c : inside)
                if ((c >= '0' && c <= '9') || c == '.') digits += c;
            ASSERT_FALSE(digits.empty()) << inside;
            const double stated = std::stod(digits.substr(digits.find_first_of("0123456789")));
            EXPECT_NEAR(stated, std::fabs(reachOf(*presentNamed(pref, n), way)), 0.0051) << n;
        }
    }
    EXPECT_GT(checked, 100);
}

// A distance is asked only where it shows alike on the WGS84 ellipsoid and on
// the sphere, each at least 30 m from the next rounding step; the whole
// kilometres the explanations state are the ellipsoid's.
TEST(GeographyRules, DistancesRoundAlikeOnTheEllipsoidAndTheSphere) {
    if (!haveRaw()) GTEST_SKIP() << "raw data not present";
    int checked = 0;
    for (const auto& l : questions()) {
        Q q = view(l);
        if (q.mark != "距離" && q.mark != "方角") continue;
        auto [cap, m] = hallPair(q);
        ASSERT_TRUE(cap && m);
        const auto &from = raw().hall.at(cap->code), &to = raw().hall.at(m->code);
        const double e = ellipsoidKm(from, to), s = haversineKm(from, to);
        const std::string stated = q.mark == "距離" ? between(l[10].text, "（", "km）") : between(l[10].text, "直線距離で約", "km。");
        std::string digits;
        for (char c : stated)
            if (c >= '0' && c <= '9') digits += c;
        ASSERT_FALSE(digits.empty()) << l[10].text;
        EXPECT_LE(std::fabs(std::stod(digits) - e), 0.5 + 0.01) << l[10].text << " for " << e << " km";
        if (q.mark != "距離") continue;
        ++checked;
        const double answer = kmOf(q.answer);
        for (double km : {e, s})
            for (double d : {-0.03, 0.0, 0.03}) EXPECT_EQ(shownKm(km + d), answer) << q.text << ": " << e << " / " << s;
    }
    EXPECT_GT(checked, 1000);
}

// A direction is asked only where it is clear on the map (local projection)
// and by the great circle alike: at least 7.5 degrees from the next direction
// either way; the degree the explanation states is the map's, rounded.
TEST(GeographyRules, DirectionsClearOfABoundaryByBothBearings) {
    if (!haveRaw()) GTEST_SKIP() << "raw data not present";
    int checked = 0;
    for (const auto& l : questions()) {
        Q q = view(l);
        if (q.mark != "方角") continue;
        ++checked;
        auto [cap, m] = hallPair(q);
        ASSERT_TRUE(cap && m);
        const auto &from = raw().hall.at(cap->code), &to = raw().hall.at(m->code);
        const std::size_t sector =
            static_cast<std::size_t>(std::find(compass().begin(), compass().end(), q.answer) - compass().begin());
        const double local = bearing(from, to), great = greatCircleBearing(from, to);
        EXPECT_LE(offMiddle(local, sector), 15.0) << q.text << " " << local;
        EXPECT_LE(offMiddle(great, sector), 15.0) << q.text << " " << great;
        const std::string stated = between(l[10].text, "時計回りに", "度）");
        ASSERT_FALSE(stated.empty()) << l[10].text;
        const double deg = std::stod(stated);
        const double diff = std::fabs(deg - local);
        EXPECT_LE(std::min(diff, 360 - diff), 0.5 + 1e-9) << l[10].text << " " << local;
        EXPECT_LE(offMiddle(deg, sector), 15.0) << l[10].text;
    }
    EXPECT_GT(checked, 500);
}

}  // namespace
