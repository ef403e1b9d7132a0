// SPDX-License-Identifier: GPL-3.0-or-later
#include "masters.h"

#include <algorithm>
#include <set>
#include <stdexcept>

namespace makedata {
namespace {

constexpr const char* kBlank = "\u3000";

std::size_t fieldsLength(const std::vector<std::string>& fields) {
    std::size_t n = 0;
    for (const auto& f : fields) n += chars(f);
    return n;
}

// Budget of the field texts themselves: the joined text minus its blanks.
std::size_t budget(bool oldRow) { return kDescriptionMax - (oldRow ? 12 : 11); }

// A description assembled from pieces in display order; each piece has a
// priority (0 = always), and optional pieces are taken, most important first,
// while they fit the budget. The result fills the first fields, the rest empty.
struct Piece {
    std::string text;
    int priority;
};

std::vector<std::string> assemble(const std::vector<Piece>& pieces, bool oldRow, const std::string& what) {
    std::size_t limit = budget(oldRow);
    std::vector<bool> take(pieces.size(), false);
    std::size_t used = 0;
    for (std::size_t i = 0; i < pieces.size(); ++i)
        if (pieces[i].priority == 0) {
            take[i] = true;
            used += chars(pieces[i].text);
        }
    if (used > limit) throw std::runtime_error("description too long: " + what);
    int maxPriority = 0;
    for (const auto& p : pieces) maxPriority = std::max(maxPriority, p.priority);
    for (int pr = 1; pr <= maxPriority; ++pr) {
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            if (pieces[i].priority != pr) continue;
            std::size_t n = chars(pieces[i].text);
            if (used + n <= limit) {
                take[i] = true;
                used += n;
            }
        }
    }
    std::vector<std::string> fields;
    for (std::size_t i = 0; i < pieces.size(); ++i)
        if (take[i] && !pieces[i].text.empty()) fields.push_back(pieces[i].text);
    if (fields.size() > 13) throw std::runtime_error("description has more than 13 pieces: " + what);
    fields.resize(13);
    return fields;
}

// The catchphrase cut to `room` characters ("…" marks a cut).
std::string cutPhrase(const std::string& phrase, std::size_t room) {
    if (chars(phrase) <= room) return phrase;
    if (room < 2) return {};
    return firstChars(phrase, room - 1) + "…";
}

// "市町村" style label of a set of kinds, in that order.
std::string kindsLabel(const std::set<std::string>& kinds) {
    std::string s;
    for (const char* k : {"市", "町", "村", "区"})
        if (kinds.count(k)) s += k;
    return s;
}

void addStep(std::vector<Piece>& pieces, const Step& s, int priority) {
    std::string text = stepText(s);
    if (text.empty()) return;
    pieces.push_back({formatDate(s.date), priority});
    pieces.push_back({text, priority});
}

}  // namespace

std::string formatDate(const std::string& ymd) {
    if (ymd.size() != 10) throw std::runtime_error("bad date " + ymd);
    int y = std::stoi(ymd.substr(0, 4)), m = std::stoi(ymd.substr(5, 2)), d = std::stoi(ymd.substr(8, 2));
    return std::to_string(y) + "年" + std::to_string(m) + "月" + std::to_string(d) + "日";
}

std::string stepText(const Step& s) {
    if (s.type == "新設合併" || s.type == "編入合併" || s.type == "市制施行" || s.type == "町制施行")
        return s.type + "で" + s.toName + "に";
    if (s.type == "名称変更") return s.toName + "に名称変更";
    if (s.type == "政令指定都市施行") return "政令指定都市に";
    return {};
}

