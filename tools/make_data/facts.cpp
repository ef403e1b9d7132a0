// SPDX-License-Identifier: GPL-3.0-or-later
#include "facts.h"
#include "neighbours.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <functional>
#include <set>
#include <stdexcept>

namespace makedata {
namespace {

// The day of the 2000 census: the municipalities of the 2000 codes are those
// of this day, and we want those of 1999-03-31.
constexpr const char* kOldDay = "1999-04-01";    // first day after the old state
constexpr const char* kCensus2000 = "2000-10-01";
// The e-Stat table lists exactly the present municipalities from fiscal 2011
// on; earlier years describe areas before the last Heisei mergers.
constexpr int kFirstFigureYear = 2011;

std::string lastWord(const std::string& s) {
    auto pos = s.rfind(' ');
    return pos == std::string::npos ? s : s.substr(pos + 1);
}

bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// Ward codes -> designated city codes.
class CityOf {
public:
    explicit CityOf(const std::vector<CodeListRow>& list) {
        for (const auto& r : list)
            if (r.isDesignatedCity()) cities_.insert(r.code);
    }
    int operator()(int code) const {
        if (cities_.count(code)) return code;
        auto it = cities_.upper_bound(code);
        if (it == cities_.begin()) return code;
        --it;
        // wards follow their city's code within the same block of 30
        if (*it / 1000 == code / 1000 && code - *it < 30) return *it;
        return code;
    }

private:
    std::set<int> cities_;
};

// Point in the polygons of a GeoJSON feature ([lon, lat] rings; first ring
// outer, others holes), by ray casting.
bool ringContains(const QJsonArray& ring, double lon, double lat) {
    bool in = false;
    const int n = static_cast<int>(ring.size());
    for (int i = 0, j = n - 1; i < n; j = i++) {
        QJsonArray a = ring[i].toArray(), b = ring[j].toArray();
        double x1 = a[0].toDouble(), y1 = a[1].toDouble(), x2 = b[0].toDouble(), y2 = b[1].toDouble();
        if ((y1 > lat) != (y2 > lat) && lon < (x2 - x1) * (lat - y1) / (y2 - y1) + x1) in = !in;
    }
    return in;
}

bool polygonContains(const QJsonArray& polygon, double lon, double lat) {
    if (polygon.isEmpty() || !ringContains(polygon[0].toArray(), lon, lat)) return false;
    for (int k = 1; k < polygon.size(); ++k)
        if (ringContains(polygon[k].toArray(), lon, lat)) return false;
    return true;
}

// Code (N03_007) of the boundary feature of prefecture `pref` holding the point; 0 if none.
int locate(const QString& rawDir, int pref, double lon, double lat) {
    QString path = QString("%1/boundaries/N03-21_%2_210101.json").arg(rawDir).arg(pref, 2, 10, QChar('0'));
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) throw std::runtime_error("cannot open " + path.toStdString());
    QJsonDocument doc = QJsonDocument::fromJson(f.readAll());
    for (const auto& fv : doc.object()["features"].toArray()) {
        QJsonObject feature = fv.toObject();
        QJsonObject geometry = feature["geometry"].toObject();
        QString type = geometry["type"].toString();
        QJsonArray coords = geometry["coordinates"].toArray();
        bool hit = false;
        if (type == "Polygon") {
            hit = polygonContains(coords, lon, lat);
        } else if (type == "MultiPolygon") {
            for (const auto& p : coords)
                if (polygonContains(p.toArray(), lon, lat)) { hit = true; break; }
        }
        if (hit) return feature["properties"].toObject()["N03_007"].toString().toInt();
    }
    return 0;
}

// Merger history: every event of the list from 1999-04-01 on, indexed by the
// municipality it starts from, duplicates (same date, from, to) dropped.
struct History {
    const std::vector<MergerEvent>& events;
    const CityOf& cityOf;
    std::map<int, std::vector<std::size_t>> byFrom;

