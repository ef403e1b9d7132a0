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

struct Raw {
    std::map<std::string, std::set<int>> wardPrefs;      // ward of a designated city -> prefectures
    std::set<std::string> northern;                      // villages of the Northern Territories
    std::map<int, std::pair<double, double>> hall;       // present code -> lon, lat
    std::map<int, std::set<int>> touching;               // present code -> neighbours
    std::map<int, std::array<double, 4>> reach;          // present code -> north, -south, east, -west
    std::map<int, std::vector<std::pair<double, double>>> points;  // present code -> polygon points
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
        std::vector<std::tuple<long long, long long, int>> vertices;  // lon, lat (1e-7 degrees), present code
        for (int pref = 1; pref <= 47; ++pref) {
            char name[64];
            std::snprintf(name, sizeof name, "N03-21_%02d_210101.json", pref);
            QFile file(QString::fromStdString((kRaw / "boundaries" / name).string()));
            if (!file.open(QIODevice::ReadOnly)) continue;
            const QJsonArray features = QJsonDocument::fromJson(file.readAll()).object().value("features").toArray();
            for (const QJsonValue& fv : features) {
                const QJsonObject props = fv.toObject().value("properties").toObject();
                int code = props.value("N03_007").toString().toInt();
                if (!facts().presents.count(code)) {  // a ward: its city by name
                    const Present* city = presentNamed(pref, props.value("N03_003").toString().toStdString());
                    if (!city) continue;
                    code = city->code;
                }
                const QJsonObject g = fv.toObject().value("geometry").toObject();
                QJsonArray polys = g.value("coordinates").toArray();
                if (g.value("type").toString() == "Polygon") polys = QJsonArray{polys};
                auto& e = r.reach.try_emplace(code, std::array<double, 4>{-1e9, -1e9, -1e9, -1e9}).first->second;
                for (const QJsonValue& poly : polys)
                    for (const QJsonValue& ring : poly.toArray())
                        for (const QJsonValue& pt : ring.toArray()) {
                            const double lon = pt.toArray()[0].toDouble(), lat = pt.toArray()[1].toDouble();
                            e = {std::max(e[0], lat), std::max(e[1], -lat), std::max(e[2], lon), std::max(e[3], -lon)};
                            vertices.emplace_back(std::llround(lon * 1e7), std::llround(lat * 1e7), code);
                            r.points[code].emplace_back(lon, lat);
                        }
            }
        }
        std::sort(vertices.begin(), vertices.end());
        vertices.erase(std::unique(vertices.begin(), vertices.end()), vertices.end());
        std::map<std::pair<int, int>, int> common;
        for (std::size_t i = 0; i < vertices.size();) {
            std::size_t j = i;
            while (j < vertices.size() && std::get<0>(vertices[j]) == std::get<0>(vertices[i]) &&
                   std::get<1>(vertices[j]) == std::get<1>(vertices[i]))
                ++j;
            for (std::size_t a = i; a < j; ++a)
                for (std::size_t b = a + 1; b < j; ++b) ++common[{std::get<2>(vertices[a]), std::get<2>(vertices[b])}];
            i = j;
        }
        for (const auto& [pair, n] : common)
            if (n >= 2) {
                r.touching[pair.first].insert(pair.second);
                r.touching[pair.second].insert(pair.first);
            }
        return r;
    }();
    return r;
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

bool touches(int a, int b) {
    auto it = raw().touching.find(a);
    return it != raw().touching.end() && it->second.count(b);
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
    const std::string head = "次の4つのうち、";
    ASSERT_EQ(q.text.rfind(head, 0), 0u) << q.text;
    const std::string other = q.text.substr(head.size(), q.text.find("と接している") - head.size());
    ASSERT_TRUE(facts().prefNumber.count(other)) << other;
    const int otherPref = facts().prefNumber.at(other);
    EXPECT_NE(otherPref, a->pref);
    if (!haveRaw()) return;
    auto touchesPref = [&](const Present& p) {
        auto it = raw().touching.find(p.code);
        if (it == raw().touching.end()) return false;
        for (int c : it->second)
            if (facts().presents.at(c).pref == otherPref) return true;
        return false;
    };
    EXPECT_TRUE(touchesPref(*a)) << a->name << " does not touch " << other;
    for (const auto& w : q.wrong) {
        const Present* p = presentNamed(a->pref, w);
        ASSERT_NE(p, nullptr) << w;
        EXPECT_FALSE(touchesPref(*p)) << w << " touches " << other;
        for (const auto* o : facts().byPref.at(otherPref))
            if (raw().points.count(o->code)) {
                EXPECT_GE(pointsApartKm(p->code, o->code), 1.0) << w << " is too close to " << o->name;
            }
    }
}

