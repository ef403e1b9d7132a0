// SPDX-License-Identifier: GPL-3.0-or-later
// tabinowa-kill-driver FOLDER ACTION: one step that changes a learner's
// progress, performed on a program folder by the same core code the windows
// use, after the start-up every run performs (lock, recovery). The
// kill-at-every-call test runs it under strace and kills it at each write,
// rename, unlink and fsync in turn. ACTION: recover (the start-up only),
// visit, startover, right, removal, revival, review, takedata DATA_SET (a
// newer data set taken with the progress). Exit 0 when done. A
// right answer and a removal remember the question as the windows do (its
// memory deferred and carried by the step's own change); a review answer
// changes the memory alone.
#include <iostream>
#include <string>

#include "core/base/random.h"
#include "core/session/session.h"
#include "core/build/data_update.h"
#include "core/build/startup.h"
#include "core/files/error.h"
#include "core/files/io.h"
#include "core/files/visit_state.h"
#include "core/game/visit_game.h"
#include "core/quiz/memory.h"
#include "core/quiz/questions.h"

using namespace tabinowa;

namespace {

// The first municipality the points can pay for, in list order.
bool visitFirstAffordable(Session& s) {
    game::VisitMap map(s);
    const auto prefectures = map.fillPrefectures();
    for (int p = 0; p < static_cast<int>(prefectures.size()); ++p) {
        const auto cities = map.choosePrefecture(p);
        for (int c = 0; c < static_cast<int>(cities.size()); ++c)
            if (map.chooseCity(c).visit.affordable) return map.visit().outcome == game::VisitMap::Outcome::Visited;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && !(argc == 4 && std::string(argv[2]) == "takedata")) {
        std::cerr << "usage: tabinowa-kill-driver FOLDER recover|visit|startover|right|removal|revival|review|takedata DATA_SET\n";
        return 2;
    }
    const std::string action = argv[2];
    PosixIo io;
    MtRandom random(1);
    Session s(argv[1], io, random);
    auto started = openProgramFolder(io, s.folders);
    if (!started.lock) {
        std::cerr << started.error << '\n';
        return 3;
    }
    try {
        if (action == "recover") {
            // A start reads the memory: its database rolls back a transaction
            // a kill cut short, and takes a step file left in place.
            s.memory.load();
            return started.notice.find("読めません") == std::string::npos ? 0 : 4;
        }
        s.points = readPoints(io, s.folders);
        s.quiz.build(io, s.folders, random);
        if (action == "visit") return visitFirstAffordable(s) ? 0 : 5;
        if (action == "startover") {
            game::VisitMap(s).startOver();
            return 0;
        }
        if (action == "right") {
            game::VisitQuiz quiz(s);
            quiz.start();
            bool scored = false;
            s.memory.step(MemoryPart::answer(*quiz.current(), Outcome::Good, activity::kVisit), s.today(), [&] {
                return scored = quiz.right().has_value();
            });
            return scored ? 0 : 5;
        }
        if (action == "removal") {
            QuestionFile file(io, s.folders);
            const int record = s.quiz.entry(1);
            s.memory.step(MemoryPart::answer(file.get(record), Outcome::Mastered, activity::kTraining), s.today(), [&] {
                file.markRemoved(record, s.memory.companion());
                return true;
            });
            return 0;
        }
        if (action == "takedata") {
            takeDataUpdate(s, planDataUpdate(s, argv[3]));
            return 0;
        }
        if (action == "review") {
            s.memory.record(QuestionFile(io, s.folders).get(s.quiz.entry(2)), Outcome::Good, s.today());
            return 0;
        }
        if (action == "revival") {
            s.memory.step(MemoryPart::reviveAll(), s.today(), [&] {
                reviveAll(io, s.folders, s.quiz.totalCount, s.memory.companion());
                return true;
            });
            return 0;
        }
    } catch (const FileError& e) {
        std::cerr << e.what() << '\n';
        return 1;
    }
    std::cerr << "unknown action " << action << '\n';
    return 2;
}
