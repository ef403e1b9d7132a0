// SPDX-License-Identifier: GPL-3.0-or-later
#include "questions.h"

#include <algorithm>
#include <cstdio>
#include <cmath>
#include <functional>
#include <numeric>
#include <set>
#include <stdexcept>

#include "masters.h"
#include "neighbours.h"

namespace makedata {
namespace {

constexpr std::uint64_t kSeed = 0x7461'6269'6E6F'7761ULL;  // "tabinowa"
constexpr const char* kOldDate = "1999年3月31日";
constexpr std::size_t kNeighboursForTwo = 4;  // 隣接: two questions from this many neighbours on
// 四端: the extents of the municipal and the prefectural files differ by up to
// 1.5 km, so an extreme is asked only this far ahead of the next.
constexpr double kExtentMarginKm = 1.5;
// 距離: each of the ellipsoid's and the sphere's distance keeps this far from a
// rounding step of the shown distance.
constexpr double kRoundingMarginKm = 0.05;
// 方角: asked when the bearing lies at most this far from the middle of its
// direction, on the map (local projection) and by the great circle alike: at
// least 7.6 degrees from the next direction, so that neither way decides alone.
constexpr double kOffMiddleMax = 14.9;

std::string code5(int code) {
    std::string s = std::to_string(code);
    return std::string(5 - std::min<std::size_t>(5, s.size()), '0') + s;
}

std::u32string decode(const std::string& s) {
    std::u32string out;
    for (std::size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        char32_t cp;
        std::size_t n;
        if (c < 0x80) { cp = c; n = 1; }
        else if ((c & 0xE0) == 0xC0) { cp = c & 0x1F; n = 2; }
        else if ((c & 0xF0) == 0xE0) { cp = c & 0x0F; n = 3; }
        else { cp = c & 0x07; n = 4; }
        for (std::size_t k = 1; k < n && i + k < s.size(); ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        out += cp;
        i += n;
    }
    return out;
}

std::string encode(const std::u32string& s) {
    std::string out;
    for (char32_t cp : s) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

bool hasKanji(const std::string& s) {
    for (char32_t c : decode(s))
        if ((c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF)) return true;
    return false;
}

// The name without its kind character ("函館市" -> "函館").
std::string stem(const std::string& name) {
    auto u = decode(name);
    if (u.size() <= 1) return {};
    u.pop_back();
    return encode(u);
}

// The reading without the reading of the kind ("はこだてし" -> "はこだて").
std::string kanaStem(const std::string& kana) {
    for (const char* tail : {"ちょう", "まち", "むら", "そん", "し", "く"}) {
        std::string t(tail);
        if (kana.size() > t.size() && kana.compare(kana.size() - t.size(), t.size(), t) == 0)
            return kana.substr(0, kana.size() - t.size());
    }
    return kana;
}

std::string toKatakana(const std::string& hira) {
    auto u = decode(hira);
    for (auto& c : u)
        if (c >= 0x3041 && c <= 0x3096) c += 0x60;
    return encode(u);
}

bool contains(const std::string& hay, const std::string& needle) {
    return !needle.empty() && hay.find(needle) != std::string::npos;
}

// True when the text gives away the municipality: its name, its name without
// the kind, or its reading without the kind (in hiragana or katakana).
bool mentions(const std::string& text, const PresentMuni& m) {
    if (contains(text, m.name) || contains(text, stem(m.name))) return true;
    std::string ks = kanaStem(m.kana);
    if (chars(ks) >= 2 && (contains(text, ks) || contains(text, toKatakana(ks)))) return true;
    return false;
}

double hardness(long long population) { return 6.5 - std::log10(static_cast<double>(population) + 1.0); }

std::string year(const std::string& ymd) { return ymd.substr(0, 4); }

bool isHiragana(char32_t c) { return c >= 0x3041 && c <= 0x309F; }

// Kinds whose answer is no name (a year, a count, a direction, a distance).
bool answersWithName(const std::string& mark) {
    return mark != "合年" && mark != "旧数" && mark != "方角" && mark != "距離";
}

// Why a municipality has the population it has, where the figure alone would
// mislead (a population of 0 is never a plain fact).
const std::map<int, std::string>& populationNotes() {
    static const std::map<int, std::string> notes = {
        {7546, "双葉町は福島第一原子力発電所の事故による全町避難が続いていたため、住民がいなかった。"},
    };
    return notes;
}

class Generator {
public:
    Generator(const Facts& facts, QuestionReport& report) : f_(facts), report_(report), rng_(kSeed) {
        for (std::size_t i = 0; i < f_.presents.size(); ++i) {
            const auto& m = f_.presents[i];
            byPref_[m.pref].push_back(&m);
            prefsOfName_[m.name].insert(m.pref);
        }
        for (const auto& [code, o] : f_.olds) {
            oldsByPref_[o.pref].push_back(&o);
            ++oldNameCount_[{o.pref, o.name}];
        }
        for (const auto& m : f_.presents) ++phraseCount_[m.phrase];
        // the table of same-named districts must cover exactly their towns
        std::set<std::string> inTable;
        for (const auto& d : hokkaidoSameNamedDistricts())
            for (const char* t : d.towns) {
                bool found = false;
                for (const auto* m : byPref_[1]) found |= m->name == t && m->district == d.district;
                if (!found || !inTable.insert(t).second)
                    throw std::runtime_error(std::string("same-named district table: ") + d.district + " " + t);
            }
        for (const auto* m : byPref_[1]) {
            bool sameNamed = false;
            for (const auto& d : hokkaidoSameNamedDistricts()) sameNamed |= m->district == d.district;
            if (sameNamed && !inTable.count(m->name))
                throw std::runtime_error("same-named district table lacks " + m->district + " " + m->name);
        }
        for (const auto& m : f_.presents)
            if (m.population == 0 && !populationNotes().count(m.code))
                throw std::runtime_error("population 0 without a note: " + m.name);
        for (const auto& [code, o] : f_.olds)
            for (int other : o.alsoPartOf) {
                splitTouched_.insert(other);
                splitTouched_.insert(o.present);
            }
    }

    std::vector<Question> run() {
        presentReadings();
        oldReadings();
        prefectureOf();
        mergedInto();
        mergerYear();
        capitals();
        ranking("人口", "人口", "多い", "少ない", [](const PresentMuni& m) { return m.population; },
                [](long long v) { return withCommas(v) + "人"; }, "2020年国勢調査");
        ranking("面積", "面積", "広い", "狭い", [](const PresentMuni& m) { return m.areaKm2; },
                [](long long v) { return withCommas(v) + "平方km"; }, "国土地理院、2024年");
        catchphrases();
        districts();
        oldCounts();
        neighbourKind();
        borderKind();
        outermost();
        directionAndDistance();
        weighByFrequency();
        markDoublePoints();
        return std::move(out_);
    }

private:
    // k distinct items from `pool`, in random order.
    template <class T>
    std::vector<T> pick(std::vector<T> pool, std::size_t k) {
        std::vector<T> chosen;
        for (std::size_t i = 0; i < k && i < pool.size(); ++i) {
            std::size_t j = i + rng_.below(pool.size() - i);
            std::swap(pool[i], pool[j]);
            chosen.push_back(pool[i]);
        }
        return chosen;
    }

    // About `want` different foursomes of the municipalities, each given to `each`
    // (fewer when the draws keep repeating).
    void foursomes(const std::vector<const PresentMuni*>& all, std::size_t want,
                   const std::function<void(std::vector<const PresentMuni*>)>& each) {
        std::set<std::vector<int>> used;
        for (std::size_t tries = 0; used.size() < want && tries < want * 4; ++tries) {
            auto four = pick(all, 4);
            std::vector<int> key;
            for (const auto* m : four) key.push_back(m->code);
            std::sort(key.begin(), key.end());
            if (used.insert(key).second) each(std::move(four));
        }
    }

    // Three distinct wrong texts from the candidates, none equal to the answer.
    bool wrongFrom(const std::vector<std::string>& candidates, const std::string& answer, Question& q) {
        std::vector<std::string> pool;
        std::set<std::string> seen{answer};
        for (const auto& c : candidates)
            if (!c.empty() && seen.insert(c).second) pool.push_back(c);
        if (pool.size() < 3) return false;
        auto w = pick(pool, 3);
        for (int i = 0; i < 3; ++i) q.wrong[static_cast<std::size_t>(i)] = w[static_cast<std::size_t>(i)];
        q.answer = answer;
        return true;
    }

    void add(Question q) {
        auto fail = [&](const std::string& why) {
            throw std::runtime_error("question does not fit (" + why + "): " + q.lead + " " + q.text);
        };
        std::set<std::string> choices(q.wrong.begin(), q.wrong.end());
        choices.insert(q.answer);
        if (choices.size() != 4 || choices.count("")) fail("choices not distinct");
        for (const auto& c : choices)
            if (cp932Bytes(c) > kChoiceBytes) fail("choice");
        if (chars(q.explanation) > kExplanationChars || cp932Bytes(q.explanation) > kExplanationBytes) fail("explanation");
        for (const auto& n : q.notes)
            if (cp932Bytes(n) > kNoteBytes) fail("note");
        if (cp932Bytes(q.lead) > kLeadBytes) fail("lead");
        if (cp932Bytes(q.text) > kTextBytes) fail("text");
        if (chars(q.mark) != 2) fail("mark");
        // a question that holds its own answer teaches nothing (上湧別町 -> 湧別町),
        // nor one that holds the answer's name without its kind (栗原郡「築館町」 ->
        // 栗原市, 「松前町」 -> 松前郡); the prefecture a question names is its scope.
        // Comparisons name their candidates after the "？".
        const std::string asked = askedPart(q.lead, q.text);
        if (contains(asked, q.answer)) {
            ++report_.dropped["answer in the question (" + q.mark + ")"];
            return;
        }
        if (answersWithName(q.mark) && contains(withoutPrefectures(asked, f_), stem(q.answer))) {
            ++report_.dropped["answer's stem in the question (" + q.mark + ")"];
            return;
        }
        std::string key = q.lead + "\n" + q.text + "\n" + q.answer;
        for (const auto& c : choices) key += "\n" + c;
        if (!keys_.insert(key).second) {
            ++report_.byKind["(duplicates dropped)"];
            return;
        }
        for (const auto& r : q.rewordings) ++report_.reworded[r];
        q.number = ++numbers_[q.mark];
        if (q.number > 32767) fail("number");
        ++report_.byKind[q.mark];
        out_.push_back(std::move(q));
    }

    std::string where(const PresentMuni& m) const { return f_.pref(m.pref).name + m.district; }

    // The prefecture as the scope of a question about one named municipality:
    // 北海道's 泊村 is also the name of a village of the Northern Territories.
    std::string scopeOf(const PresentMuni& m, Question& q) {
        if (m.pref == 1 && f_.northernVillages.count(m.name)) {
            q.rewordings.push_back("name also a village of the Northern Territories: 北方領土を除く (" + q.mark + ")");
            return f_.pref(m.pref).name + "（北方領土を除く）";
        }
        return f_.pref(m.pref).name;
    }

    // The prefecture as the scope of a question over all its municipalities.
    static std::string wholeScope(const Prefecture& p) {
        if (p.number == 1) return p.name + "（北方領土を除く）";
        if (p.number == 13) return p.name + "（特別区を含む）";
        return p.name;
    }

    static std::string populationNote(const PresentMuni& m) {
        auto it = populationNotes().find(m.code);
        return it == populationNotes().end() ? "" : it->second;
    }

    std::string profile(const PresentMuni& m) const {
        return m.name + "（" + m.kana + "）は" + where(m) + "の" + m.kind + "。人口" + withCommas(m.population) +
               "人（2020年国勢調査）。" + populationNote(m);
    }

    std::string oldWhere(const OldMuni& o) const { return f_.pref(o.pref).name + o.gun; }

    // "2004年12月1日に編入合併で函館市に。" for each merger step of the history
    std::string mergerStory(const OldMuni& o) const {
        std::string s;
        for (const auto& st : o.history)
            if (st.isMerger()) s += formatDate(st.date) + "、" + stepText(st) + "。";
        return s;
    }

    // "河口湖町・勝山村・足和田村の3市町村（ほかに上九一色村の一部）": the old
    // municipalities counted under m, a split one marked, and the parts of split
    // ones counted elsewhere.
    std::string oldsList(const PresentMuni& m) const {
        std::string s;
        for (int code : m.olds) {
            const OldMuni& o = f_.olds.at(code);
            s += (s.empty() ? "" : "・") + o.name + (o.alsoPartOf.empty() ? "" : "（一部）");
        }
        s += "の" + std::to_string(m.olds.size()) + "市町村";
        std::string parts;
        for (const auto& [code, o] : f_.olds)
            if (std::find(o.alsoPartOf.begin(), o.alsoPartOf.end(), m.code) != o.alsoPartOf.end())
                parts += (parts.empty() ? "" : "・") + o.name;
        if (!parts.empty()) s += "（ほかに" + parts + "の一部）";
        return s;
    }

    // ---- 読み: the reading of a present name --------------------------------------
    void presentReadings() {
        for (const auto& m : f_.presents) {
            if (!hasKanji(stem(m.name))) continue;  // a name in kana reads itself
            std::vector<std::string> same, any;
            for (const auto* o : byPref_[m.pref]) {
                if (o->code == m.code) continue;
                (o->kind == m.kind ? same : any).push_back(o->kana);
            }
            Question q;
            if (!wrongFrom(same, m.kana, q)) {
                same.insert(same.end(), any.begin(), any.end());
                if (!wrongFrom(same, m.kana, q)) continue;
            }
            q.mark = "読み";
            q.lead = "【読み】市町村名の読み方";
            q.text = scopeOf(m, q) + "の「" + m.name + "」の読み方は？";
            q.explanation = m.name + "は「" + m.kana + "」と読む。" + where(m) + "の" + m.kind + "で、人口" +
                            withCommas(m.population) + "人（2020年国勢調査）。" + populationNote(m);
            q.notes = {"市" + code5(m.code), "出典：e-Stat 市区町村コード", ""};
            q.difficulty = 0.5 + hardness(m.population);
            add(std::move(q));
        }
    }

    // ---- 旧読: the reading of an old name ------------------------------------------
    void oldReadings() {
        for (const auto& [code, o] : f_.olds) {
            const PresentMuni& m = f_.present(o.present);
            if (!o.merged() || o.name == m.name || !hasKanji(stem(o.name))) continue;
            if (oldNameCount_.at({o.pref, o.name}) != 1) continue;
            std::vector<std::string> same, any;
            for (const auto* other : oldsByPref_[o.pref]) {
                if (other->code == o.code || other->name == o.name) continue;
                (other->kind == o.kind ? same : any).push_back(other->kana);
            }
            Question q;
            if (!wrongFrom(same, o.kana, q)) {
                same.insert(same.end(), any.begin(), any.end());
                if (!wrongFrom(same, o.kana, q)) continue;
            }
            q.mark = "旧読";
            q.lead = "【読み】合併前の市町村名の読み方";
            q.text = std::string(kOldDate) + "時点の" + oldWhere(o) + "「" + o.name + "」（現在の" + m.name +
                     "）の読み方は？";
            q.explanation = o.name + "は「" + o.kana + "」と読む。" + mergerStory(o);
            q.notes = {"旧" + code5(o.code), "出典：e-Stat 廃置分合", ""};
            q.difficulty = 1.0 + hardness(m.population);
            add(std::move(q));
        }
    }

    // Other prefectures for a "which prefecture" question: the region first,
    // then the nearest by number.
    std::vector<std::string> otherPrefs(int pref, const std::function<bool(int)>& allowed) {
        std::vector<std::string> region, near;
        for (const auto& p : f_.prefs) {
            if (p.number == pref || !allowed(p.number)) continue;
            if (p.region == f_.pref(pref).region) region.push_back(p.name);
        }
        if (region.size() >= 3) return region;
        std::vector<int> order;
        for (const auto& p : f_.prefs)
            if (p.number != pref && p.region != f_.pref(pref).region && allowed(p.number)) order.push_back(p.number);
        std::stable_sort(order.begin(), order.end(),
                         [&](int a, int b) { return std::abs(a - pref) < std::abs(b - pref); });
        for (std::size_t i = 0; i < order.size() && region.size() + near.size() < 4; ++i)
            near.push_back(f_.pref(order[i]).name);
        region.insert(region.end(), near.begin(), near.end());
        return region;
    }

    // ---- 県名: the prefecture of a municipality --------------------------------------
    void prefectureOf() {
        for (const auto& m : f_.presents) {
            if (prefsOfName_[m.name].size() != 1) continue;  // 府中市 is in 東京都 and 広島県
            // 中央区 is also a ward of 札幌市, 千葉市, … : no single prefecture
            auto wards = f_.wardNames.find(m.name);
            if (wards != f_.wardNames.end() && (wards->second.size() > 1 || !wards->second.count(m.pref))) {
                ++report_.dropped["name twice in the asked scope (県名: also a ward of a designated city)"];
                continue;
            }
            const Prefecture& p = f_.pref(m.pref);
            std::string prefStem = stem(p.name);
            if (p.number == 1) prefStem = p.name;
            if (contains(m.name, prefStem)) continue;  // 青森市 gives its prefecture away
            auto candidates = otherPrefs(m.pref, [&](int other) { return !prefsOfName_[m.name].count(other); });
            Question q;
            if (!wrongFrom(candidates, p.name, q)) continue;
            q.mark = "県名";
            q.lead = "【都道府県】市町村がある都道府県";
            q.text = "「" + m.name + "」（" + m.kana + "）がある都道府県は？";
            q.explanation = profile(m);
            q.notes = {"市" + code5(m.code), "出典：e-Stat 市区町村コード", ""};
            q.difficulty = hardness(m.population);
            add(std::move(q));
        }
    }

    double distanceKm(double lon1, double lat1, double lon2, double lat2) const {
        double x = (lon1 - lon2) * std::cos((lat1 + lat2) / 2 * 3.141592653589793 / 180) * 111.3;
        double y = (lat1 - lat2) * 111.3;
        return std::sqrt(x * x + y * y);
    }

    // ---- 合併: the present municipality an old one joined -----------------------------
    void mergedInto() {
        for (const auto& [code, o] : f_.olds) {
            const PresentMuni& m = f_.present(o.present);
            if (!o.merged() || o.name == m.name) continue;
            if (oldNameCount_.at({o.pref, o.name}) != 1) continue;
            if (!o.alsoPartOf.empty()) continue;  // split between two: no single answer
            // the nearest other municipalities of the present prefecture
            std::vector<std::pair<double, const PresentMuni*>> near;
            for (const auto* other : byPref_[m.pref]) {
                if (other->code == m.code || other->name == m.name) continue;
                if (std::find(o.alsoPartOf.begin(), o.alsoPartOf.end(), other->code) != o.alsoPartOf.end()) continue;
                near.push_back({distanceKm(o.lon, o.lat, other->lon, other->lat), other});
            }
            std::stable_sort(near.begin(), near.end(),
                             [](const auto& a, const auto& b) { return a.first < b.first; });
            std::vector<std::string> candidates;
            for (std::size_t i = 0; i < near.size() && i < 8; ++i) candidates.push_back(near[i].second->name);
            Question q;
            if (!wrongFrom(candidates, m.name, q)) continue;
            q.mark = "合併";
            q.lead = "【合併】合併前の市町村の現在";
            q.text = std::string(kOldDate) + "時点の" + oldWhere(o) + "「" + o.name +
                     "」。合併により、現在はどの市町村の一部？";
            if (!o.gun.empty() && contains(o.gun, stem(m.name))) {
                // 栗原郡「築館町」 would give 栗原市 away: the name is unique in the prefecture without it
                q.text = std::string(kOldDate) + "時点の" + f_.pref(o.pref).name + "「" + o.name +
                         "」。合併により、現在はどの市町村の一部？";
                q.rewordings.push_back("district holding the answer's stem left out (合併)");
            }
            q.explanation = o.name + "（" + o.kana + "）は" + mergerStory(o) + "現在の" + m.name + "の区域には、" +
                            kOldDate + "時点で" + oldsList(m) + "があった。";
            if (!o.alsoPartOf.empty()) q.explanation += "（" + o.name + "の一部は" + f_.present(o.alsoPartOf.front()).name + "に編入）";
            q.notes = {"旧" + code5(o.code), "出典：e-Stat 廃置分合", ""};
            q.difficulty = 1.0 + hardness(m.population);
            add(std::move(q));
        }
    }

    // ---- 合年: the year of a merger --------------------------------------------------
    void mergerYear() {
        for (const auto& [code, o] : f_.olds) {
            const PresentMuni& m = f_.present(o.present);
            const Step* last = o.lastMerger();
            if (!last || oldNameCount_.at({o.pref, o.name}) != 1) continue;
            int answer = std::stoi(year(last->date));
            std::set<int> taken;
            for (const auto& st : o.history)
                if (st.isMerger()) taken.insert(std::stoi(year(st.date)));
            std::vector<std::string> candidates;
            for (int y = answer - 4; y <= answer + 4; ++y)
                if (y >= 1995 && y <= 2024 && !taken.count(y)) candidates.push_back(std::to_string(y) + "年");
            Question q;
            if (!wrongFrom(candidates, std::to_string(answer) + "年", q)) continue;
            q.mark = "合年";
            q.lead = "【合併】合併の年";
            q.text = std::string(kOldDate) + "時点の" + oldWhere(o) + "「" + o.name + "」が合併して、現在の" + m.name +
                     "の一部になったのは何年？";
            q.explanation = o.name + "（" + o.kana + "）は" + mergerStory(o);
            if (last->toName != m.name) q.explanation += "その" + last->toName + "が現在の" + m.name + "。";
            q.notes = {"旧" + code5(o.code), "出典：e-Stat 廃置分合", ""};
            q.difficulty = 1.5 + hardness(m.population);
            add(std::move(q));
        }
    }

    // ---- 県庁: the prefectural capital ------------------------------------------------
    void capitals() {
        for (const auto& p : f_.prefs) {
            const PresentMuni& cap = f_.present(p.capital);
            if (contains(p.name, stem(cap.name))) {  // 青森県 -> 青森市: the name answers
                ++report_.dropped["answer's stem in the prefecture's name (県庁)"];
                continue;
            }
            std::vector<const PresentMuni*> others;
            for (const auto* m : byPref_[p.number])
                if (m->code != cap.code) others.push_back(m);
            std::stable_sort(others.begin(), others.end(),
                             [](const PresentMuni* a, const PresentMuni* b) { return a->population > b->population; });
            Question q;
            q.mark = "県庁";
            q.answer = cap.name;
            for (int i = 0; i < 3; ++i) q.wrong[static_cast<std::size_t>(i)] = others.at(static_cast<std::size_t>(i))->name;
            q.lead = "【県庁所在地】都道府県庁のある市町村";
            q.text = p.name + "の" + p.officeWord() + "がある市町村は？";
            bool largest = others.front()->population < cap.population;
            const std::string inside = p.officeWord().substr(0, p.officeWord().size() - std::string("庁").size()) + "内";
            q.explanation = p.name + "の" + p.officeWord() + "所在地は" + cap.name + "（" + cap.kana + "）。人口" +
                            withCommas(cap.population) + "人（2020年国勢調査）" +
                            (largest ? "で" + inside + "最多。" : "。" + inside + "で最も人口が多いのは" + others.front()->name + "（" +
                                                         withCommas(others.front()->population) + "人）。");
            q.notes = {"県" + std::string(p.number < 10 ? "0" : "") + std::to_string(p.number), "出典：国土数値情報・dataofjapan/land", ""};
            q.difficulty = largest ? 0.0 : 2.0;
            add(std::move(q));
        }
    }

    // ---- 人口, 面積: which is largest or smallest --------------------------------------------
    void ranking(const std::string& mark, const std::string& what, const std::string& more, const std::string& less,
                 const std::function<long long(const PresentMuni&)>& value,
                 const std::function<std::string(long long)>& show, const std::string& source) {
        auto explain = [&](const std::vector<const PresentMuni*>& four) {
            std::string s = what + "（" + source + "）：";
            for (std::size_t i = 0; i < four.size(); ++i)
                s += (i ? "、" : "") + four[i]->name + " " + show(value(*four[i]));
            s += "。";
            if (mark == "人口")
                for (const auto* m : four) s += populationNote(*m);
            return s;
        };
        auto ask = [&](const Prefecture& p, std::vector<const PresentMuni*> four, bool most, const std::string& text,
                        double difficulty) {
            // four[0] is the answer; it must beat the other three strictly
            for (std::size_t i = 1; i < 4; ++i) {
                if (most ? value(*four[i]) >= value(*four[0]) : value(*four[i]) <= value(*four[0])) return;
            }
            Question q;
            q.mark = mark;
            q.answer = four[0]->name;
            for (std::size_t i = 0; i < 3; ++i) q.wrong[i] = four[i + 1]->name;
            q.lead = "【" + what + "】" + p.name + "の市町村";
            q.text = text;
            auto sorted = four;
            std::stable_sort(sorted.begin(), sorted.end(),
                             [&](const PresentMuni* a, const PresentMuni* b) { return value(*a) > value(*b); });
            q.explanation = explain(sorted);
            if (text.rfind(p.name + "（", 0) == 0) {  // the whole prefecture, with its scope said
                const std::size_t open = p.name.size() + std::string("（").size();
                q.explanation = text.substr(open, text.find("）") - open) + "。" + q.explanation;
                q.rewordings.push_back("whole " + p.name + ": scope said (" + mark + ")");
            }
            q.notes = {"県" + std::string(p.number < 10 ? "0" : "") + std::to_string(p.number), "出典：統計センター SSDSE-A", ""};
            q.difficulty = difficulty;
            add(std::move(q));
        };
        for (const auto& p : f_.prefs) {
            auto all = byPref_[p.number];
            // names must tell the four apart within the prefecture (they do: one name per prefecture)
            std::vector<const PresentMuni*> desc = all;
            std::stable_sort(desc.begin(), desc.end(),
                             [&](const PresentMuni* a, const PresentMuni* b) { return value(*a) > value(*b); });
            if (desc.size() < 4) continue;
            ask(p, {desc[0], desc[1], desc[2], desc[3]}, true,
                 wholeScope(p) + "で" + what + "が最も" + more + "市町村は？", 0.0);
            std::size_t n = desc.size();
            ask(p, {desc[n - 1], desc[n - 2], desc[n - 3], desc[n - 4]}, false,
                 wholeScope(p) + "で" + what + "が最も" + less + "市町村は？", 3.0);
            // random foursomes: about one for every two municipalities
            foursomes(all, (n + 1) / 2, [&](std::vector<const PresentMuni*> four) {
                bool most = rng_.below(2) == 0;
                std::stable_sort(four.begin(), four.end(), [&](const PresentMuni* a, const PresentMuni* b) {
                    return most ? value(*a) > value(*b) : value(*a) < value(*b);
                });
                // present the wrong choices in random order
                std::vector<const PresentMuni*> rest(four.begin() + 1, four.end());
                rest = pick(rest, 3);
                std::vector<const PresentMuni*> ordered{four[0], rest[0], rest[1], rest[2]};
                double a = static_cast<double>(std::max<long long>(1, value(*four[0])));
                double b = static_cast<double>(std::max<long long>(1, value(*four[1])));
                double closeness = 4.0 - std::fabs(std::log10(a / b)) * 6.0;
                // the screens show no choices: the question names the four, in random order
                auto shown = pick(ordered, 4);
                std::string names;
                for (const auto* m : shown) names += (names.empty() ? "" : "・") + m->name;
                ask(p, ordered, most,
                    "次の4つのうち、" + what + "が最も" + (most ? more : less) + "のは？　" + names + "（" + p.name + "）",
                    closeness);
            });
        }
    }

    // ---- 標語: whose catchphrase -----------------------------------------------------
    void catchphrases() {
        for (const auto& m : f_.presents) {
            const std::string& ph = m.phrase;
            if (chars(ph) < 5 || cp932Bytes(ph) > kMemoBytes || phraseCount_[ph] != 1) continue;
            if (mentions(ph, m)) continue;
            bool namesOld = false;  // an old name inside the phrase points at the answer too
            for (int code : m.olds) {
                const OldMuni& o = f_.olds.at(code);
                if (contains(ph, o.name) || contains(ph, stem(o.name))) namesOld = true;
            }
            if (namesOld) continue;
            if (pointsAt(ph, m.name)) {  // 田舎館村「田舎だーって…」
                ++report_.dropped["catchphrase holding part of the answer's name (標語)"];
                continue;
            }
            std::vector<std::string> candidates;
            bool ruledOut = false;
            for (const auto* other : byPref_[m.pref]) {
                if (other->code == m.code || other->phrase == ph || mentions(ph, *other)) continue;
                if (pointsAt(ph, other->name)) {  // 野迫川村「…奥吉野…」 would point at 東吉野村
                    ruledOut = true;
                    continue;
                }
                candidates.push_back(other->name);
            }
            bool ruledOutChoice = ruledOut;
            Question q;
            if (!wrongFrom(candidates, m.name, q)) continue;
            q.mark = "標語";
            if (ruledOutChoice) q.rewordings.push_back("wrong choices named in the catchphrase kept out (標語)");
            q.lead = "【キャッチフレーズ】" + f_.pref(m.pref).name + "の市町村";
            q.text = "「" + ph + "」をキャッチフレーズとする市町村は？";
            q.explanation = m.name + "のキャッチフレーズ。" + profile(m);
            q.notes = {"市" + code5(m.code), "出典：code4fukui/localgovjp", ""};
            q.difficulty = 1.0 + hardness(m.population);
            add(std::move(q));
        }
    }

    // ---- 郡名: the district of a town or village ------------------------------------------
    void districts() {
        std::map<std::pair<int, std::string>, std::vector<const PresentMuni*>> members;
        for (const auto& m : f_.presents)
            if (!m.district.empty()) members[{m.pref, m.district}].push_back(&m);
        for (const auto& m : f_.presents) {
            if (m.district.empty()) continue;
            std::vector<std::string> candidates;
            for (const auto& [key, list] : members)
                if (key.first == m.pref && key.second != m.district) candidates.push_back(key.second);
            Question q;
            if (!wrongFrom(candidates, m.district, q)) continue;
            std::string list;
            for (const auto* o : members[{m.pref, m.district}]) list += (list.empty() ? "" : "・") + o->name;
            q.mark = "郡名";
            q.lead = "【郡】町村が属する郡";
            q.text = scopeOf(m, q) + "の「" + m.name + "」が属する郡は？";
            q.explanation = m.name + "（" + m.kana + "）は" + f_.pref(m.pref).name + m.district + "の" + m.kind + "。";
            if (const SameNamedDistrict* d = sameNamed(m)) {
                // 上川郡 is three districts: name the one and list only its towns
                int n = 0;
                for (const auto& other : hokkaidoSameNamedDistricts()) n += m.district == other.district;
                std::string towns;
                for (const char* t : d->towns) towns += (towns.empty() ? "" : "・") + std::string(t);
                q.explanation += "北海道には" + m.district + "が" + std::to_string(n) + "つあり、" + m.name + "は" +
                                 d->province + "の" + m.district + "（" + towns + "）。";
                q.rewordings.push_back("explanation: same-named 北海道 district named (郡名)");
            } else if (chars(q.explanation + m.district + "に属する町村は" + list + "。") <= kExplanationChars) {
                q.explanation += m.district + "に属する町村は" + list + "。";
            }
            q.notes = {"市" + code5(m.code), "出典：e-Stat 市区町村コード", ""};
            q.difficulty = 0.5 + hardness(m.population);
            add(std::move(q));
        }
    }

    // ---- 旧数: how many old municipalities ---------------------------------------------
    void oldCounts() {
        for (const auto& m : f_.presents) {
            if (!m.merged() || splitTouched_.count(m.code)) continue;
            int n = static_cast<int>(m.olds.size());
            std::vector<std::string> candidates;
            for (int k = std::max(2, n - 3); k <= n + 3; ++k)
                if (k != n) candidates.push_back(std::to_string(k) + "市町村");
            Question q;
            if (!wrongFrom(candidates, std::to_string(n) + "市町村", q)) continue;
            q.mark = "旧数";
            q.lead = "【合併】合併した市町村の数";
            q.text = std::string(kOldDate) + "時点の市町村のうち、現在の" + scopeOf(m, q) + "「" + m.name +
                     "」の区域にあったのはいくつ？";
            q.explanation = "現在の" + m.name + "の区域には、" + kOldDate + "時点で" + oldsList(m) + "があった。";
            q.notes = {"市" + code5(m.code), "出典：e-Stat 廃置分合", ""};
            q.difficulty = 1.0 + hardness(m.population) + 0.1 * n;
            add(std::move(q));
        }
    }

    // ---- geography: neighbours, borders, outermost, direction and distance --------

    const std::string kBorderSource = "出典：国土数値情報 行政区域（2021年）";
    const std::string kHallSource = "出典：code4fukui/localgovjp";

    bool touches(const PresentMuni& a, int code) const {
        return std::binary_search(a.neighbours.begin(), a.neighbours.end(), code);
    }
    // May touch: not to be offered as a municipality that does not.
    bool mayTouch(const PresentMuni& a, int code) const {
        return touches(a, code) || std::binary_search(a.mayTouch.begin(), a.mayTouch.end(), code);
    }
    // A border within the prefecture long enough to ask about (to see on the map).
    static bool askable(const PresentMuni& a, int code) {
        auto it = a.borderKm.find(code);
        return it != a.borderKm.end() && it->second >= kAskKm;
    }

    // Two names of which one holds the other without its kind (相馬市, 南相馬市):
    // offered together, they point at each other.
    static bool nameClash(const std::string& a, const std::string& b) {
        return contains(b, stem(a)) || contains(a, stem(b));
    }

    // "札幌市役所", "倶知安町役場"
    static std::string hall(const PresentMuni& m) {
        return m.name + (m.kind == "市" || m.kind == "区" ? "役所" : "役場");
    }

    // The town hall stands in its own municipality (三島村's and 十島村's stand in
    // 鹿児島市, 竹富町's in 石垣市, 双葉町's in いわき市): questions on town halls
    // are asked only of these.
    bool hallAskable(const PresentMuni& m, const std::string& mark) {
        if (!m.hasHall) return false;
        if (!m.hallInside) {
            ++report_.dropped["town hall outside its municipality (" + mark + ")"];
            return false;
        }
        return true;
    }

    // The four names in random order, as a comparison question lists them.
    std::string listed(std::vector<std::string> four) {
        std::string names;
        for (const auto& n : pick(four, four.size())) names += (names.empty() ? "" : "・") + n;
        return names;
    }

    // The names of the municipalities, those of `pref` first, then those of the
    // other prefectures with their prefecture, each in code order.
    std::string nameList(std::vector<int> codes, int pref) const {
        std::stable_sort(codes.begin(), codes.end(), [&](int a, int b) {
            const bool ownA = f_.present(a).pref == pref, ownB = f_.present(b).pref == pref;
            return ownA != ownB ? ownA : a < b;
        });
        std::string s;
        for (int c : codes) {
            const PresentMuni& o = f_.present(c);
            s += (s.empty() ? "" : "・") + o.name + (o.pref != pref ? "（" + f_.pref(o.pref).name + "）" : "");
        }
        return s;
    }

    // "このほか朝霞市（埼玉県）ともわずかに接する可能性がある。": the municipalities
    // across a prefecture border whose border, if any, is shorter than kNeighbourKm
    // (the two files were simplified apart: whether they touch is left open).
    std::string nearlyNote(const std::vector<int>& codes, int pref) const {
        if (codes.empty()) return {};
        return "このほか" + nameList(codes, pref) + "ともわずかに接する可能性がある。";
    }

    // Wrong choices for "which of these touches …": municipalities of the
    // prefecture that do not, the nearest first (they look as likely).
    std::vector<std::string> nearestNot(const PresentMuni& m, const std::function<bool(const PresentMuni&)>& excluded,
                                        std::size_t nearest) {
        std::vector<std::pair<double, const PresentMuni*>> near;
        for (const auto* o : byPref_[m.pref])
            if (o->code != m.code && !excluded(*o) && !shadowed(*o))
                near.push_back({distanceKm(m.lon, m.lat, o->lon, o->lat), o});
        std::stable_sort(near.begin(), near.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        std::vector<std::string> out;
        for (std::size_t i = 0; i < near.size() && i < nearest; ++i) out.push_back(near[i].second->name);
        return out;
    }

    // ---- 隣接: which of four touches a municipality ------------------------------------
    // 北海道's 泊村 shares its name with a village of the Northern Territories: the
    // geography questions, which name several municipalities, leave it out.
    bool shadowed(const PresentMuni& m) {
        if (m.pref != 1 || !f_.northernVillages.count(m.name)) return false;
        shadowedNames_.insert(m.name);
        return true;
    }

    void neighbourKind() {
        for (const auto& m : f_.presents) {
            if (shadowed(m)) continue;
            std::vector<const PresentMuni*> inside;
            for (int c : m.neighbours) {
                const PresentMuni& o = f_.present(c);
                if (o.pref != m.pref || shadowed(o)) continue;
                if (!askable(m, c)) {
                    ++report_.dropped["border under " + kmFigure(kAskKm) + " km not asked (隣接 answers)"];
                    continue;
                }
                if (nameClash(m.name, o.name)) {  // 砂川市 -> 上砂川町
                    ++report_.dropped["answer and subject holding each other's name (隣接 answers)"];
                    continue;
                }
                inside.push_back(&o);
            }
            if (inside.empty()) continue;
            // a second question where there are many neighbours to choose from
            for (const auto* answer : pick(inside, inside.size() >= kNeighboursForTwo ? 2 : 1)) {
                // wrong choices: the nearest of the prefecture that do not touch it, and
                // none whose name and the answer's hold each other (相馬市, 南相馬市)
                auto notTouching = [&](const PresentMuni& o) { return mayTouch(m, o.code); };
                auto wrongPool = nearestNot(m, [&](const PresentMuni& o) {
                    return notTouching(o) || nameClash(answer->name, o.name);
                }, 6);
                bool keptOut = false;
                for (const auto& name : nearestNot(m, notTouching, 6)) keptOut |= nameClash(answer->name, name);
                Question q;
                if (!wrongFrom(wrongPool, answer->name, q)) continue;
                q.mark = "隣接";
                if (keptOut) q.rewordings.push_back("wrong choice holding the answer's name kept out (隣接)");
                q.lead = "【隣接】" + f_.pref(m.pref).name + "の市町村";
                q.text = "次の4つのうち、「" + m.name + "」と隣り合う市町村は？　" +
                         listed({q.answer, q.wrong[0], q.wrong[1], q.wrong[2]}) + "（" + f_.pref(m.pref).name + "）";
                const std::string wrongs = q.wrong[0] + "・" + q.wrong[1] + "・" + q.wrong[2] + "とは接していない。";
                q.explanation = m.name + "（" + m.kana + "）と境を接する市町村は" + nameList(m.neighbours, m.pref) +
                                "。" + nearlyNote(m.nearly, m.pref) + wrongs;
                if (chars(q.explanation) > kExplanationChars)
                    q.explanation = m.name + "（" + m.kana + "）は" + answer->name + "と境を接している。" + wrongs;
                q.notes = {"市" + code5(m.code), kBorderSource, ""};
                q.difficulty = 1.0 + 0.5 * hardness(m.population) + 0.5 * hardness(answer->population);
                if (!touches(m, answer->code)) throw std::runtime_error("neighbour that does not touch: " + q.text);
                add(std::move(q));
            }
        }
    }

    static std::string kmFigure(double km) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%g", km);
        return buf;
    }

    // ---- 県境: which of four touches another prefecture ----------------------------------
    void borderKind() {
        for (const auto& m : f_.presents) {
            if (shadowed(m)) continue;
            std::map<int, double> prefs;  // other prefecture -> km of border with it
            for (int c : m.neighbours)
                if (f_.present(c).pref != m.pref) prefs[f_.present(c).pref] += m.borderKm.at(c);
            for (const auto& [other, km] : prefs) {
                if (km < kAskCrossKm) {
                    ++report_.dropped["border under " + kmFigure(kAskCrossKm) + " km not asked (県境)"];
                    continue;
                }
                auto touchesOther = [&](const PresentMuni& o) {
                    for (int c : o.neighbours)
                        if (f_.present(c).pref == other) return true;
                    return false;
                };
                auto mayTouchOther = [&](const PresentMuni& o) {
                    if (touchesOther(o)) return true;
                    for (int c : o.mayTouch)
                        if (f_.present(c).pref == other) return true;
                    return false;
                };
                auto wrongPool = nearestNot(m, [&](const PresentMuni& o) {
                    return mayTouchOther(o) || nameClash(m.name, o.name);
                }, 6);
                bool keptOut = false;
                for (const auto& name : nearestNot(m, mayTouchOther, 6)) keptOut |= nameClash(m.name, name);
                Question q;
                if (!wrongFrom(wrongPool, m.name, q)) continue;
                std::vector<int> across, nearlyAcross;
                for (int c : m.neighbours)
                    if (f_.present(c).pref == other) across.push_back(c);
                for (int c : m.nearly)
                    if (f_.present(c).pref == other) nearlyAcross.push_back(c);
                const std::string otherName = f_.pref(other).name;
                q.mark = "県境";
                if (keptOut) q.rewordings.push_back("wrong choice holding the answer's name kept out (県境)");
                q.lead = "【県境】" + f_.pref(m.pref).name + "の市町村";
                q.text = "次の4つのうち、" + otherName + "と接している市町村は？　" +
                         listed({q.answer, q.wrong[0], q.wrong[1], q.wrong[2]}) + "（" + f_.pref(m.pref).name + "）";
                const std::string wrongs =
                    q.wrong[0] + "・" + q.wrong[1] + "・" + q.wrong[2] + "は" + otherName + "と接していない。";
                q.explanation = m.name + "（" + m.kana + "）は" + otherName + "の" + nameList(across, other) +
                                "と境を接している。" + nearlyNote(nearlyAcross, other) + wrongs;
                if (chars(q.explanation) > kExplanationChars)
                    q.explanation = m.name + "（" + m.kana + "）は" + otherName + "と境を接している。" + wrongs;
                q.notes = {"市" + code5(m.code), kBorderSource, ""};
                q.difficulty = 1.0 + hardness(m.population);
                if (!touchesOther(m)) throw std::runtime_error("border that does not touch: " + q.text);
                add(std::move(q));
            }
        }
    }

    // ---- 四端: the outermost municipality of a prefecture, or of four town halls ---------
    void outermost() {
        struct Way {
            const char* name;  // 北, 南, 東, 西
            std::size_t index;  // in PresentMuni::farPlace
            std::function<double(const PresentMuni&)> reach;  // larger is further out
            std::function<double(const PresentMuni&)> hallReach;
        };
        const std::vector<Way> ways = {
            {"北", 0, [](const PresentMuni& m) { return m.north; }, [](const PresentMuni& m) { return m.hallLat; }},
            {"南", 1, [](const PresentMuni& m) { return -m.south; }, [](const PresentMuni& m) { return -m.hallLat; }},
            {"東", 2, [](const PresentMuni& m) { return m.east; }, [](const PresentMuni& m) { return m.hallLon; }},
            {"西", 3, [](const PresentMuni& m) { return -m.west; }, [](const PresentMuni& m) { return -m.hallLon; }},
        };
        auto degrees = [](double v) {
            char buf[32];
            std::snprintf(buf, sizeof buf, "%.2f度", std::fabs(v));
            return std::string(buf);
        };
        auto axis = [](const std::string& way) { return way == "北" || way == "南" ? std::string("北緯") : std::string("東経"); };
        // how far ahead the first lies, in km (a degree of longitude shrinks with the latitude)
        auto aheadKm = [](const Way& w, const PresentMuni& first, const PresentMuni& second) {
            const double d = w.reach(first) - w.reach(second);
            if (w.index < 2) return d * 110.57;
            const double lat = (first.north + first.south) / 2;
            return d * 111.32 * std::cos(lat * 3.141592653589793 / 180);
        };
        for (const auto& p : f_.prefs) {
            std::vector<const PresentMuni*> all, halls;
            for (const auto* m : byPref_[p.number])
                if (m->hasShape && !shadowed(*m)) all.push_back(m);
            if (all.size() < 4) continue;
            for (const auto& w : ways) {
                auto desc = all;
                std::stable_sort(desc.begin(), desc.end(),
                                 [&](const PresentMuni* a, const PresentMuni* b) { return w.reach(*a) > w.reach(*b); });
                // the extents of the files differ by up to 1.5 km: a closer race is no question
                if (aheadKm(w, *desc[0], *desc[1]) < kExtentMarginKm) {
                    ++report_.dropped["extreme ahead by under " + kmFigure(kExtentMarginKm) + " km (四端)"];
                    continue;
                }
                Question q;
                q.mark = "四端";
                q.answer = desc[0]->name;
                for (std::size_t i = 0; i < 3; ++i) q.wrong[i] = desc[i + 1]->name;
                q.lead = "【位置】" + p.name + "の市町村";
                q.text = wholeScope(p) + "で、最も" + w.name + "まで区域が広がっている市町村は？";
                if (p.number == 1 || p.number == 13)
                    q.rewordings.push_back("whole " + p.name + ": scope said (四端)");
                auto figure = [&](const PresentMuni& m) {
                    const std::string& place = m.farPlace[w.index];
                    return (place.empty() ? "" : place + "、") + degrees(w.reach(m));
                };
                q.explanation = wholeScope(p) + "の" + w.name + "端は" + desc[0]->name + "（" +
                                (desc[0]->farPlace[w.index].empty() ? "" : desc[0]->farPlace[w.index] + "、") +
                                axis(w.name) + degrees(w.reach(*desc[0])) + "）。次いで";
                for (std::size_t i = 1; i < 4; ++i)
                    q.explanation += (i > 1 ? "、" : "") + desc[i]->name + "（" + figure(*desc[i]) + "）";
                q.explanation += "。";
                if (!desc[0]->farPlace[w.index].empty())
                    q.rewordings.push_back("extent with land lost to the simplification (" +
                                           desc[0]->farPlace[w.index] + ", 四端)");
                if (p.number == 1 && w.index == 2)
                    q.rewordings.push_back("extent without the Northern Territories (根室市, 四端)");
                q.notes = {"県" + std::string(p.number < 10 ? "0" : "") + std::to_string(p.number), kBorderSource, ""};
                q.difficulty = 1.5;
                add(std::move(q));
            }
            for (const auto* m : all)
                if (hallAskable(*m, "四端")) halls.push_back(m);
            if (halls.size() < 4) continue;
            // foursomes by town hall: about one for every three municipalities
            foursomes(halls, (all.size() + 2) / 3, [&](std::vector<const PresentMuni*> four) {
                const Way& w = ways[rng_.below(4)];
                std::stable_sort(four.begin(), four.end(), [&](const PresentMuni* a, const PresentMuni* b) {
                    return w.hallReach(*a) > w.hallReach(*b);
                });
                // at least 0.02 degrees (about 2 km) ahead of the next, so that no source's rounding decides
                if (w.hallReach(*four[0]) - w.hallReach(*four[1]) < 0.02) return;
                Question q;
                q.mark = "四端";
                q.answer = four[0]->name;
                auto rest = pick(std::vector<const PresentMuni*>(four.begin() + 1, four.end()), 3);
                for (std::size_t i = 0; i < 3; ++i) q.wrong[i] = rest[i]->name;
                q.lead = "【位置】" + p.name + "の市町村";
                q.text = std::string("次の4つのうち、役所・役場が最も") + w.name + "にあるのは？　" +
                         listed({q.answer, q.wrong[0], q.wrong[1], q.wrong[2]}) + "（" + p.name + "）";
                q.explanation = "役所・役場の位置（" + axis(w.name) + "）：";
                for (std::size_t i = 0; i < 4; ++i)
                    q.explanation += (i ? "、" : "") + hall(*four[i]) + " " +
                                     degrees(w.name == std::string("北") || w.name == std::string("南") ? four[i]->hallLat
                                                                                                        : four[i]->hallLon);
                q.explanation += "。";
                q.notes = {"県" + std::string(p.number < 10 ? "0" : "") + std::to_string(p.number), kHallSource, ""};
                double gap = w.hallReach(*four[0]) - w.hallReach(*four[1]);
                q.difficulty = 2.5 - std::log10(gap * 100);
                add(std::move(q));
            });
        }
    }

    // ---- 方角, 距離: a town hall seen from the prefectural capital's -----------------------
    // 5 km steps below 100 km, 10 km below 1,000 km, then 50 km; never below one step
    static double shownKm(double km) {
        const long long step = km < 100 ? 5 : km < 1000 ? 10 : 50;
        return static_cast<double>(std::max(step, std::llround(km / static_cast<double>(step)) * step));
    }
    static std::string kmText(double km) { return "約" + withCommas(std::llround(shownKm(km))) + "km"; }
    // The shown distance is clear when the ellipsoid and the sphere give it alike,
    // each at least kRoundingMarginKm from the next step.
    static bool clearlyShown(double ellipsoid, double sphere) {
        const double shown = shownKm(ellipsoid);
        for (double km : {ellipsoid, sphere})
            for (double d : {-kRoundingMarginKm, 0.0, kRoundingMarginKm})
                if (shownKm(km + d) != shown) return false;
        return true;
    }
    // The directions a name holds (東神楽町 -> 東): a question naming it gives away
    // an answer made of them (北東).
    static bool holdsDirectionOf(const std::string& name, const std::string& answer) {
        for (const char* d : {"北", "南", "東", "西"})
            if (contains(answer, d) && contains(name, d)) return true;
        return false;
    }

    void directionAndDistance() {
        const auto& names = compassNames();
        for (const auto& p : f_.prefs) {
            const PresentMuni& cap = f_.present(p.capital);
            if (!cap.hasHall || !cap.hallInside) continue;
            for (const auto* m : byPref_[p.number]) {
                if (m->code == cap.code || !m->hasHall || shadowed(*m)) continue;
                if (!m->hallInside) {
                    ++report_.dropped["town hall outside its municipality (方角, 距離)"];
                    continue;
                }
                const double km = ellipsoidKm(cap.hallLon, cap.hallLat, m->hallLon, m->hallLat);
                const double sphere = greatCircleKm(cap.hallLon, cap.hallLat, m->hallLon, m->hallLat);
                if (km < 5) continue;  // too close for a direction to teach anything
                const Bearing b = bearingBetween(cap.hallLon, cap.hallLat, m->hallLon, m->hallLat);
                const Bearing g = greatCircleBearing(cap.hallLon, cap.hallLat, m->hallLon, m->hallLat);
                const bool sameSector = b.sector == g.sector;
                const std::string direction = names[static_cast<std::size_t>(b.sector)];
                // clearly inside one of the eight directions, on the map and by the great circle
                if (b.offMiddle <= kOffMiddleMax && sameSector && g.offMiddle <= kOffMiddleMax) {
                    if (holdsDirectionOf(m->name + cap.name, direction)) {
                        ++report_.dropped["a name holding the answer's direction (方角)"];
                    } else {
                        std::vector<std::string> candidates;
                        for (int k = 0; k < 8; ++k)
                            if (k != b.sector) candidates.push_back(names[static_cast<std::size_t>(k)]);
                        Question q;
                        if (wrongFrom(candidates, direction, q)) {
                            q.mark = "方角";
                            // the capital names the prefecture; a prefecture name in the text
                            // would hold a direction (北海道)
                            q.lead = "【方角】役所・役場の方角";
                            q.text = p.officeWord().substr(0, p.officeWord().size() - std::string("庁").size()) +
                                     "庁所在地「" + cap.name + "」の" +
                                     (cap.kind == "市" || cap.kind == "区" ? "役所" : "役場") + "から見て、「" + m->name +
                                     "」の" + (m->kind == "市" || m->kind == "区" ? "役所" : "役場") +
                                     "はどの方角？（8方位）";
                            char deg[16];
                            std::snprintf(deg, sizeof deg, "%d", static_cast<int>(std::lround(b.degrees)) % 360);
                            q.explanation = hall(*m) + "は" + hall(cap) + "から見て" + q.answer + "（北から時計回りに" +
                                            deg + "度）、直線距離で約" + withCommas(std::llround(km)) + "km。";
                            q.notes = {"市" + code5(m->code), kHallSource, ""};
                            q.difficulty = 1.0 + 0.7 * hardness(m->population) + b.offMiddle / 15.0;
                            add(std::move(q));
                        }
                    }
                } else if (b.offMiddle <= 15) {
                    ++report_.dropped["direction within 7.6° of a boundary on the map or by the great circle (方角)"];
                }
                if (km < 8) continue;
                if (!clearlyShown(km, sphere)) {
                    ++report_.dropped["distance on a rounding boundary (距離)"];
                    continue;
                }
                // wrong distances, as shown, at least 1.4 times off the true distance, the
                // answer and each other (約10km is not wrong enough for 13 km)
                const std::string answer = kmText(km);
                std::vector<std::string> candidates;
                std::vector<double> taken{km, shownKm(km)};
                for (double f : {0.5, 2.0, 0.3, 3.0, 1.6, 0.65, 4.0, 0.2}) {
                    const double d = shownKm(km * f);
                    bool apart = true;
                    for (double t : taken) apart &= std::max(d, t) / std::min(d, t) >= 1.4;
                    if (apart) {
                        candidates.push_back(kmText(km * f));
                        taken.push_back(d);
                    }
                }
                Question q;
                if (wrongFrom(candidates, answer, q)) {
                    q.mark = "距離";
                    q.lead = "【距離】" + p.name + "の市町村";
                    q.text = hall(cap) + "から" + hall(*m) + "までの直線距離は？（" + p.name + "）";
                    // the direction: its name when the map and the great circle agree, else both
                    const std::string way =
                        sameSector ? direction + (b.offMiddle > 15 || g.offMiddle > 15 ? "寄り" : "")
                                   : direction + "と" + names[static_cast<std::size_t>(g.sector)] + "の間";
                    q.explanation = hall(*m) + "は" + hall(cap) + "から直線距離で" + answer + "（" +
                                    withCommas(std::llround(km)) + "km）、方角は" + way + "。";
                    q.notes = {"市" + code5(m->code), kHallSource, ""};
                    q.difficulty = 1.5 + 0.7 * hardness(m->population);
                    add(std::move(q));
                }
            }
        }
    }

    static bool pointsAt(const std::string& text, const std::string& name) {
        for (const auto& piece : namePieces(name))
            if (contains(text, piece)) return true;
        return false;
    }

    static const SameNamedDistrict* sameNamed(const PresentMuni& m) {
        if (m.pref != 1) return nullptr;
        for (const auto& d : hokkaidoSameNamedDistricts())
            if (m.district == d.district)
                for (const char* t : d.towns)
                    if (m.name == t) return &d;
        return nullptr;
    }

    // A name met often in other questions is better known: every time the
    // answer stands among the choices of another question lowers the difficulty.
    void weighByFrequency() {
        std::map<std::string, int> seen;
        for (const auto& q : out_) {
            ++seen[q.answer];
            for (const auto& w : q.wrong) ++seen[w];
        }
        for (auto& q : out_) {
            if (!answersWithName(q.mark)) continue;
            const int others = seen[q.answer] - 1;
            q.difficulty -= 0.3 * std::log2(1.0 + others);
        }
    }

    void markDoublePoints() {
        std::vector<std::size_t> order(out_.size());
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return out_[a].difficulty > out_[b].difficulty; });
        for (const auto& n : shadowedNames_)
            report_.notes.push_back("left out of the geography kinds (a village of the Northern Territories has the name): " + n);
        std::size_t tenth = out_.size() / 10;
        for (std::size_t i = 0; i < tenth; ++i) out_[order[i]].doublePoint = 1;
        report_.notes.push_back("double-point questions: " + std::to_string(tenth));
    }

    const Facts& f_;
    QuestionReport& report_;
    SplitMix64 rng_;
    std::map<int, std::vector<const PresentMuni*>> byPref_;
    std::map<int, std::vector<const OldMuni*>> oldsByPref_;
    std::map<std::string, std::set<int>> prefsOfName_;
    std::map<std::pair<int, std::string>, int> oldNameCount_;
    std::map<std::string, int> phraseCount_;
    std::set<int> splitTouched_;
    std::set<std::string> keys_;
    std::set<std::string> shadowedNames_;
    std::map<std::string, int> numbers_;
    std::vector<Question> out_;
};

}  // namespace

std::string withCommas(long long n) {
    std::string digits = std::to_string(n < 0 ? -n : n);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return n < 0 ? "-" + out : out;
}

const std::vector<SameNamedDistrict>& hokkaidoSameNamedDistricts() {
    static const std::vector<SameNamedDistrict> table = {
        {"上川郡", "石狩国", {"鷹栖町", "東神楽町", "当麻町", "比布町", "愛別町", "上川町", "東川町", "美瑛町"}},
        {"上川郡", "天塩国", {"和寒町", "剣淵町", "下川町"}},
        {"上川郡", "十勝国", {"新得町", "清水町"}},
        {"中川郡", "天塩国", {"美深町", "音威子府村", "中川町"}},
        {"中川郡", "十勝国", {"幕別町", "池田町", "豊頃町", "本別町"}},
    };
    return table;
}

std::vector<std::string> namePieces(const std::string& name) {
    const std::u32string u = decode(stem(name));
    std::vector<std::string> out;
    for (std::size_t i = 0; i + 1 < u.size(); ++i)
        if (!isHiragana(u[i]) || !isHiragana(u[i + 1])) out.push_back(encode(u.substr(i, 2)));
    return out;
}

std::string withoutPrefectures(const std::string& text, const Facts& facts) {
    std::string out = text;
    for (const auto& p : facts.prefs)
        for (std::size_t at; (at = out.find(p.name)) != std::string::npos;) out.replace(at, p.name.size(), "／");
    return out;
}

std::string askedPart(const std::string& lead, const std::string& text) {
    return lead + "\n" + text.substr(0, text.find("？"));
}

std::string formatDifficulties(const std::vector<Question>& questions, TextPolicy& policy) {
    std::string out = CsvLine(policy).text("問題難度").number(1).number(static_cast<long long>(questions.size())).str();
    for (const auto& q : questions)
        out += CsvLine(policy).text(q.mark).number(q.number).number(std::llround(q.difficulty * 100)).str();
    return out;
}

std::vector<Question> generateQuestions(const Facts& facts, QuestionReport& report) {
    return Generator(facts, report).run();
}

std::string formatQuestions(const std::vector<Question>& questions, TextPolicy& policy) {
    std::string out;
    for (const auto& q : questions) {
        CsvLine l(policy);
        l.text(q.mark).number(q.number).empty();
        for (const auto& w : q.wrong) l.text(w);
        l.text(q.answer).empty().empty().empty();
        l.text(q.explanation);
        for (const auto& n : q.notes) {
            if (n.empty()) l.empty(); else l.text(n);
        }
        l.empty().number(q.doublePoint).text(q.lead).text(q.text);
        if (l.fields() != 18) throw std::runtime_error("question line is not 18 fields");
        out += l.str();
    }
    return out;
}

}  // namespace makedata
