// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/build/data_update.h"

#include <algorithm>
#include <map>
#include <set>

#include "core/build/builds.h"
#include "core/build/program_folder.h"
#include "core/files/cp932.h"
#include "core/files/error.h"
#include "core/files/journal.h"
#include "core/files/load_checks.h"
#include "core/files/messages.h"
#include "core/files/record_views.h"
#include "core/files/visit_state.h"
#include "core/quiz/memory.h"
#include "core/quiz/review.h"

namespace tabinowa {

namespace fs = std::filesystem;

namespace {

// The journal's limit, less one for the memory's step file.
constexpr std::size_t kMostFiles = 63;

std::string withUnchanged(std::string text) {
    if (text.find(kUnchanged) == std::string::npos) text += kUnchanged;
    return text;
}

// A refusal of the shipped data: nothing is taken.
FileError shippedRefused(const FileError& e) {
    return FileError(withUnchanged(std::string("同梱の新しいデータに不具合があるため、取り込みませんでした。") + e.what()));
}

// A working file of the learner that cannot be read: its progress could not be carried.
FileError progressUnread(const FileError& e) {
    return FileError(withUnchanged(std::string("今の作業ファイルを読めないため、進み具合を引き継げません。新しいデータは取り込みませんでした。") +
                                   e.what()));
}

// A municipality's code as the master gives it (field 1, "01202"): its
// prefecture number and the code's last three digits.
int codeOf(int kenNo, int subCode) { return kenNo * 1000 + subCode; }

struct VisitedCity {
    int code = 0;
    std::string label;  // "函館市（北海道）"
};

// The visited municipalities of the folder's working files, and how many
// municipalities hold each code there.
struct OldVisits {
    std::vector<VisitedCity> visited;
    std::map<int, int> codes;
};

OldVisits readOldVisits(Io& io, const AppFolders& f) {
    OldVisits out;
    if (!io.exists(f.cityRecords())) return out;
    const int count = checkCityRecords(io, f);
    if (!io.exists(f.visitMarks())) return out;
    const std::string marks = checkVisitMarks(io, f, count);
    const std::string records = readWholeFile(io, f.cityRecords());
    const std::string name = displayName(f.cityRecords());
    for (int n = 1; n <= count; ++n) {
        const std::string where = "ファイル" + name + "の" + std::to_string(n) + "番目の市町村";
        const CityView v(std::string_view(records).substr(static_cast<std::size_t>(n - 1) * City::kLength, City::kLength),
                         where);
        const int code = codeOf(v.i16(city::KenNo), v.i16(city::SubCode));
        ++out.codes[code];
        if (!markVisited(marks, n)) continue;
        std::string label = trimRight(v.cityName());
        if (const std::string& pref = prefectureName(v.i16(city::KenNo)); !pref.empty()) label += "（" + pref + "）";
        out.visited.push_back({code, std::move(label)});
    }
    return out;
}

}  // namespace

DataUpdate planDataUpdate(Session& session, const fs::path& shipped) {
    Io& io = session.io;
    const AppFolders& f = session.folders;
    DataUpdate u;

    // The shipped files: each is taken only where it differs from the folder's.
    std::string questionMaster, cityMaster, prefectureData;
    try {
        const AppFolders from{shipped};
        if (!io.exists(from.questionMaster()) || !io.exists(from.cityMaster()) || !io.exists(from.prefectureData()))
            throw FileError("同梱のデータ" + displayName(shipped) + "にマスターがありません。");
        if (const auto v = readDataVersion(io, shipped)) u.version = *v;
        for (const ShippedFile& file : shippedFiles(shipped, f.program)) {
            std::string bytes = readWholeFile(io, file.from);
            if (file.to == f.questionMaster()) questionMaster = bytes;
            if (file.to == f.cityMaster()) cityMaster = bytes;
            if (file.to == f.prefectureData()) prefectureData = bytes;
            bool same = false;
            try {
                same = io.exists(file.to) && readWholeFile(io, file.to) == bytes;
            } catch (const FileError&) {
                same = false;  // a file of the folder that cannot be read is replaced
            }
            if (!same) {
                u.files.emplace_back(file.to, std::move(bytes));
                ++u.takenFiles;
            }
        }
    } catch (const FileError& e) {
        throw shippedRefused(e);
    }
    if (!u.version.empty()) {
        const std::string bytes = dataVersionBytes(u.version);
        const fs::path target = f.program / kDataVersionFile;
        bool same = false;
        try {
            same = io.exists(target) && readWholeFile(io, target) == bytes;
        } catch (const FileError&) {
        }
        if (!same) u.files.emplace_back(target, bytes);
    }

    // The new working files, made from the shipped masters.
    std::string records;
    CityFiles cities;
    try {
        records = questionRecordsFrom(std::move(questionMaster), displayName(f.questionMaster()));
        cities = cityFilesFrom(std::move(cityMaster), [&] { return prefectureData; }, f, false);
    } catch (const FileError& e) {
        throw shippedRefused(e);
    }

    // Removed questions, by key.
    std::set<std::string> removed;
    try {
        if (io.exists(f.questionRecords()))
            for (const BankQuestion& q : readBank(io, f))
                if (q.removed) removed.insert(q.key);
    } catch (const FileError& e) {
        throw progressUnread(e);
    }
    std::set<std::string> kept;
    {
        const std::string name = displayName(f.questionRecords());
        std::string raw;
        u.questions = static_cast<int>(records.size() / Mondai::kLength);
        for (int n = 1; n <= u.questions; ++n) {
            const std::size_t at = static_cast<std::size_t>(n - 1) * Mondai::kLength;
            std::string key = bankQuestion(std::string_view(records).substr(at, Mondai::kLength), n, name, raw).key;
            if (removed.count(key)) {
                records[at + mondai::kRemovedByteAt] = mondai::kRemovedByte;
                records[at + mondai::kRemovedByteAt + 1] = '\0';
                ++u.removedCarried;
                kept.insert(key);
            }
            u.bankKeys.push_back(std::move(key));
        }
        u.removedDropped = static_cast<int>(removed.size() - kept.size());
    }

    // Visits, by municipality code; a code held by one municipality on both sides.
    OldVisits old;
    try {
        old = readOldVisits(io, f);
    } catch (const FileError& e) {
        throw progressUnread(e);
    }
    u.cities = cities.count();
    std::map<int, int> newCodes;  // code -> record number, 0 when more than one holds it
    for (int n = 1; n <= u.cities; ++n) {
        const CityView v(std::string_view(cities.records).substr(static_cast<std::size_t>(n - 1) * City::kLength,
                                                                 City::kLength),
                         "");
        const int code = codeOf(v.i16(city::KenNo), v.i16(city::SubCode));
        const auto [it, fresh] = newCodes.emplace(code, n);
        if (!fresh) it->second = 0;
    }
    std::string marks = cities.marks;
    for (const VisitedCity& c : old.visited) {
        const auto it = newCodes.find(c.code);
        if (it == newCodes.end() || it->second == 0 || old.codes[c.code] != 1) {
            u.notCarried.push_back(c.label);
            continue;
        }
        marks = withVisited(std::move(marks), it->second);
        ++u.visitsCarried;
    }
    std::vector<int> counts;
    for (const CityFiles::Range& r : cities.ranges) {
        int visited = 0;
        for (int n = r.start; n <= r.end; ++n) visited += markVisited(marks, n);
        counts.push_back(visited);
    }

    u.files.emplace_back(f.questionRecords(), std::move(records));
    if (!io.exists(f.pointFile())) u.files.emplace_back(f.pointFile(), pointBytes(f, 0));  // the points stay as they are
    u.files.emplace_back(f.cityRecords(), cities.records);
    u.files.emplace_back(f.rangeFile(), cities.rangeBytes(counts));
    u.files.emplace_back(f.visitMarks(), std::move(marks));
    u.files.emplace_back(f.cityTestList(), cities.testList);
    if (u.files.size() > kMostFiles)
        throw FileError("同梱の新しいデータは、変わるファイルが多すぎるため（" + std::to_string(u.files.size()) + "個、最大" +
                        std::to_string(kMostFiles) + "個）取り込めません。" + kUnchanged);
    return u;
}

std::string notCarriedLine(const DataUpdate& u) {
    if (u.notCarried.empty()) return {};
    std::string line = "訪問を引き継げなかった市町村：";
    for (std::size_t i = 0; i < u.notCarried.size(); ++i) line += (i ? "、" : "") + u.notCarried[i];
    return line;
}

std::string dataUpdateQuestion(const DataUpdate& u) {
    std::string q = "同梱の新しいデータ" + (u.version.empty() ? std::string() : "（" + u.version + "）") +
                    "を取り込み、問題ファイルと市町村ファイルを作り直します。\n消去済みの問題" +
                    std::to_string(u.removedCarried) + "問、ポイント、訪問済みの市町村" +
                    std::to_string(u.visitsCarried) + "件は引き継ぎます。\n";
    if (u.removedDropped > 0)
        q += "新しいデータにない消去済みの問題" + std::to_string(u.removedDropped) + "問は引き継げません。\n";
    if (!u.notCarried.empty())
        q += "なくなった市町村の訪問" + std::to_string(u.notCarried.size()) + "件は引き継げません。\n";
    return q + "取り込みますか？";
}

std::string takeDataUpdate(Session& session, const DataUpdate& u) {
    Io& io = session.io;
    const AppFolders& f = session.folders;
    auto design = [&] {
        FileSet files(io, f.journal());
        for (const auto& [target, bytes] : u.files) files.stage(target, bytes);
        if (const auto& along = session.memory.companion()) files.stage(along->target, along->bytes);
        files.commit();
        return true;
    };
    const auto memory = session.memory.step(MemoryPart::carried(u.bankKeys), session.today(), design);

    std::string done = "新しいデータ" + (u.version.empty() ? std::string() : "（" + u.version + "）") +
                       "を取り込みました。問題" + std::to_string(u.questions) + "問（消去済み" +
                       std::to_string(u.removedCarried) + "問を引き継ぎ）、市町村" + std::to_string(u.cities) +
                       "件（訪問済み" + std::to_string(u.visitsCarried) + "件を引き継ぎ）。ポイントはそのままです。";
    if (u.removedDropped > 0)
        done += "\n新しいデータにない消去済みの問題" + std::to_string(u.removedDropped) + "問は引き継げませんでした。";
    if (const std::string line = notCarriedLine(u); !line.empty()) done += "\n" + line;
    if (memory.problem) done += "\n" + *memory.problem;
    try {
        session.quiz.build(io, f, session.random);
    } catch (const FileError& e) {
        // The new files are in place; only the deck of this run is the old one.
        done += "\n問題を読み込めませんでした。" + std::string(e.what());
    }
    return done;
}

}  // namespace tabinowa
