// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/game/visit_game.h"

#include <limits>

#include "core/files/error.h"
#include "core/files/journal.h"
#include "core/files/load_checks.h"
#include "core/files/visit_state.h"

namespace tabinowa::game {

// ------------------------------------------------------------- quiz half

VisitQuiz::VisitQuiz(Session& session) : s_(session), file_(session.io, session.folders) {}

VisitQuiz::Question VisitQuiz::start() {
    // A bank the start could not take (a record made zero, say) is read again
    // here, so its fault is named in this window instead of shown as the end.
    if (s_.quiz.totalCount == 0) s_.quiz.build(s_.io, s_.folders, s_.random);
    s_.quiz.shuffleFullBank(s_.random);
    streak_ = 0;
    return showAtCursor();
}

VisitQuiz::Question VisitQuiz::next() {
    auto& cursor = s_.quiz.visitCursor;
    if (cursor < std::numeric_limits<std::int32_t>::max()) ++cursor;
    return showAtCursor();
}

VisitQuiz::Question VisitQuiz::showAtCursor() {
    const auto& quiz = s_.quiz;
    const int record = quiz.visitCursor >= 1 && quiz.visitCursor <= quiz.totalCount
                           ? quiz.fullBankEntry(quiz.visitCursor)
                           : 0;
    if (record < 1) {
        // past the last question, or an empty bank: the double-point extra stays as it was
        current_.reset();
        Question q;
        q.finished = true;
        q.text = kFinishedText;
        return q;
    }
    current_.reset();
    Mondai m = file_.get(record);
    extra_ = doublePointExtra(m);
    Question q;
    q.text = questionText(m);
    q.doublePoint = extra_ != 0;
    q.source = sourceLine(m);
    current_ = std::move(m);
    return q;
}

std::string VisitQuiz::answer() const { return current_ ? answerText(*current_) : std::string(); }

std::string VisitQuiz::source() const { return current_ ? sourceLine(*current_) : std::string(); }

std::optional<RightAnswer> VisitQuiz::right() {
    auto a = scoreRightAnswer(s_.points, streak_, extra_, s_.random);
    if (!a) return std::nullopt;
    // a right answer remembered for this step goes into the same change
    writePoints(s_.io, s_.folders, a->total, s_.memory.companion());
    s_.points = a->total;
    streak_ = a->streak;
    return a;
}

// ------------------------------------------------------------ visit half

std::vector<std::string> VisitMap::fillPrefectures() {
    // the ranges against the municipality file, and a mark for every municipality
    auto table = loadRanges(s_.io, s_.folders);
    const std::string marks = checkVisitMarks(s_.io, s_.folders, checkCityRecords(s_.io, s_.folders));
    checkVisitsAgree(table, marks, s_.folders);
    std::vector<std::string> entries;
    entries.reserve(table.size());
    for (const auto& k : table) entries.push_back(k.listEntry());
    table_ = std::move(table);
    return entries;
}

std::vector<std::string> VisitMap::choosePrefecture(int pos) {
    selected_ = false;
    prefRow_ = pos + 1;
    rows_.clear();
    return fillCities();
}

std::filesystem::path VisitMap::picture() const { return s_.folders.picture(prefRow_); }

std::vector<std::string> VisitMap::fillCities() {
    rows_.clear();
    if (prefRow_ < 1 || prefRow_ > static_cast<int>(table_.size()))
        throw FileError("ファイル" + displayName(s_.folders.rangeFile()) + "に" + std::to_string(prefRow_) +
                        "行目の都道府県がありません。");
    const KenHani& ken = table_[static_cast<std::size_t>(prefRow_ - 1)];
    std::vector<City> cities = readCities(s_.io, s_.folders, ken);
    std::vector<City> unvisited;
    unvisited.reserve(cities.size());
    {
        // read only: the marks were checked when the game opened, and a file
        // that has gone since is never made again here (it holds no visit)
        const std::string marks = readMarkBytes(s_.io, s_.folders);
        const int start = ken.startRec();
        for (std::size_t i = 0; i < cities.size(); ++i) {
            const int m = start + static_cast<int>(i);
            if (!markVisited(marks, m)) unvisited.push_back(std::move(cities[i]));
        }
    }
    PrefectureCities p = prefectureCities(unvisited);
    rows_ = std::move(p.rows);
    return std::move(p.entries);
}

VisitMap::Profile VisitMap::chooseCity(int pos) {
    if (pos < 0 || pos >= static_cast<int>(rows_.size()))
        throw FileError("市町村の一覧に" + std::to_string(pos + 1) + "番目の市町村がありません。");
    CityRow& row = rows_[static_cast<std::size_t>(pos)];
    selected_ = true;
    choice_ = Choice{prefRow_, row.recNo, row.minryoku};
    Profile p;
    p.header = headerText(row);
    p.text = statisticsText(row) + oldTownList(row, kGameOldNameWidth);
    p.marks = numberMarks(row);
    p.visit = visitability(s_.points, row.minryoku);
    return p;
}

VisitMap::VisitResult VisitMap::visit() {
    VisitResult r;
    const bool wasSelected = selected_;
    selected_ = false;
    if (!wasSelected || !choice_) {
        r.outcome = Outcome::NoMunicipality;
        r.message = kNoMunicipality;
        return r;
    }
    const Choice c = *choice_;
    if (s_.points < c.cost) {
        r.outcome = Outcome::NotEnough;
        r.message = kNotEnoughPoints;
        return r;
    }
    const auto after = pointsAfterVisit(s_.points, c.cost);
    if (!after) {
        r.outcome = Outcome::OutOfRange;
        r.message = kVisitOutOfRange;
        return r;
    }
    if (c.prefRow < 1 || c.prefRow > static_cast<int>(table_.size()))
        throw FileError("ファイル" + displayName(s_.folders.rangeFile()) + "に" + std::to_string(c.prefRow) +
                        "行目の都道府県がありません。");

    std::vector<KenHani> table = table_;
    KenHani& ken = table[static_cast<std::size_t>(c.prefRow - 1)];
    ken.HomonSu = Value::number(ken.homonSu() + 1);

    // The three files change together or not at all, across a crash too.
    FileSet files(s_.io, s_.folders.journal());
    files.stage(s_.folders.pointFile(), pointBytes(s_.folders, *after));
    files.stage(s_.folders.visitMarks(), withVisited(readMarkBytes(s_.io, s_.folders), c.recNo));
    files.stage(s_.folders.rangeFile(), rangeBytes(s_.folders, table, false));
    files.commit();

    table_ = std::move(table);
    s_.points = *after;
    r.outcome = Outcome::Visited;
    // The visit is done whatever happens now; a list that cannot be refilled is reported beside it.
    try {
        r.entries = fillCities();
    } catch (const FileError& e) {
        rows_.clear();
        r.refillError = e.what();
    }
    return r;
}

void VisitMap::startOver() {
    // read first: a range file that cannot be read stops start over before anything is written
    std::vector<KenHani> fresh = loadRanges(s_.io, s_.folders);
    // Marks reset under visited counts left standing would no longer agree:
    // the three files change together or not at all, across a crash too.
    FileSet files(s_.io, s_.folders.journal());
    files.stage(s_.folders.pointFile(), pointBytes(s_.folders, 0));
    files.stage(s_.folders.visitMarks(), withNoVisits(readMarkBytes(s_.io, s_.folders)));
    files.stage(s_.folders.rangeFile(), rangeBytes(s_.folders, fresh, true));
    files.commit();
    s_.points = 0;
}

}  // namespace tabinowa::game