void checkOutermost(const Q& q) {
    const int pref = prefByKey(q.key);
    ASSERT_GT(pref, 0) << q.key;
    int way = -1;
    const char* ways[] = {"北", "南", "東", "西"};
    for (int i = 0; i < 4; ++i)
        if (has(q.text, std::string("最も") + ways[i])) way = i;
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
        return raw().reach.at(p.code)[static_cast<std::size_t>(way)];
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

// Bearing from the first town hall to the second, degrees clockwise from north.
double bearing(const std::pair<double, double>& from, const std::pair<double, double>& to) {
    const double pi = 3.141592653589793;
    const double x = (to.first - from.first) * std::cos((from.second + to.second) / 2 * pi / 180);
    const double d = std::atan2(x, to.second - from.second) * 180 / pi;
    return d < 0 ? d + 360 : d;
}

double haversineKm(const std::pair<double, double>& a, const std::pair<double, double>& b) {
    const double r = 3.141592653589793 / 180;
    const double h = std::pow(std::sin((b.second - a.second) * r / 2), 2) +
                     std::cos(a.second * r) * std::cos(b.second * r) * std::pow(std::sin((b.first - a.first) * r / 2), 2);
    return 2 * 6371.0 * std::asin(std::sqrt(h));
}

// The capital and the municipality of a direction or distance question.
std::pair<const Present*, const Present*> hallPair(const Q& q) {
    const Present* m = presentByKey(q.key);
    if (!m) return {nullptr, nullptr};
    return {presentNamed(m->pref, facts().capital.at(m->pref)), m};
}

void checkDirection(const Q& q) {
    auto [cap, m] = hallPair(q);
    ASSERT_TRUE(cap && m) << q.key;
    EXPECT_EQ(bracketed(q.text), cap->name);
    EXPECT_EQ(bracketed(q.text, q.text.find("」")), m->name);
    const std::vector<std::string> names = {"北", "北東", "東", "南東", "南", "南西", "西", "北西"};
    auto sector = [&](const std::string& n) { return std::find(names.begin(), names.end(), n) - names.begin(); };
    ASSERT_LT(sector(q.answer), 8) << q.answer;
    for (const auto& w : q.wrong) ASSERT_LT(sector(w), 8) << w;
    if (!haveRaw()) return;
    const double deg = bearing(raw().hall.at(cap->code), raw().hall.at(m->code));
    auto off = [&](const std::string& n) {
        double d = std::fabs(deg - 45.0 * static_cast<double>(sector(n)));
        return std::min(d, 360 - d);
    };
    EXPECT_LE(off(q.answer), 22.5) << deg;
    for (const auto& w : q.wrong) EXPECT_GT(off(w), 22.5) << w << " " << deg;
}

double kmOf(const std::string& choice) {
    std::string digits;
    for (char c : choice)
        if (c >= '0' && c <= '9') digits += c;
    EXPECT_TRUE(choice.rfind("約", 0) == 0 && has(choice, "km") && !digits.empty()) << choice;
    return digits.empty() ? -1 : std::stod(digits);
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
    const double km = haversineKm(raw().hall.at(cap->code), raw().hall.at(m->code));
    const double step = km < 100 ? 5 : km < 1000 ? 10 : 50;
    EXPECT_LE(std::fabs(answer - km), step / 2 + 0.01) << q.answer << " for " << km << " km";
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

}  // namespace