std::vector<std::string> oldDescription(const Facts& facts, const OldMuni& o) {
    std::vector<Piece> pieces;
    pieces.push_back({o.kana, 0});
    pieces.push_back({o.gun.empty() ? o.kind : o.gun + "の" + o.kind, 2});
    const PresentMuni& present = facts.present(o.present);
    if (o.merged()) {
        for (const auto& s : o.history) addStep(pieces, s, s.isMerger() ? 0 : 3);
    } else {
        // The municipality the others joined: say whom it took in and when.
        std::string first, last;
        std::set<std::string> kinds;
        std::string firstName;
        int n = 0;
        for (int code : present.olds) {
            if (code == o.code) continue;
            const OldMuni& other = facts.olds.at(code);
            const Step* m = other.lastMerger();
            if (!m) continue;
            if (first.empty() || m->date < first) first = m->date;
            if (last.empty() || m->date > last) last = m->date;
            kinds.insert(other.kind);
            if (firstName.empty()) firstName = other.name;
            ++n;
        }
        // its own steps (new status, new name) before and after the intake
        std::vector<Piece> before, after;
        for (const auto& s : o.history) addStep(!first.empty() && s.date < first ? before : after, s, 3);
        pieces.insert(pieces.end(), before.begin(), before.end());
        if (n > 0) {
            std::string when = first == last ? formatDate(first) : formatDate(first) + "～" + formatDate(last);
            std::string what = n == 1 ? firstName + "を編入"
                                      : firstName + "など" + std::to_string(n) + kindsLabel(kinds) + "を編入";
            pieces.push_back({when, 0});
            pieces.push_back({what, 0});
        }
        pieces.insert(pieces.end(), after.begin(), after.end());
    }
    if (!o.alsoPartOf.empty()) {
        std::string names;
        for (int code : o.alsoPartOf) names += (names.empty() ? "" : "・") + facts.present(code).name;
        pieces.push_back({"一部は" + names + "に", 0});
    }
    return assemble(pieces, true, o.name);
}

std::vector<std::string> presentDescription(const Facts& facts, const PresentMuni& m) {
    std::vector<Piece> pieces;
    pieces.push_back({m.kana, 0});
    if (!m.merged()) {
        const OldMuni& self = facts.olds.at(m.olds.front());
        for (const auto& s : self.history) addStep(pieces, s, 2);
    }
    // the catchphrase takes what room is left
    std::vector<std::string> fixed = assemble(pieces, false, m.name);
    std::size_t room = budget(false) - fieldsLength(fixed);
    std::string phrase = cutPhrase(m.phrase, room);
    std::vector<std::string> fields;
    for (const auto& f : fixed)
        if (!f.empty()) fields.push_back(f);
    if (!phrase.empty()) fields.push_back(phrase);
    fields.resize(13);
    return fields;
}

std::string joinDescription(const std::vector<std::string>& fields, bool oldRow) {
    std::string s;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0 && (oldRow || i != 10)) s += kBlank;
        s += fields[i];
    }
    return s;
}

namespace {

void nameCheck(const std::string& name, const std::string& where, MasterReport& report) {
    if (cp932Bytes(name) > kNameBytes) report.cutNames.push_back(where + ": " + name);
}

std::string memo(const std::string& text, const std::string& where, MasterReport& report) {
    if (cp932Bytes(text) <= kMemoBytes) return text;
    report.cutTexts.push_back(where);
    return cutToBytes(text, kMemoBytes);
}

std::string code5(int code) {
    std::string s = std::to_string(code);
    return std::string(5 - std::min<std::size_t>(5, s.size()), '0') + s;
}

}  // namespace

