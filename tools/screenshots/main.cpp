// SPDX-License-Identifier: GPL-3.0-or-later
// tabinowa-screenshots OUT_DIR [PROGRAM_FOLDER]
//
// Drives the main menu, the environment and information windows and the
// training screen into their main states and saves one PNG per state in
// OUT_DIR. Works on a copy of PROGRAM_FOLDER's data folders (or, without one,
// on a small made-up question bank) in a temporary folder, so the given
// folder is never changed. Every shot is taken three times: at 100 %
// ("<window>-<state>.png"), at 200 % ("…@2x.png") and at the scale the
// program chooses for a 1280 × 720 screen ("…@720p.png").
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <optional>
#include <utility>
#include <string>
#include <vector>

#include "common.h"
#include "core/base/random.h"
#include "core/session/session.h"
#include "core/files/cp932.h"
#include "game_shots.h"
#include "map_shots.h"
#include "where_shots.h"
#include "paper_shots.h"
#include "core/files/io.h"
#include "core/files/records.h"
#include "core/files/error.h"
#include "core/files/journal.h"
#include "screens/frm2CityVisit.h"
#include "screens/frm2Doko.h"
#include "screens/frm2Fukusyu.h"
#include "screens/frm2Tizu.h"
#include "screens/frm2Sogo.h"
#include "screens/frm2Toukei.h"
#include "screens/frm1Main.h"
#include "screens/frm8Info.h"
#include "screens/frm9Kankyo.h"
#include "core/files/database.h"
#include "support/synthetic_learner.h"

#include <chrono>
#include <map>
#include <random>
#include <thread>
#include "screens/window_manager.h"
#include "screens/frm8Help.h"
#include "ui/application.h"
#include "ui/display_scale.h"

namespace fs = std::filesystem;
using namespace tabinowa;