    History(const std::vector<MergerEvent>& ev, const CityOf& c) : events(ev), cityOf(c) {
        std::set<std::tuple<std::string, int, int>> seen;
        for (std::size_t i = 0; i < ev.size(); ++i) {
            const auto& e = ev[i];
            if (e.date < kOldDay || e.fromCode == 0 || e.toCode == 0) continue;
            if (e.type.find("区の") != std::string::npos || e.type == "郡の廃止") continue;
            // the list pairs every town of a district change with every new
            // code; only the pair that keeps the name is real
            if (e.type == "郡の区域変更" && e.toName != e.fromName) continue;
            if (!seen.insert({e.date, e.fromCode, cityOf(e.toCode)}).second) continue;
            byFrom[e.fromCode].push_back(i);
        }
    }

    struct Path {
        std::vector<Step> steps;
        int end = 0;
    };

    // Every path from `code` through the events from `date` on that are not
    // yet on the path (several steps may fall on one day, in any file order).
    // At each point only the earliest next date counts; several events on that
    // date from one municipality are a split.
    std::vector<Path> paths(int code, const std::string& date, std::vector<std::size_t>& used) const {
        if (used.size() > 20) throw std::runtime_error("merger history loops at code " + std::to_string(code));
        std::vector<std::size_t> next;
        auto it = byFrom.find(code);
        if (it != byFrom.end())
            for (std::size_t i : it->second)
                if (events[i].date >= date && std::find(used.begin(), used.end(), i) == used.end() &&
                    (used.empty() || events[i].text != events[used.back()].text))  // the same merger again
                    next.push_back(i);
        if (next.empty()) return {Path{{}, code}};
        std::string first = events[next.front()].date;
        for (std::size_t i : next) first = std::min(first, events[i].date);
        std::vector<Path> out;
        for (std::size_t i : next) {
            const auto& e = events[i];
            if (e.date != first) continue;
            Step s;
            s.date = e.date;
            s.type = e.type;
            s.toCode = cityOf(e.toCode);
            s.toName = (s.toCode != e.toCode && !e.toDesig.empty()) ? e.toDesig + e.toName : e.toName;
            if (s.toName.empty() && !e.toDesig.empty()) s.toName = e.toDesig;  // 政令指定都市施行
            used.push_back(i);
            for (auto& p : paths(s.toCode, e.date, used)) {
                p.steps.insert(p.steps.begin(), s);
                out.push_back(std::move(p));
            }
            used.pop_back();
        }
        return out;
    }
};

// A text as a master can hold it: no double quote (a quoted field ends at the
// next one) and no line break.
std::string plainText(const std::string& in, std::vector<std::string>& notes) {
    std::string out;
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (in[i] == '"') out += "\uFF02";
        else if (in[i] == '\r' || in[i] == '\n') {
            if (in[i] == '\r' && i + 1 < in.size() && in[i + 1] == '\n') ++i;
            out += "\u3000";
        } else out += in[i];
    }
    if (out != in) notes.push_back("text made plain: " + in + " -> " + out);
    return out;
}

struct EconomicSeries {
    // (cat, code) -> year -> value text
    std::map<std::pair<std::string, int>, std::map<int, std::string>> values;
};

}  // namespace

int kindCodeOf(const std::string& kind) {
    if (kind == "市") return 2;
    if (kind == "区") return 4;
    if (kind == "町") return 5;
    if (kind == "村") return 6;
    return 0;
}

long long divRoundHalfEven(long long a, long long b) {
    long long q = a / b, r = a % b;
    if (2 * r > b || (2 * r == b && (q % 2) != 0)) ++q;
    return q;
}

std::string lastChar(const std::string& s) {
    if (s.empty()) return {};
    std::size_t i = s.size() - 1;
    while (i > 0 && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) --i;
    return s.substr(i);
}

int regionOf(int pref) {
    if (pref == 1) return 1;
    if (pref <= 7) return 2;
    if (pref <= 14) return 3;
    if (pref <= 23) return 4;
    if (pref <= 30) return 5;
    if (pref <= 35) return 6;
    if (pref <= 39) return 7;
    return 8;
}

std::string regionName(int region) {
    static const char* names[] = {"", "北海道", "東北", "関東", "中部", "近畿", "中国", "四国", "九州・沖縄"};
    return names[region];
}