std::string municipalityMaster(const Facts& facts, const Dots& dots, TextPolicy& policy, MasterReport& report) {
    std::string out;
    {
        CsvLine h(policy);
        for (const char* name : {"コード", "都道府県番号", "種別", "サブコード", "旧市町村行", "旧市町村名", "市町村名",
                                 "読み", "郡", "予備1", "予備2", "予備3", "予備4", "予備5", "X", "Y", "人口", "面積",
                                 "事業所数", "従業者数", "製造品出荷額等", "商業年間商品販売額", "旧市町村数", "予備6"})
            h.text(name);
        for (int i = 1; i <= 13; ++i) h.text("説明" + std::to_string(i));
        for (int i = 1; i <= 5; ++i) h.text("メモ" + std::to_string(i));
        h.text("予備7");
        if (h.fields() != 43) throw std::runtime_error("header is not 43 fields");
        out += h.str();
    }
    auto dotOf = [](const std::map<int, Dot>& m, int code) {
        auto it = m.find(code);
        if (it == m.end()) throw std::runtime_error("no dot for " + std::to_string(code));
        return it->second;
    };
    for (const auto& m : facts.presents) {
        const bool merged = m.merged();
        nameCheck(m.name, code5(m.code), report);
        Dot d = merged ? dotOf(dots.present, m.code) : dotOf(dots.old, m.olds.front());
        CsvLine l(policy);
        l.text(code5(m.code)).number(m.pref).number(m.kindCode).number(m.code % 1000).number(0);
        if (merged) {
            l.empty();
        } else {
            const OldMuni& self = facts.olds.at(m.olds.front());
            nameCheck(self.name, code5(self.code), report);
            l.text(self.name);
        }
        l.text(m.name).text(m.kana);
        if (m.district.empty()) l.empty(); else l.text(m.district);
        for (int i = 0; i < 5; ++i) l.empty();
        l.number(d.x).number(d.y);
        l.number(m.population).number(m.areaKm2).number(m.establishments).number(m.employees);
        l.number(m.shipments.known ? m.shipments.oku : 0).number(m.sales.known ? m.sales.oku : 0);
        l.number(static_cast<long long>(m.olds.size())).number(0);
        auto desc = presentDescription(facts, m);
        if (chars(joinDescription(desc, false)) > kDescriptionMax) throw std::runtime_error("long description " + m.name);
        for (const auto& f : desc) {
            if (f.empty()) l.empty(); else l.text(f);
        }
        const std::string where = code5(m.code) + " " + m.name;
        std::vector<std::string> memos = {memo(m.url, where + " URL", report), memo(m.phrase, where + " catchphrase", report),
                                          m.lgcode, "", ""};
        for (const auto& t : memos) {
            if (t.empty()) l.empty(); else l.text(t);
        }
        l.empty();
        if (l.fields() != 43) throw std::runtime_error("municipality row is not 43 fields");
        out += l.str();
        ++report.presentRows;
        if (!merged) {
            ++report.unmerged;
            continue;
        }
        for (int code : m.olds) {
            const OldMuni& o = facts.olds.at(code);
            nameCheck(o.name, code5(o.code), report);
            Dot od = dotOf(dots.old, o.code);
            CsvLine r(policy);
            r.text(code5(o.code)).number(o.pref).number(kindCodeOf(o.kind)).number(o.code % 1000).number(1);
            r.text(o.name).text(m.name).text(m.kana);
            if (m.district.empty()) r.empty(); else r.text(m.district);
            for (int i = 0; i < 5; ++i) r.empty();
            r.number(od.x).number(od.y);
            for (int i = 0; i < 6; ++i) r.number(0);
            r.number(0).number(0);
            auto od13 = oldDescription(facts, o);
            if (chars(joinDescription(od13, true)) > kDescriptionMax) throw std::runtime_error("long description " + o.name);
            for (const auto& f : od13) {
                if (f.empty()) r.empty(); else r.text(f);
            }
            for (int i = 0; i < 5; ++i) r.empty();
            r.empty();
            if (r.fields() != 43) throw std::runtime_error("old municipality row is not 43 fields");
            out += r.str();
            ++report.oldRows;
        }
    }
    return out;
}

std::string prefectureData(const Facts& facts, TextPolicy& policy) {
    std::string out;
    for (const auto& p : facts.prefs) {
        CsvLine l(policy);
        l.number(p.number).text(p.name).number(p.region).number(p.count);
        l.text(facts.present(p.capital).name).number(p.population).number(p.areaKm2).number(p.count);
        out += l.str();
    }
    return out;
}

}  // namespace makedata
