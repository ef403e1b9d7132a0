// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "どこでしょう": a round of questions that name a place and are answered by a
// click on the map. Standard C++ only: the window feeds clicks in twips and
// shows the verdicts. A present municipality is right when the click counts
// for its outline (inside it or within the tolerance); an old one when the
// click lies near its dot; on the map of Japan the prefecture holding the
// named municipality is asked for.
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/base/random.h"
#include "core/map/city_table.h"
#include "core/map/outlines.h"
#include "core/quiz/memory.h"

namespace tabinowa {

struct WherePlace {
    std::string name;         // trimmed: the municipality's or the old municipality's
    std::string presentName;  // trimmed: the present municipality (the same for a present one)
    std::string prefName;     // trimmed prefecture name
    bool old = false;
    int shape = -1;           // index into the map's shapes of the right answer
    MapPoint dot;             // an old municipality's dot (twips)
    // Other shapes that answer it as well: on the map of Japan the prefectures
    // of its namesakes (日高町 is in 北海道 and in 和歌山県; the question
    // names the town only, so either prefecture is right).
    std::vector<int> alsoRight;
};

// The shape of each row of a prefecture's list: the municipality outline that
// holds the most of the row's dots (the old municipalities' circles lie inside
// their present municipality's outline); -1 for a row whose dots lie in none.
std::vector<int> shapesOfRows(const MapArea& area, const std::vector<CityRow>& rows);

// The places of one prefecture: every municipality of its list that has an
// outline, and with `withOld` every old municipality of a merged one (one that
// took in two or more) as well.
std::vector<WherePlace> prefecturePlaces(const MapArea& area, const std::vector<CityRow>& rows,
                                         const std::string& prefName, bool withOld);

// The places of all Japan: every municipality of every prefecture, the right
// answer being its prefecture's shape on the map of Japan (`prefNumber` =
// the shape's code).
void addJapanPlaces(std::vector<WherePlace>& places, const MapArea& japan, const std::vector<CityRow>& rows,
                    const std::string& prefName, int prefNumber);

// "「富谷市」はどこでしょう？"; an old one "旧「豊野村」（現在の宇城市）はどこでしょう？";
// on the map of Japan "「富谷市」はどの都道府県でしょう？".
std::string whereQuestion(const WherePlace& place, bool japan);

// After every prefecture's addJapanPlaces: each place that shares its name
// with places of other prefectures is answered by their prefectures too.
void acceptNamesakes(std::vector<WherePlace>& places);

// The memory of every answer keeps どこでしょう's answers too, each as a
// question of its own: the kind "【どこでしょう】" and the map's name ("宮城県",
// "全国") on the first line, the question on the second, and the prefecture and
// the place ("宮城県／富谷市") as the answer. No question of the bank starts
// with that kind (kWhereKind, quiz/memory.h), so their keys never meet.
Mondai whereMemoryQuestion(const WherePlace& place, const std::string& mapName, bool japan);
// The places answered right at least once on any map, by trimmed prefecture
// name, as the memory has them.
std::map<std::string, std::set<std::string>> foundInMemory(const MemoryBook& book);

struct WhereVerdict {
    bool right = false;
    int clicked = -1;  // the shape the click counted for, -1 for none
    int answer = -1;   // the right shape
};

class WhereRound {
public:
    // Takes `length` places (all when fewer) in an order drawn from `random`.
    WhereRound(std::vector<WherePlace> places, Random& random, int length);

    bool finished() const { return next_ >= order_.size(); }
    int number() const { return static_cast<int>(next_) + 1; }  // of the current question
    int count() const { return static_cast<int>(order_.size()); }
    const WherePlace& current() const { return order_.at(next_); }

    // Judges a click at `p` (twips) on `area` for the current place and goes
    // on to the next. `tolerance` in twips: how far outside an outline (or
    // from a dot) a click still counts. Throws std::logic_error once finished.
    WhereVerdict answer(const MapArea& area, MapPoint p, double tolerance);

    int right() const { return right_; }
    // The places missed, in the order asked: a new round can replay them.
    const std::vector<WherePlace>& misses() const { return misses_; }
    // "10問中7問正解　時間 1分23秒".
    std::string resultText(double seconds) const;

private:
    std::vector<WherePlace> order_;
    std::size_t next_ = 0;
    int right_ = 0;
    std::vector<WherePlace> misses_;
};

}  // namespace tabinowa
