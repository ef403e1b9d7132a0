// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/map/where_round.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <stdexcept>

namespace tabinowa {

namespace {

std::string trimmed(const std::string& s) {
    std::size_t end = s.size();
    while (end > 0 && s[end - 1] == ' ') --end;
    std::size_t begin = 0;
    while (begin < end && s[begin] == ' ') ++begin;
    return s.substr(begin, end - begin);
}

// The most common outline among a row's dots.
int shapeOfRow(const MapArea& area, const CityRow& row) {
    std::map<int, int> votes;
    for (const OldTown& t : row.old) {
        const MapPoint p{static_cast<double>(t.x), static_cast<double>(t.y)};
        for (std::size_t i = 0; i < area.shapes.size(); ++i) {
            const MapShape& s = area.shapes[i];
            if (s.kind == MapShape::Kind::Municipality && insideShape(s, p)) {
                ++votes[static_cast<int>(i)];
                break;
            }
        }
    }
    int best = -1, bestVotes = 0;
    for (const auto& [shape, n] : votes)
        if (n > bestVotes) {
            best = shape;
            bestVotes = n;
        }
    return best;
}

}  // namespace

std::vector<int> shapesOfRows(const MapArea& area, const std::vector<CityRow>& rows) {
    std::vector<int> out;
    out.reserve(rows.size());
    for (const CityRow& r : rows) out.push_back(shapeOfRow(area, r));
    return out;
}

std::vector<WherePlace> prefecturePlaces(const MapArea& area, const std::vector<CityRow>& rows,
                                         const std::string& prefName, bool withOld) {
    std::vector<WherePlace> places;
    const std::vector<int> shapes = shapesOfRows(area, rows);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        if (shapes[r] < 0) continue;
        const std::string name = trimmed(rows[r].name12);
        places.push_back({name, name, trimmed(prefName), false, shapes[r], {}});
        if (!withOld || rows[r].old.size() < 2) continue;
        for (const OldTown& t : rows[r].old)
            places.push_back({trimmed(t.name), name, trimmed(prefName), true, shapes[r],
                              {static_cast<double>(t.x), static_cast<double>(t.y)}});
    }
    return places;
}

void addJapanPlaces(std::vector<WherePlace>& places, const MapArea& japan, const std::vector<CityRow>& rows,
                    const std::string& prefName, int prefNumber) {
    const int shape = japan.indexOf(prefNumber);
    if (shape < 0) return;
    for (const CityRow& r : rows) {
        const std::string name = trimmed(r.name12);
        places.push_back({name, name, trimmed(prefName), false, shape, {}});
    }
}

void acceptNamesakes(std::vector<WherePlace>& places) {
    std::map<std::string, std::vector<int>> shapesOf;  // name -> the shapes of every place of that name
    for (const WherePlace& p : places)
        if (!p.old) shapesOf[p.name].push_back(p.shape);
    for (WherePlace& p : places) {
        if (p.old) continue;
        for (int s : shapesOf[p.name])
            if (s != p.shape && std::find(p.alsoRight.begin(), p.alsoRight.end(), s) == p.alsoRight.end())
                p.alsoRight.push_back(s);
    }
}

std::string whereQuestion(const WherePlace& place, bool japan) {
    if (japan) return "「" + place.name + "」はどの都道府県でしょう？";
    if (place.old) return "旧「" + place.name + "」（現在の" + place.presentName + "）はどこでしょう？";
    return "「" + place.name + "」はどこでしょう？";
}

namespace {
const std::string kAnswerJoin = "／";
}

Mondai whereMemoryQuestion(const WherePlace& place, const std::string& mapName, bool japan) {
    Mondai m;
    m.Mondai1 = std::string(kWhereKind) + mapName;
    m.Mondai2 = whereQuestion(place, japan);
    m.Kotae = place.prefName + kAnswerJoin + place.name;
    return m;
}

std::map<std::string, std::set<std::string>> foundInMemory(const MemoryBook& book) {
    std::map<std::string, std::set<std::string>> out;
    const std::string kind(kWhereKind);
    // Our keys sort together: they all start with the kind.
    for (auto it = book.cards.lower_bound(kind); it != book.cards.end() && it->first.rfind(kind, 0) == 0; ++it) {
        if (it->second.right <= 0) continue;
        const std::string& key = it->first;
        const std::size_t answer = key.rfind('\n');
        if (answer == std::string::npos) continue;
        const std::string line = key.substr(answer + 1);
        const std::size_t join = line.find(kAnswerJoin);
        if (join == std::string::npos || join == 0 || join + kAnswerJoin.size() >= line.size()) continue;
        out[line.substr(0, join)].insert(line.substr(join + kAnswerJoin.size()));
    }
    return out;
}

WhereRound::WhereRound(std::vector<WherePlace> places, Random& random, int length) {
    // Fisher–Yates with the session's random source, then the first `length`.
    for (std::size_t i = places.size(); i > 1; --i) {
        auto j = static_cast<std::size_t>(random.uniform() * static_cast<double>(i));
        if (j >= i) j = i - 1;
        std::swap(places[i - 1], places[j]);
    }
    if (length >= 0 && places.size() > static_cast<std::size_t>(length)) places.resize(static_cast<std::size_t>(length));
    order_ = std::move(places);
}

WhereVerdict WhereRound::answer(const MapArea& area, MapPoint p, double tolerance) {
    if (finished()) throw std::logic_error("WhereRound::answer after the last question");
    const WherePlace& place = order_[next_];
    WhereVerdict v;
    v.answer = place.shape;
    v.clicked = hitShape(area, p, tolerance);
    if (place.old) {
        // Near the dot: within the tolerance, and never less than the map's
        // own hit square around a circle.
        const double reach = std::max(tolerance, kHitDistance);
        v.right = std::hypot(p.x - place.dot.x, p.y - place.dot.y) <= reach;
        if (v.right) v.clicked = place.shape;
    } else {
        v.right = v.clicked >= 0 && v.clicked == place.shape;
        if (!v.right && v.clicked >= 0 &&
            std::find(place.alsoRight.begin(), place.alsoRight.end(), v.clicked) != place.alsoRight.end()) {
            v.right = true;
            v.answer = v.clicked;  // the namesake's place is the one shown right
        }
    }
    if (v.right) ++right_;
    else misses_.push_back(place);
    ++next_;
    return v;
}

std::string WhereRound::resultText(double seconds) const {
    const long total = std::lround(std::max(0.0, seconds));
    std::string time = total >= 60 ? std::to_string(total / 60) + "分" + std::to_string(total % 60) + "秒"
                                   : std::to_string(total) + "秒";
    return std::to_string(count()) + "問中" + std::to_string(right_) + "問正解　時間 " + time;
}

}  // namespace tabinowa