std::string Prefecture::officeWord() const {
    if (number == 1) return "道庁";
    if (number == 13) return "都庁";
    if (number == 26 || number == 27) return "府庁";
    return "県庁";
}

bool OldMuni::merged() const {
    return std::any_of(history.begin(), history.end(), [](const Step& s) { return s.isMerger(); });
}

const Step* OldMuni::lastMerger() const {
    for (auto it = history.rbegin(); it != history.rend(); ++it)
        if (it->isMerger()) return &*it;
    return nullptr;
}

Facts deriveFacts(const RawData& raw) {
    Facts facts;
    CityOf cityOf(raw.codeList);
    History history(raw.events, cityOf);

    std::map<int, const CodeListRow*> codeList;
    for (const auto& r : raw.codeList) codeList[r.code] = &r;

    // --- prefectures ---------------------------------------------------------
    if (raw.offices.size() != 47) throw std::runtime_error("prefectural_capitals.csv: expected 47 rows");
    for (const auto& o : raw.offices) {
        Prefecture p;
        p.number = o.pref;
        p.name = o.name;
        p.region = regionOf(o.pref);
        facts.prefs.push_back(p);
    }
    std::sort(facts.prefs.begin(), facts.prefs.end(),
              [](const Prefecture& a, const Prefecture& b) { return a.number < b.number; });
    for (int i = 0; i < 47; ++i)
        if (facts.prefs[static_cast<std::size_t>(i)].number != i + 1)
            throw std::runtime_error("prefectural_capitals.csv: prefecture numbers are not 1..47");

    // --- present municipalities (the SSDSE rows) ------------------------------
    for (const auto& s : raw.ssdse) {
        PresentMuni m;
        m.code = s.code;
        m.pref = s.code / 1000;
        auto cl = codeList.find(s.code);
        if (cl == codeList.end()) throw std::runtime_error("no code list row for " + std::to_string(s.code));
        const CodeListRow& row = *cl->second;
        m.name = row.name.empty() ? row.desigOrGun : row.name;
        m.kana = row.name.empty() ? row.desigOrGunKana : row.kana;
        if (m.name != s.name)
            throw std::runtime_error("name differs between code list and SSDSE: " + m.name + " / " + s.name);
        if (facts.pref(m.pref).name != s.pref)
            throw std::runtime_error("prefecture name differs for " + std::to_string(s.code));
        m.kind = lastChar(m.name);
        m.kindCode = kindCodeOf(m.kind);
        if (m.kindCode == 0) throw std::runtime_error("unknown kind of " + m.name);
        auto c20 = raw.centroids2020.find(s.code);
        if (c20 == raw.centroids2020.end()) throw std::runtime_error("no 2020 centroid for " + m.name);
        m.lon = c20->second.lon;
        m.lat = c20->second.lat;
        if (m.kind == "町" || m.kind == "村") {
            if (endsWith(c20->second.gun, "郡")) m.district = c20->second.gun;
            else if (endsWith(row.desigOrGun, "郡")) m.district = row.desigOrGun;
        }
        m.population = s.population;
        m.areaHa = s.areaHa;
        m.areaKm2 = divRoundHalfEven(s.areaHa, 100);
        if (m.areaKm2 == 0 && s.areaHa > 0) m.areaKm2 = 1;
        m.establishments = s.establishments;
        m.employees = s.employees;
        auto th = raw.townHalls.find(s.code);
        if (th != raw.townHalls.end()) {
            m.url = plainText(th->second.url, facts.notes);
            m.phrase = plainText(th->second.phrase, facts.notes);
            m.lgcode = th->second.lgcode;
            m.hasHall = th->second.lat != 0 && th->second.lon != 0;
            m.hallLat = th->second.lat;
            m.hallLon = th->second.lon;
        }
        facts.presents.push_back(std::move(m));
    }
    std::sort(facts.presents.begin(), facts.presents.end(), [](const PresentMuni& a, const PresentMuni& b) {
        return a.pref != b.pref ? a.pref < b.pref : a.code < b.code;
    });
    for (std::size_t i = 0; i < facts.presents.size(); ++i) {
        if (!facts.presentIndex.emplace(facts.presents[i].code, i).second)
            throw std::runtime_error("present municipality twice: " + std::to_string(facts.presents[i].code));
    }

    // --- economic figures --------------------------------------------------------
    EconomicSeries series;
    for (const auto& v : raw.estat) series.values[{v.cat, v.code}][v.year] = v.value;
    // A municipality that only changed its code (new status, new district) is
    // listed under its former code in the years before the change.
    std::map<int, std::vector<int>> formerCodes;
    for (const auto& e : raw.events) {
        if (e.fromCode == 0 || e.toCode == 0 || e.fromCode == e.toCode) continue;
        if (e.type == "市制施行" || e.type == "町制施行" || e.type == "名称変更" || e.type == "郡の区域変更")
            formerCodes[e.toCode].push_back(e.fromCode);
    }
    auto figure = [&](const PresentMuni& m, const std::string& cat, const char* label) {
        std::map<int, std::string> years;
        auto add = [&](int code) {
            auto it = series.values.find({cat, code});
            if (it == series.values.end()) return;
            for (const auto& [y, v] : it->second) years.emplace(y, v);  // the present code wins
        };
        add(m.code);
        for (int former : formerCodes[m.code]) add(former);
        Figure f;
        std::string why;
        for (auto it = years.rbegin(); it != years.rend(); ++it) {
            if (it->first < kFirstFigureYear) break;
            const std::string& v = it->second;
            if (v == "X" || v == "-" || v.empty()) {
                why += (why.empty() ? "" : ", ") + std::to_string(it->first) + " " + v;
                continue;
            }
            long long n = std::stoll(v);
            f.oku = divRoundHalfEven(n, 100);
            f.year = it->first;
            f.known = true;
            break;
        }
        if (!f.known)
            facts.notes.push_back(std::string("gap: ") + label + " of " + facts.pref(m.pref).name + m.name + " (" +
                                  std::to_string(m.code) + "): " + (why.empty() ? "no row" : why));
        return f;
    };
    for (auto& m : facts.presents) {
        m.shipments = figure(m, "C3401", "shipments");
        m.sales = figure(m, "C3501", "sales");
    }

    // --- old municipalities of 1999-03-31 -----------------------------------------
    struct OldSeed {
        std::string name;
        int present = 0;
        int centroidYear = 2000;
    };
    std::map<int, OldSeed> seeds;
    std::map<int, const ConverterRow*> byMergeId;
    for (const auto& r : raw.converter) {
        byMergeId[r.mergeId] = &r;
        if (r.id2000 == 0 || seeds.count(r.id2000)) continue;
        // the row of the municipality itself carries its own name
        seeds[r.id2000] = OldSeed{lastWord(r.name2000), r.id2020, 2000};
    }
    // Undo what happened between 1999-04-01 and the 2000 census: a new
    // municipality goes back to those that formed it, a new status or name
    // back to the old one.
    for (const auto& e : raw.events) {
        if (e.date < kOldDay || e.date >= kCensus2000 || e.fromCode == 0 || e.toCode == 0) continue;
        if (e.type == "新設合併" || e.type == "編入合併") {
            if (e.type == "新設合併") seeds.erase(e.toCode);
            auto conv = byMergeId.find(e.fromCode);
            if (conv == byMergeId.end()) throw std::runtime_error("no converter row for " + std::to_string(e.fromCode));
            seeds[e.fromCode] = OldSeed{e.fromName, conv->second->id2020, 1995};
            facts.notes.push_back("old state restored: " + e.fromName + " (" + std::to_string(e.fromCode) + "), " +
                                  e.type + " " + e.date);
        } else if (e.type == "市制施行" || e.type == "町制施行" || e.type == "名称変更") {
            auto it = seeds.find(e.toCode);
            if (it == seeds.end()) continue;
            OldSeed s = it->second;
            seeds.erase(it);
            s.name = e.fromName;
            seeds[e.fromCode] = s;
            facts.notes.push_back("old state restored: " + e.fromName + " (" + std::to_string(e.fromCode) + "), " +
                                  e.type + " " + e.date);
        }
    }
    for (const auto& [code, seed] : seeds) {
        OldMuni o;
        o.code = code;
        o.pref = code / 1000;
        o.name = seed.name;
        o.kind = lastChar(seed.name);
        if (kindCodeOf(o.kind) == 0) throw std::runtime_error("unknown kind of old " + o.name);
        o.present = seed.present;
        if (!facts.presentIndex.count(o.present))
            throw std::runtime_error("old " + o.name + " maps to unknown present " + std::to_string(o.present));
        o.centroidYear = seed.centroidYear;
        const auto& centroids = seed.centroidYear == 1995 ? raw.centroids1995 : raw.centroids2000;
        auto c = centroids.find(code);
        if (c == centroids.end()) throw std::runtime_error("no centroid for old " + o.name);
        o.lon = c->second.lon;
        o.lat = c->second.lat;
        if (endsWith(c->second.gun, "郡")) o.gun = c->second.gun;

        // reading: the first event that names it, else the 2024 code list
        for (const auto& e : raw.events) {
            if (e.date >= kOldDay && e.fromCode == code && e.fromName == o.name && !e.fromKana.empty()) {
                o.kana = e.fromKana;
                break;
            }
        }
        if (o.kana.empty()) {
            auto cl = codeList.find(code);
            if (cl != codeList.end()) {
                const auto& row = *cl->second;
                if (row.name == o.name) o.kana = row.kana;
                else if (row.name.empty() && row.desigOrGun == o.name) o.kana = row.desigOrGunKana;
            }
        }
        if (o.kana.empty()) throw std::runtime_error("no reading for old " + o.name);

        // how it came into its present municipality
        std::vector<std::size_t> used;
        auto paths = history.paths(code, kOldDay, used);
        const History::Path* chosen = nullptr;
        for (const auto& p : paths)
            if (p.end == o.present && !chosen) chosen = &p;
        if (!chosen)
            throw std::runtime_error("merger history of " + o.name + " does not lead to " + std::to_string(o.present));
        o.history = chosen->steps;
        std::set<int> others;
        for (const auto& p : paths)
            if (p.end != o.present && facts.presentIndex.count(p.end)) others.insert(p.end);
        o.alsoPartOf.assign(others.begin(), others.end());
        for (int other : o.alsoPartOf)
            facts.notes.push_back("split: " + o.name + " (" + std::to_string(code) + ") counted under " +
                                  facts.present(o.present).name + ", part also in " + facts.present(other).name);
        facts.olds.emplace(code, std::move(o));
    }
    for (const auto& [code, o] : facts.olds) facts.presents[facts.presentIndex.at(o.present)].olds.push_back(code);
    for (const auto& m : facts.presents)
        if (m.olds.empty()) throw std::runtime_error("present " + m.name + " has no old municipality");

    // --- prefecture totals and capitals ------------------------------------------
    for (auto& p : facts.prefs) {
        long long areaHa = 0;
        for (const auto& m : facts.presents) {
            if (m.pref != p.number) continue;
            p.population += m.population;
            areaHa += m.areaHa;
            ++p.count;
        }
        p.areaKm2 = divRoundHalfEven(areaHa, 100);
    }
    for (const auto& r : raw.codeList) {
        const int pref = r.code / 1000;
        if (!r.name.empty() && cityOf(r.code) != r.code && facts.presentIndex.count(cityOf(r.code)))
            facts.wardNames[r.name].insert(pref);
        if (r.code >= 1695 && r.code <= 1700) facts.northernVillages[r.name] = r.desigOrGun;
    }
    addNeighbours(facts, raw.dir);
    for (const auto& o : raw.offices) {
        int code = locate(raw.dir, o.pref, o.lon, o.lat);
        if (code == 0) throw std::runtime_error("prefectural office of " + o.name + " lies in no municipality");
        code = cityOf(code);
        if (!facts.presentIndex.count(code)) throw std::runtime_error("office of " + o.name + " in unknown code");
        facts.prefs[static_cast<std::size_t>(o.pref - 1)].capital = code;
    }
    return facts;
}

}  // namespace makedata