namespace {

// A small bank: five questions with hint choices, as records and as a master.
void makeFixture(const AppFolders& f) {
    struct Q {
        const char* a1;
        const char* a2;
        const char* a3;
        const char* answer;
        const char* explanation;
        const char* first;
        const char* second;
    };
    const std::vector<Q> questions = {
        {"仙台市", "盛岡市", "秋田市", "青森市", "青森県の県庁所在地は青森市です。ねぶた祭で知られます。", "県庁所在地の問題",
         "青森県の県庁所在地はどこでしょう。"},
        {"大津市", "草津市", "彦根市", "長浜市", "長浜市は２０１０年に周辺の町と合併し、琵琶湖の北に広がる市になりました。",
         "合併の問題", "２０１０年に湖北の町と合併した滋賀県の市はどこでしょう。"},
        {"高知市", "徳島市", "松山市", "高松市", "高松市は香川県の県庁所在地です。", "県庁所在地の問題",
         "香川県の県庁所在地はどこでしょう。"},
        {"旭川市", "釧路市", "帯広市", "函館市", "函館市は北海道の南の玄関口です。", "地理の問題",
         "五稜郭のある北海道の市はどこでしょう。"},
        {"津市", "岐阜市", "静岡市", "名古屋市", "名古屋市は愛知県の県庁所在地で、政令指定都市です。", "県庁所在地の問題",
         "愛知県の県庁所在地はどこでしょう。"},
    };
    std::string records, master;
    int n = 0;
    for (const auto& q : questions) {
        ++n;
        Mondai m;
        m.Inyo = "県";
        m.InyoNo = static_cast<std::int16_t>(n);
        m.Sentaku = {q.a1, q.a2, q.a3, q.answer};
        m.SentakuSu = 4;
        m.Kotae = q.answer;
        m.Kaisetu = q.explanation;
        m.Mondai1 = q.first;
        m.Mondai2 = q.second;
        records += shots::withLengths(m).encode("fixture");
        master += std::string("\"県\",") + std::to_string(n) + ",,\"" + q.a1 + "\",\"" + q.a2 + "\",\"" + q.a3 +
                  "\",\"" + q.answer + "\",,,,\"" + q.explanation + "\",\"\",\"\",\"\",,0,\"" + q.first + "\",\"" +
                  q.second + "\"\r\n";
    }
    PosixIo io;
    writeFileAtomic(io, f.questionRecords(), records);
    writeFileAtomic(io, f.questionMaster(), toCp932(master, "問題.csv"));
}

// Sets the removed flag of every record from `from` on (1-based) to 1.
void removeFrom(const AppFolders& f, int from) {
    PosixIo io;
    std::string bytes = readWholeFile(io, f.questionRecords());
    const std::size_t count = bytes.size() / Mondai::kLength;
    for (std::size_t r = static_cast<std::size_t>(from); r <= count; ++r) {
        bytes[r * Mondai::kLength - 2] = 1;
        bytes[r * Mondai::kLength - 1] = 0;
    }
    writeFileAtomic(io, f.questionRecords(), bytes);
}

// Three months of a made-up learner's answers on the bank's questions, the
// last of them today, with their cards as the scheduler leaves them: the
// statistics' forecast and retention, and a fit of the weights, have
// something to show.
void fillLearnerLog(const AppFolders& f, std::int32_t today) {
    PosixIo io;
    const auto bank = readBank(io, f);
    if (bank.empty()) return;
    testing::SyntheticLearner p;
    p.weights = testing::unusualWeights();
    p.answers = 6000;
    p.newPerDay = 25;
    const auto log = testing::synthesize(p);
    const std::int32_t shift = today - log.back().day;
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> secs(2.0, 14.0);
    MemoryStore store(io, f.memoryFile());
    store.load();
    const fsrs::Scheduler scheduler = store.book().scheduler();
    std::map<std::string, Card> cards;
    Database db(io, store.databaseFile(), false);
    Database::Transaction t(db);
    db.exec("DELETE FROM answers; DELETE FROM cards;");  // a learner of its own, every answer in the log
    Database::Statement insert(db, "INSERT INTO answers(at, day, key, activity, outcome, right, seconds) VALUES(?,?,?,?,?,?,?)");
    for (const auto& a : log) {
        const std::size_t n = static_cast<std::size_t>(std::stoul(a.key.substr(4)));
        if (n >= bank.size() || bank[n].removed) continue;
        const std::string& key = bank[n].key;
        const std::int32_t day = a.day + shift;
        Card& c = cards[key];
        const auto g = static_cast<fsrs::Grade>(a.outcome + 1);
        c.state = c.state.graded() ? scheduler.next(c.state, day - c.lastDay, g) : scheduler.first(g);
        c.lastDay = day;
        c.dueDay = day + scheduler.intervalDays(c.state.stability);
        (a.outcome == 0 ? c.wrong : c.right) += 1;
        c.lastWrong = a.outcome == 0;
        insert.reset();
        insert.bind(1, std::int64_t{day} * 86400 + 43200).bind(2, std::int64_t{day}).bind(3, key)
            .bind(4, activity::kReview).bind(5, std::int64_t{a.outcome}).bind(6, std::int64_t{a.outcome != 0})
            .bind(7, secs(rng));
        insert.step();
    }
    Database::Statement put(db, "INSERT OR REPLACE INTO cards VALUES(?,?,?,?,?,?,?,?,?)");
    for (const auto& [key, c] : cards) {
        put.reset();
        put.bind(1, key).bind(2, c.state.stability).bind(3, c.state.difficulty).bind(4, std::int64_t{c.lastDay})
            .bind(5, std::int64_t{c.dueDay}).bind(6, std::int64_t{c.right}).bind(7, std::int64_t{c.wrong})
            .bind(8, std::int64_t{0}).bind(9, std::int64_t{c.lastWrong});
        put.step();
    }
    // The day and retention tallies, which the program keeps with each
    // answer, made as it makes them for a log it did not count: the database
    // taken back to its first version, which a write of the program upgrades.
    db.exec("DROP TABLE answer_days; DROP TABLE retention_tallies; ALTER TABLE answers DROP COLUMN due; PRAGMA user_version=1;");
    t.commit();
    if (!cards.empty()) {
        MemoryStore counted(io, f.memoryFile());
        counted.restore(cards.begin()->first, cards.begin()->second);
    }
}

// One run of the program over the working folder: a Session and its windows.
struct Run {
    explicit Run(const fs::path& folder) : session(folder, io, random), windows(session, [] {}) {
        windows.setConfirmer([](ui::Form&, const std::string&) { return true; });
        windows.start();
        ui::Application::processEvents();
    }
    ~Run() {
        windows.endProgram();
        ui::Application::processEvents();
    }
    PosixIo io;
    MtRandom random;
    Session session;
    WindowManager windows;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "使い方: tabinowa-screenshots 出力フォルダ [プログラムフォルダ]\n";
        return 2;
    }
    ui::Application app(argc, argv);
    fs::path out = argv[1];
    fs::create_directories(out);

