// SPDX-License-Identifier: GPL-3.0-or-later
// The question build: "問題.csv" (18 fields a question) -> "問題.ran", every
// question active, and the point file back to 0. Everything is made in memory
// first; the two files are replaced together only when the whole master has
// been read without fault.
#include <algorithm>
#include <optional>
#include <string>
#include <unordered_set>

#include "core/build/builds.h"
#include "core/files/record_views.h"
#include "core/files/messages.h"
#include "core/build/master_row.h"
#include "core/files/cp932.h"
#include "core/files/error.h"
#include "core/files/io.h"
#include "core/files/journal.h"
#include "core/files/records.h"
#include "core/files/text_file.h"
#include "core/quiz/deck.h"
#include "core/quiz/memory.h"
#include "core/quiz/review.h"

namespace tabinowa {
namespace {

constexpr int kColumns = 18;

Mondai questionFrom(const build::MasterRow& row) {
    Mondai m;
    m.Inyo = leftChars(row.text(1), 2);
    m.InyoNo = row.int16(2);
    for (int i = 0; i < 4; ++i) {
        m.Sentaku[static_cast<std::size_t>(i)] = row.text(4 + i);
        m.SentakuLen[static_cast<std::size_t>(i)] = row.length(4 + i);
    }
    m.SentakuSu = 4;
    m.Kotae = row.text(7);
    m.KotaeLen = row.length(7);
    m.Kaisetu = row.text(11);
    m.KaisetuLen = row.length(11);
    for (int i = 0; i < 3; ++i) m.Bikou[static_cast<std::size_t>(i)] = row.text(12 + i);
    m.DoublePoint = row.int16(16);
    m.Mondai1 = row.text(17);
    m.Mondai1Len = row.length(17);
    m.Mondai2 = row.text(18);
    m.Mondai2Len = row.length(18);
    m.Syokyo = 0;
    return m;
}

}  // namespace

bool farFewer(long long fresh, long long old) { return fresh * 2 < old; }

std::string questionRecordsFrom(std::string master, const std::string& masterName) {
    std::string records;
    FieldReader reader(std::move(master), masterName);
    // The deck holds at most this many; a larger file could not be loaded.
    // Counted over the bytes first, so that nothing is converted in vain.
    if (const auto line = reader.lineOfFieldAhead(static_cast<std::size_t>(kDeckCapacity) * kColumns + 1))
        throw FileError(build::lineLabel(masterName, *line) + "：問題が多すぎます（最大" +
                        std::to_string(kDeckCapacity) + "問）。");
    while (!reader.atEnd()) {
        build::MasterRow row(reader, kColumns);
        const std::string label = build::lineLabel(masterName, row.firstLine());
        const std::string record = questionFrom(row).encode(label);
        // Never a record that the start would refuse to read.
        if (const std::string damage = mondaiDamage(record); !damage.empty())
            throw FileError(label + "：" + damage + "。");
        (void)Mondai::decode(record, label);  // throws what a reader of the record would
        records += record;
    }
    return records;
}

std::string buildQuestionFile(Session& session, const ConfirmLoss& confirmLoss) {
    Io& io = session.io;
    const AppFolders& folders = session.folders;
    const auto masterPath = folders.questionMaster();
    const auto recordPath = folders.questionRecords();
    const std::string masterName = displayName(masterPath);

    std::string records;
    build::withMasterRepair([&] { records = questionRecordsFrom(readWholeFile(io, masterPath), masterName); });

    const long long fresh = static_cast<long long>(records.size() / Mondai::kLength);
    // An empty master builds an empty bank; the loss of the questions there now is asked below.
    {
        // what the build replaces: the questions there now (a file that cannot be read holds none to lose)
        long long old = 0;
        try {
            const int fd = io.exists(recordPath) ? io.open(recordPath, Io::Mode::Read) : -1;
            if (fd >= 0) {
                old = std::max(0LL, io.size(fd)) / static_cast<long long>(Mondai::kLength);
                io.close(fd);
            }
        } catch (const FileError&) {
        }
        if (farFewer(fresh, old)) {
            const std::string question =
                "ファイル" + masterName + "には" + std::to_string(fresh) + "問しかありません。今の" +
                displayName(recordPath) + "の" + std::to_string(old) + "問と置き換えると、" +
                std::to_string(old - fresh) + "問とその記憶（答えの記録と覚えた印）が消え、ポイントは0になります。\n"
                "それでも作り直しますか？";
            if (!confirmLoss || !confirmLoss(question)) return kBuildDeclined;
        }
    }

    TextWriter points(displayName(folders.pointFile()));
    points.printNumber(0);

    // The learner's memory keeps only the questions of the new bank, and no
    // question of it stays mastered (the build revives every question), in
    // the same change.
    std::optional<std::vector<std::string>> keys;
    try {
        std::vector<std::string> bank;
        std::string raw;
        for (std::size_t at = 0; at + Mondai::kLength <= records.size(); at += Mondai::kLength)
            bank.push_back(bankQuestion(std::string_view(records).substr(at, Mondai::kLength),
                                        static_cast<int>(at / Mondai::kLength + 1), displayName(recordPath), raw)
                               .key);
        keys = std::move(bank);
    } catch (const FileError&) {
        keys.reset();
    }
    auto build = [&] {
        FileSet files(io, folders.journal());
        files.stage(recordPath, records);
        files.stage(folders.pointFile(), points.bytes());
        if (const auto& along = session.memory.companion()) files.stage(along->target, along->bytes);
        files.commit();
        return true;
    };
    std::optional<std::string> memoryProblem;
    if (keys) memoryProblem = session.memory.step(MemoryPart::rebuilt(std::move(*keys)), session.today(), build).problem;
    else build();

    session.points = 0;
    try {
        session.quiz.build(io, folders, session.random);
    } catch (const FileError& e) {
        // The new files are in place; only the deck of this run is the old one.
        throw FileError(std::string("問題ファイルは作り直しましたが、問題を読み込めませんでした。") + e.what());
    }
    std::string done = std::to_string(session.quiz.totalCount) + "  " + std::to_string(session.quiz.deckLength) + "件　終了";
    // The build went through; should the memory not have taken its part, the window says so once.
    if (memoryProblem) done += "　" + *memoryProblem;
    return done;
}

}  // namespace tabinowa
