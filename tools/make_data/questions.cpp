#include "questions.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <numeric>
#include <set>
#include <stdexcept>

#include "masters.h"

namespace makedata {
namespace {

constexpr std::uint64_t kSeed = 0x7461'6269'6E6F'7761ULL;  // "tabinowa"
constexpr const char* kOldDate = "1999年3月31日";

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
        // a question that holds its own answer teaches nothing (上湧別町 -> 湧別町);
        // comparisons name their candidates and year questions a date on purpose
        if (q.mark != "人口" && q.mark != "面積" && q.mark != "合年" &&
            (q.lead + q.text).find(q.answer) != std::string::npos) {
            ++report_.byKind["(answer in the question, dropped)"];
            return;
        }
        std::string key = q.lead + "\n" + q.text + "\n" + q.answer;
        for (const auto& c : choices) key += "\n" + c;
        if (!keys_.insert(key).second) {
            ++report_.byKind["(duplicates dropped)"];
            return;
        }
        q.number = ++numbers_[q.mark];
        if (q.number > 32767) fail("number");
        ++report_.byKind[q.mark];
        out_.push_back(std::move(q));
    }

    std::string where(const PresentMuni& m) const { return f_.pref(m.pref).name + m.district; }

    std::string profile(const PresentMuni& m) const {
        return m.name + "（" + m.kana + "）は" + where(m) + "の" + m.kind + "。人口" + withCommas(m.population) +
               "人（2020年国勢調査）。";
    }

    std::string oldWhere(const OldMuni& o) const { return f_.pref(o.pref).name + o.gun; }

    // "2004年12月1日に編入合併で函館市に。" for each merger step of the history
    std::string mergerStory(const OldMuni& o) const {
        std::string s;
        for (const auto& st : o.history)
            if (st.isMerger()) s += formatDate(st.date) + "、" + stepText(st) + "。";
        return s;
    }

    std::string oldsList(const PresentMuni& m) const {
        std::string s;
        for (int code : m.olds) s += (s.empty() ? "" : "・") + f_.olds.at(code).name;
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
            q.text = f_.pref(m.pref).name + "の「" + m.name + "」の読み方は？";
            q.explanation = m.name + "は「" + m.kana + "」と読む。" + where(m) + "の" + m.kind + "で、人口" +
                            withCommas(m.population) + "人（2020年国勢調査）。";
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
            q.explanation = o.name + "（" + o.kana + "）は" + mergerStory(o) + "現在の" + m.name + "の区域には、" +
                            kOldDate + "時点で" + oldsList(m) + "の" + std::to_string(m.olds.size()) +
                            "市町村があった。";
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
            return s + "。";
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
                 p.name + "で" + what + "が最も" + more + "市町村は？", 0.0);
            std::size_t n = desc.size();
            ask(p, {desc[n - 1], desc[n - 2], desc[n - 3], desc[n - 4]}, false,
                 p.name + "で" + what + "が最も" + less + "市町村は？", 3.0);
            // random foursomes: about one for every two municipalities
            std::set<std::vector<int>> used;
            std::size_t want = (n + 1) / 2;
            for (std::size_t tries = 0; used.size() < want && tries < want * 4; ++tries) {
                auto four = pick(all, 4);
                std::vector<int> key;
                for (const auto* m : four) key.push_back(m->code);
                std::sort(key.begin(), key.end());
                if (!used.insert(key).second) continue;
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
            }
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
            std::vector<std::string> candidates;
            for (const auto* other : byPref_[m.pref]) {
                if (other->code == m.code || other->phrase == ph || mentions(ph, *other)) continue;
                candidates.push_back(other->name);
            }
            Question q;
            if (!wrongFrom(candidates, m.name, q)) continue;
            q.mark = "標語";
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
            q.text = f_.pref(m.pref).name + "の「" + m.name + "」が属する郡は？";
            q.explanation = m.name + "（" + m.kana + "）は" + f_.pref(m.pref).name + m.district + "の" + m.kind + "。" +
                            m.district + "に属する町村は" + list + "。";
            if (chars(q.explanation) > kExplanationChars) q.explanation = m.name + "（" + m.kana + "）は" + f_.pref(m.pref).name + m.district + "の" + m.kind + "。";
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
            q.text = std::string(kOldDate) + "時点の市町村のうち、現在の" + f_.pref(m.pref).name + "「" + m.name +
                     "」の区域にあったのはいくつ？";
            q.explanation = "現在の" + m.name + "の区域には、" + kOldDate + "時点で" + oldsList(m) + "の" +
                            std::to_string(n) + "市町村があった。";
            q.notes = {"市" + code5(m.code), "出典：e-Stat 廃置分合", ""};
            q.difficulty = 1.0 + hardness(m.population) + 0.1 * n;
            add(std::move(q));
        }
    }

    void markDoublePoints() {
        std::vector<std::size_t> order(out_.size());
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return out_[a].difficulty > out_[b].difficulty; });
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