    const auto shoot = [&](const fs::path& work, int& failures) {
        const AppFolders folders{work};
        shots::copyDataFolders(argc >= 3 ? fs::path(argv[2]) : fs::path(), work);
        if (argc < 3) makeFixture(folders);

        auto save = [&](ui::Form& form, const std::string& name) {
            if (!shots::saveShot(form, out / (name + ".png"))) ++failures;
        };

        // The visit game, on its own copy of the folder as found.
        failures += shots::shootVisitGame(out, work);
        // The map, on its own copy too.
        failures += shots::shootMap(out, work);
        // "どこでしょう", on its own copy too.
        failures += shots::shootWhere(out, work);
        // 印刷・PDF; its pages (PDF files and their pictures) at 100 % only.
        failures += shots::shootPaper(out, work, out.filename().string().rfind(".shots", 0) != 0);

        // As found: the menu, information, the training states, the environment.
        {
            Run run(work);
            auto& w = run.windows;
            save(w.main()->frm, "frm1Main");
            w.main()->mnuAsa.click();
            save(w.info()->frm, "frm8Info");
            w.info()->frm.closeBox();
            w.main()->mnuHelp.click();
            save(w.help()->frm, "frm8Help");
            w.help()->frm.closeBox();

            w.main()->cmdSogo.click();
            frm2Sogo* s = w.sogo();
            if (!s->cmdAns.isShown()) {
                std::cout << "出題できる問題がありません: frm2Sogo-question, -answer, -hint, -end は作成しません\n";
            } else {
                save(s->frm, "frm2Sogo-question");
                s->cmdAns.click();
                save(s->frm, "frm2Sogo-answer");
                // on to the first question that offers a hint
                s->cmdAns.click();
                while (s->cmdAns.isShown() && !s->cmdHint.isShown()) {
                    s->cmdAns.click();
                    s->cmdAns.click();
                }
                if (s->cmdHint.isShown()) {
                    s->cmdHint.click();
                    save(s->frm, "frm2Sogo-hint");
                    s->cmdAns.click();
                    s->cmdAns.click();
                } else {
                    std::cout << "ヒントのある問題がありません: frm2Sogo-hint は作成しません\n";
                }
                // through to the end of the deck
                while (s->cmdAns.isShown()) s->cmdAns.click();
                save(s->frm, "frm2Sogo-end");
            }
            s->cmdToMain.click();

            w.main()->mnuKankyo.click();
            w.kankyo()->cmdStoR.click();
            save(w.kankyo()->frm, "frm9Kankyo");
        }
        // Answering by choice in training, the review and the statistics.
        {
            Run run(work);
            auto& w = run.windows;
            w.main()->cmdSogo.click();
            frm2Sogo* s = w.sogo();
            s->answerMode.button.click();
            if (s->choices.open() && s->pickChoice(0)) save(s->frm, "frm2Sogo-choice");
            else std::cout << "選択肢のある問題がありません: frm2Sogo-choice は作成しません\n";
            s->answerMode.button.click();
            s->cmdToMain.click();
            ui::Application::processEvents();

            w.main()->cmdFukusyu.click();
            frm2Fukusyu* r = w.review();
            save(r->frm, "review-question");
            r->cmdAns.click();
            save(r->frm, "review-answered");
            r->cmdGrade[2].click();
            // The next question's grades: each its own wait.
            r->cmdAns.click();
            save(r->frm, "review-grades");
            r->cmdGrade[2].click();
            // A large bank: one kind of one prefecture, so that the day's queue ends.
            if (r->queue().records.size() > 300) {
                r->lstKen.clickItem(r->lstKen.count() - 1);
                r->lstKind.clickItem(r->lstKind.count() - 1);
            }
            // Graded through to the end of the day's queue (at most 300 questions).
            for (int i = 0; i < 300 && r->cmdAns.isShown(); ++i) {
                r->cmdAns.click();
                r->cmdGrade[static_cast<std::size_t>(i % 3 == 0 ? 0 : 2)].click();
            }
            if (!r->cmdAns.isShown()) save(r->frm, "review-done");
            else std::cout << "復習の問題が多すぎます: review-done は作成しません\n";
            r->cmdToMain.click();
            ui::Application::processEvents();

            w.main()->cmdToukei.click();
            frm2Toukei* st = w.stats();
            save(st->frm, "stats-kinds");
            st->cmdDays.click();
            save(st->frm, "stats-days");
            st->cmdToMain.click();
            ui::Application::processEvents();
        }
        // A learner with three months of answers: the forecast, the true
        // retention and the time per day, and the fit of the weights.
        {
            fillLearnerLog(folders, localDay(std::time(nullptr)));
            Run run(work);
            auto& w = run.windows;
            w.main()->cmdToukei.click();
            frm2Toukei* st = w.stats();
            st->cmdDays.click();
            save(st->frm, "stats-forecast");
            st->cmdRetention.click();
            save(st->frm, "stats-retention");
            st->cmdToMain.click();
            ui::Application::processEvents();
            w.main()->mnuKankyo.click();
            frm9Kankyo* k = w.kankyo();
            k->cmdFit.click();
            for (int i = 0; i < 6000 && k->lblFit.caption().find("…") != std::string::npos; ++i) {
                ui::Application::processEvents();
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            save(k->frm, "kankyo-fit");
            k->cmdToMain.click();
            ui::Application::processEvents();
        }
        // A file's long message with its way out, in each window that grows
        // its message line over a set area until the message is whole.
        {
            Run run(work);
            auto& w = run.windows;
            const std::string message = std::string("「作業ファイル/市町村.ran」の 1,200 件目が読めませんでした（ファイルが途中で切れています）。") +
                                        kJournalWayOut +
                                        "それでも直らないときは、プログラムを閉じ、写しておいたフォルダから「file」「file1」「作業ファイル」をフォルダごと戻してください。";
            const auto fail = [&message](ui::Form& form) { form.run([&message] { throw FileError(message); }); };
            const auto withMessage = [&](WindowId id, const char* name) {
                if (Window* win = w.window(id)) {
                    fail(win->form());
                    save(win->form(), name);
                } else {
                    std::cout << name << " の画面が開きません: 作成しません\n";
                }
            };
            w.main()->cmdCity.click();
            withMessage(WindowId::CityVisit, "message-game");
            w.returnToMenu(WindowId::CityVisit);
            ui::Application::processEvents();
            w.main()->cmdTizu.click();
            withMessage(WindowId::Tizu, "message-map");
            w.returnToMenu(WindowId::Tizu);
            ui::Application::processEvents();
            w.main()->cmdDoko.click();
            withMessage(WindowId::Doko, "message-where");
            w.returnToMenu(WindowId::Doko);
            ui::Application::processEvents();
            w.main()->cmdFukusyu.click();
            withMessage(WindowId::Review, "message-review");
            w.returnToMenu(WindowId::Review);
            ui::Application::processEvents();
            w.main()->cmdToukei.click();
            withMessage(WindowId::Stats, "message-stats");
            w.returnToMenu(WindowId::Stats);
            ui::Application::processEvents();
            // 環境作成 with a change's journal left behind: its restore button
            // beside the reset of the weights, and the message below them.
            const fs::path journal = folders.journal();
            if (!fs::exists(journal)) {
                std::ofstream(journal, std::ios::binary).flush();
                w.main()->mnuKankyo.click();
                withMessage(WindowId::Kankyo, "message-kankyo");
                w.kankyo()->cmdToMain.click();
                ui::Application::processEvents();
                fs::remove(journal);
            }
        }
        // A damaged memory: 環境作成 offers its repair, then says what it did.
        {
            const fs::path db = folders.data() / AppFolders::u8path("記憶.db");
            const fs::path kept = work / "記憶.db.screenshots~";
            fs::rename(db, kept);
            {
                std::ofstream(db, std::ios::binary) << std::string(4096, 'x');
                Run run(work);
                auto& w = run.windows;
                w.main()->mnuKankyo.click();
                frm9Kankyo* k = w.kankyo();
                save(k->frm, "kankyo-memory-damaged");
                k->cmdMemory.click();
                save(k->frm, "kankyo-memory-repaired");
                k->cmdToMain.click();
                ui::Application::processEvents();
            }
            for (const auto& e : fs::directory_iterator(folders.data()))
                if (e.path().filename().u8string().find(u8"記憶.db") == 0) fs::remove(e.path());
            fs::rename(kept, db);
        }
        // All but one question removed: remove the last one.
        removeFrom(folders, 2);
        {
            Run run(work);
            run.windows.main()->cmdSogo.click();
            frm2Sogo* s = run.windows.sogo();
            if (s->cmdAns.click() && s->cmdDel.click()) {
                save(s->frm, "frm2Sogo-cleared");
            } else {
                std::cout << "残りの問題がありません: frm2Sogo-cleared は作成しません\n";
            }
        }
        // Every question removed: nothing to train; then revive them all.
        {
            Run run(work);
            run.windows.main()->cmdSogo.click();
            frm2Sogo* s = run.windows.sogo();
            save(s->frm, "frm2Sogo-nothing");
            s->cmdSaisei.click();
            save(s->frm, "frm2Sogo-revived");
        }
    };
    struct Scale {
        const char* suffix;
        double scale;
        std::optional<std::pair<int, int>> area;
    };
    const Scale scales[] = {
        {"", 1.0, std::nullopt},
        {"@2x", 2.0, std::nullopt},
        {"@720p", ui::defaultScaleFor(1280, 720), std::make_pair(1280, 720)},
    };
    int failures = 0;
    for (const Scale& sc : scales) {
        ui::setDisplayScale(sc.scale);
        ui::fitInto(sc.area);
        const std::string suffix = sc.suffix;
        const fs::path final = out;
        // Shots at another scale are taken into a folder of their own, then
        // moved beside the others with the suffix in their names.
        out = suffix.empty() ? final : final / (".shots" + suffix);
        fs::create_directories(out);
        failures += shots::inTemporaryFolder("tabinowa-screenshots", "エラー", shoot);
        if (!suffix.empty()) {
            for (const auto& e : fs::directory_iterator(out)) {
                if (e.path().extension() != ".png") continue;
                fs::rename(e.path(), final / (e.path().stem().string() + suffix + ".png"));
            }
            fs::remove_all(out);
        }
        out = final;
    }
    return failures == 0 ? 0 : 1;
}
