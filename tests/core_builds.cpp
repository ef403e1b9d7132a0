// SPDX-License-Identifier: GPL-3.0-or-later
// The two working-file builds: "問題.csv" -> "問題.ran" (+ the point file), and
// "市町村.csv" + "都道府県データ.csv" -> "市町村.ran", "県範囲.csv",
// "訪問消去.ran", "市町村ｔｅｓｔ.csv". Both are all or nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "core/build/builds.h"
#include "core/session/session.h"
#include "core/files/cp932.h"
#include "core/files/error.h"
#include "core/files/io.h"
#include "core/files/records.h"
#include "core/quiz/memory.h"
#include "core/quiz/questions.h"
#include "support/faulty_io.h"
#include "support/fixed_random.h"
#include "support/temp_folder.h"

using namespace tabinowa;
using namespace tabinowa::testing;

// The largest single allocation since it was last set to 0.
static std::atomic<std::size_t> largestAllocation{0};

void* operator new(std::size_t n) {
    std::size_t seen = largestAllocation.load(std::memory_order_relaxed);
    while (n > seen && !largestAllocation.compare_exchange_weak(seen, n, std::memory_order_relaxed)) {
    }
    if (void* p = std::malloc(n == 0 ? 1 : n)) return p;
    throw std::bad_alloc();
}
// Out of line, so that the compiler never sees the free() of a pointer it knows
// came from operator new.
[[gnu::noinline]] void operator delete(void* p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

// ------------------------------------------------------------- fixtures ----

struct Program {
    TempProgramFolder folder;
    PosixIo io;
    FixedRandom random{{0.25, 0.75, 0.5, 0.125, 0.875, 0.375, 0.625}};
    Session session{folder.path(), io, random};
    AppFolders f() const { return folder.folders(); }
};

// Every file under the program folder, by relative path.
std::map<std::string, std::string> snapshot(const std::filesystem::path& root) {
    std::map<std::string, std::string> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(root))
        if (e.is_regular_file()) {
            auto rel = std::filesystem::relative(e.path(), root).u8string();
            files[std::string(rel.begin(), rel.end())] = readBytes(e.path());
        }
    return files;
}

// What the Session holds of the questions.
struct SessionState {
    std::int32_t points;
    int total, length, removed;
    std::vector<std::int16_t> deck;
    bool operator==(const SessionState&) const = default;
};
SessionState stateOf(const Session& s) {
    SessionState st{s.points, s.quiz.totalCount, s.quiz.deckLength, s.quiz.removedCount, {}};
    for (int i = 1; i <= s.quiz.deckLength; ++i) st.deck.push_back(s.quiz.entry(i));
    return st;
}

std::string q(std::string_view text) { return "\"" + std::string(text) + "\""; }

using Fields = std::map<int, std::string>;  // column -> raw field text (quoted or not)

std::string joinFields(const Fields& f, int columns) {
    std::string line;
    for (int c = 1; c <= columns; ++c) {
        if (c > 1) line += ',';
        auto it = f.find(c);
        if (it != f.end()) line += it->second;
    }
    return line + "\n";
}

Fields with(Fields base, const Fields& over) {
    for (const auto& [k, v] : over) base[k] = v;
    return base;
}

// ----------------------------------------------------- question masters ----

Fields question(const Fields& over = {}) {
    return with({{1, q("AB12")}, {2, "7"}, {4, q("選択一")}, {5, q("選択二")}, {6, q("選択三")}, {7, q("正解")},
                 {11, q("解説です")}, {12, q("備考一")}, {13, q("備考二")}, {14, q("備考三")}, {16, "0"},
                 {17, q("問題の前半")}, {18, q("後半です")}},
                over);
}

std::string questionMaster(const std::vector<Fields>& lines) {
    std::string text;
    for (const auto& l : lines) text += joinFields(l, 18);
    return sjisLines(text);
}

Mondai questionAt(const std::string& file, int n) {
    return Mondai::decode(std::string_view(file).substr(static_cast<std::size_t>(n - 1) * Mondai::kLength,
                                                        Mondai::kLength),
                          "test");
}

// ------------------------------------------------- municipality masters ----

Fields cityRow(const Fields& over) {
    return with({{2, "1"}, {3, "0"}, {4, "0"}, {5, "0"}, {15, "100"}, {16, "200"}, {17, "10000"}, {18, "50"},
                 {19, "400"}, {20, "3000"}, {21, "100"}, {22, "200"}, {23, "0"}, {24, "0"}},
                over);
}
// A municipality that did not merge: its own old name in field 6.
Fields town(int ken, const std::string& name, int x = 100, int y = 200, const Fields& over = {}) {
    return with(cityRow({{2, std::to_string(ken)}, {6, q(name)}, {7, q(name)}, {15, std::to_string(x)},
                         {16, std::to_string(y)}}),
                over);
}
// The municipality row of a merged municipality: field 6 empty.
Fields merged(int ken, const std::string& name, const Fields& over = {}) {
    return with(cityRow({{2, std::to_string(ken)}, {7, q(name)}}), over);
}
Fields oldTown(int ken, const std::string& name, int x, int y, const Fields& over = {}) {
    return with(cityRow({{2, std::to_string(ken)}, {5, "1"}, {6, q(name)}, {15, std::to_string(x)},
                         {16, std::to_string(y)}}),
                over);
}

std::string cityMaster(const std::vector<Fields>& rows) {
    std::string text;
    for (int c = 1; c <= 43; ++c) text += (c > 1 ? ",h" : "h") + std::to_string(c);
    text += "\n";
    for (const auto& r : rows) text += joinFields(r, 43);
    return sjisLines(text);
}

std::string prefName(int i) {
    static const char* names[] = {"北海道", "青森県", "岩手県", "宮城県"};
    return i <= 4 ? names[i - 1] : "県" + std::to_string(i);
}
std::string prefectureData(int lines) {
    std::string text;
    for (int i = 1; i <= lines; ++i) text += std::to_string(i) + "," + q(prefName(i)) + ",0,0,1,2,3,4\n";
    return sjisLines(text);
}

void writeCityMasters(const AppFolders& f, const std::vector<Fields>& rows, int prefectureLines = 47) {
    writeBytes(f.cityMaster(), cityMaster(rows));
    writeBytes(f.prefectureData(), prefectureData(prefectureLines));
}

City cityAt(const std::string& file, int n) {
    return City::decode(std::string_view(file).substr(static_cast<std::size_t>(n - 1) * City::kLength, City::kLength),
                        "test");
}

Homon markAt(const std::string& file, int n) {
    return Homon::decode(std::string_view(file).substr(static_cast<std::size_t>(n - 1) * Homon::kLength, Homon::kLength));
}

// An earlier state of a program folder: both builds done from small masters,
// then a question removed, a municipality visited, points won.
void prepareOldState(Program& p) {
    auto f = p.f();
    writeBytes(f.questionMaster(), questionMaster({question(), question({{2, "8"}}), question({{2, "9"}})}));
    writeCityMasters(f, {town(1, "甲市"), merged(2, "乙市"), oldTown(2, "乙町", 1, 2), oldTown(2, "丙村", 3, 4)});
    buildQuestionFile(p.session);
    buildCityFiles(p.session);
    {
        QuestionFile qf(p.io, f);
        Mondai m = qf.get(2);
        m.Syokyo = 1;
        qf.put(2, m);
    }
    p.session.quiz.build(p.io, f, p.random);
    writeBytes(f.visitMarks(), readBytes(f.visitMarks()).replace(0, 2, std::string("\x01\x00", 2)));
    writeBytes(f.rangeFile(), sjisLines("1,0,\"北海道\",1,1,1\n2,0,\"青森県\",2,2,0\n"));
    writeBytes(f.pointFile(), " 1500\r\n");
    p.session.points = 1500;
}

// A line in CP932 with "@@" replaced by raw bytes.
std::string withRawBytes(const std::string& utf8Line, const std::string& raw) {
    std::string bytes = sjisLines(utf8Line);
    return bytes.replace(bytes.find("@@"), 2, raw);
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

// ======================================================= question build ====

TEST(QuestionBuild, ThreeLinesGiveThreeActiveRecordsAPointResetAndANewDeck) {
    Program p;
    auto f = p.f();
    writeBytes(f.questionMaster(), questionMaster({question(), question({{2, "8"}}), question({{2, "9"}})}));
    writeBytes(f.pointFile(), " 1500\r\n");
    p.session.points = 1500;
    ASSERT_FALSE(std::filesystem::exists(f.questionRecords()));  // the first build simply goes on

    EXPECT_EQ(buildQuestionFile(p.session), "3  3件　終了");

    const std::string file = readBytes(f.questionRecords());
    ASSERT_EQ(file.size(), 3 * Mondai::kLength);
    for (int n = 1; n <= 3; ++n) {
        Mondai m = questionAt(file, n);
        EXPECT_EQ(m.Syokyo, 0);
        EXPECT_EQ(m.InyoNo, 6 + n);
    }
    EXPECT_EQ(readBytes(f.pointFile()), " 0\r\n");
    EXPECT_EQ(p.session.points, 0);
    EXPECT_EQ(p.session.quiz.totalCount, 3);
    ASSERT_EQ(p.session.quiz.deckLength, 3);
    std::vector<int> deck{p.session.quiz.entry(1), p.session.quiz.entry(2), p.session.quiz.entry(3)};
    std::sort(deck.begin(), deck.end());
    EXPECT_EQ(deck, (std::vector<int>{1, 2, 3}));
}

TEST(QuestionBuild, EveryFieldComesFromItsColumn) {
    Program p;
    const std::string long18(450, 'z');
    writeBytes(p.f().questionMaster(),
               questionMaster({question({{1, q("日本語です")}, {2, "-12"}, {7, q("正解")}, {16, "1"}, {18, q(long18)}})}));
    buildQuestionFile(p.session);
    Mondai m = questionAt(readBytes(p.f().questionRecords()), 1);

    EXPECT_EQ(m.Inyo, "日本");  // two characters fill all four bytes
    EXPECT_EQ(m.InyoNo, -12);
    EXPECT_EQ(trimRight(m.Sentaku[0]), "選択一");
    EXPECT_EQ(trimRight(m.Sentaku[1]), "選択二");
    EXPECT_EQ(trimRight(m.Sentaku[2]), "選択三");
    EXPECT_EQ(trimRight(m.Sentaku[3]), "正解");
    EXPECT_EQ(trimRight(m.Kotae), "正解");  // column 7 twice
    EXPECT_EQ(m.SentakuLen, (std::array<std::int16_t, 4>{3, 3, 3, 2}));
    EXPECT_EQ(m.KotaeLen, 2);
    EXPECT_EQ(m.SentakuSu, 4);
    EXPECT_EQ(trimRight(m.Kaisetu), "解説です");
    EXPECT_EQ(m.KaisetuLen, 4);
    EXPECT_EQ(trimRight(m.Bikou[0]), "備考一");
    EXPECT_EQ(trimRight(m.Bikou[2]), "備考三");
    EXPECT_EQ(m.DoublePoint, 1);
    EXPECT_EQ(trimRight(m.Mondai1), "問題の前半");
    EXPECT_EQ(m.Mondai1Len, 5);
    EXPECT_EQ(m.Mondai2Len, 450);  // the length before cutting
    EXPECT_EQ(m.Mondai2, std::string(400, 'z'));
}

TEST(QuestionBuild, NumbersAndTextsOfColumnsAsRead) {
    struct Case {
        const char* raw;
        int column;
        std::int16_t number;  // InyoNo (column 2) or DoublePoint (column 16)
    };
    const Case numbers[] = {
        {"2.5", 2, 2},      {"3.5", 2, 4},     {"-2.5", 2, -2},  {"", 2, 0},       {"\"7\"", 2, 7},
        {"32767", 2, 32767}, {"-32768.5", 2, -32768}, {"", 16, 0}, {"1.5", 16, 2}, {" 1 ", 16, 1},
    };
    for (const auto& c : numbers) {
        Program p;
        writeBytes(p.f().questionMaster(), questionMaster({question({{c.column, c.raw}})}));
        buildQuestionFile(p.session);
        Mondai m = questionAt(readBytes(p.f().questionRecords()), 1);
        EXPECT_EQ(c.column == 2 ? m.InyoNo : m.DoublePoint, c.number) << "column " << c.column << ": " << c.raw;
    }

    struct TextCase {
        const char* raw;  // column 4
        const char* stored;
        std::int16_t length;
        const char* inyo;  // the same raw text as column 1
    };
    const TextCase texts[] = {
        {"12345", "12345", 5, "12  "},  // a number is its decimal text
        {"1.50", "1.5", 3, "1.  "},
        {"007", "7", 1, "7   "},
        {"", "", 0, "    "},
        {"\"  a\"", "  a", 3, "    "},  // quoted blanks stay
        {"\"AB12\"", "AB12", 4, "AB  "},
    };
    for (const auto& c : texts) {
        Program p;
        writeBytes(p.f().questionMaster(), questionMaster({question({{1, c.raw}, {4, c.raw}})}));
        buildQuestionFile(p.session);
        Mondai m = questionAt(readBytes(p.f().questionRecords()), 1);
        EXPECT_EQ(trimRight(m.Sentaku[0]), c.stored) << c.raw;
        EXPECT_EQ(m.SentakuLen[0], c.length) << c.raw;
        EXPECT_EQ(m.Inyo, c.inyo) << c.raw;
    }
}

TEST(QuestionBuild, AnEmptyMasterGivesAnEmptyFile) {
    Program p;
    writeBytes(p.f().questionMaster(), "");
    writeBytes(p.f().questionRecords(), std::string(5 * Mondai::kLength, 'x'));
    // the five questions there now are lost only when the learner agrees
    int asked = 0;
    EXPECT_EQ(buildQuestionFile(p.session, [&](const std::string&) { return ++asked > 0; }), "0  0件　終了");
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(readBytes(p.f().questionRecords()), "");
    EXPECT_EQ(p.session.quiz.totalCount, 0);
    EXPECT_EQ(p.session.quiz.deckLength, 0);
}

TEST(QuestionBuild, RemovalMarksAreNotCarriedOver) {
    Program p;
    prepareOldState(p);  // question 2 removed
    ASSERT_EQ(p.session.quiz.removedCount, 1);
    ASSERT_EQ(p.session.quiz.deckLength, 2);

    EXPECT_EQ(buildQuestionFile(p.session), "3  3件　終了");
    const std::string file = readBytes(p.f().questionRecords());
    for (int n = 1; n <= 3; ++n) EXPECT_EQ(questionAt(file, n).Syokyo, 0) << n;
    EXPECT_EQ(p.session.quiz.removedCount, 0);
    EXPECT_EQ(p.session.quiz.deckLength, 3);
}

// The memory keeps the questions still in the bank, in the same change as the
// build, so that the menu's due count from the memory alone is the bank's.
TEST(QuestionBuild, TheMemoryKeepsOnlyTheQuestionsStillInTheBank) {
    Program p;
    auto f = p.f();
    writeBytes(f.questionMaster(), questionMaster({question(), question({{18, q("二問目")}}), question({{18, q("別の問題文")}})}));
    buildQuestionFile(p.session);
    std::vector<Mondai> built;
    {
        QuestionFile qf(p.io, f);
        for (int n = 1; n <= 3; ++n) built.push_back(qf.get(n));
    }
    // answered: 1 (due), 3 (due), and a question of an older bank (due)
    Mondai older = built[0];
    older.Mondai2 = "もう無い問題";
    for (const Mondai* m : {&built[0], &built[2], &older}) p.session.memory.record(*m, Outcome::Good, 100);
    ASSERT_EQ(p.session.memory.book().dueCount(200), 3);

    struct Case {
        const char* what;
        std::vector<Fields> master;
        std::vector<int> kept;  // of built[]; the older question never stays
    };
    const Case cases[] = {
        {"the same master", {question(), question({{18, q("二問目")}}), question({{18, q("別の問題文")}})}, {0, 2}},
        {"question 3 gone", {question(), question({{18, q("二問目")}})}, {0}},
        {"every question gone", {question({{18, q("全く別")}})}, {}},
    };
    // a removed question: the build revives it, so its card is mastered no more
    p.session.memory.record(built[2], Outcome::Mastered, 100);
    const auto db = p.session.memory.databaseFile();
    const std::string memoryBefore = readBytes(db);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeBytes(db, memoryBefore);
        Session fresh(f.program, p.io, p.random);  // a later run: the memory read from its file
        fresh.fixedDay = 150;  // revived questions are due from the day of the build
        writeBytes(f.questionMaster(), questionMaster(c.master));
        buildQuestionFile(fresh);
        MemoryStore onDisk(p.io, f.memoryFile());
        const MemoryBook& book = onDisk.book();
        EXPECT_EQ(book.cards.size(), c.kept.size());
        for (int k : c.kept) EXPECT_NE(book.find(memoryKey(built[static_cast<std::size_t>(k)])), nullptr) << k;
        EXPECT_EQ(book.find(memoryKey(older)), nullptr);
        // the answers per day stay whole: they are not the questions'
        ASSERT_EQ(book.days.size(), 1u);
        EXPECT_EQ(book.days.at(100).right, 3);
        // the run's own memory is the file's
        EXPECT_EQ(fresh.memory.book().cards.size(), c.kept.size());
        EXPECT_EQ(fresh.memory.book().dueCount(200), static_cast<int>(c.kept.size()));
        if (const Card* c = book.find(memoryKey(built[2]))) {
            EXPECT_FALSE(c->mastered) << "a question the build revived is mastered no more";
        }
        EXPECT_FALSE(std::filesystem::exists(f.journal()));
        EXPECT_FALSE(std::filesystem::exists(fresh.memory.stepFile()));
    }
    // nothing to drop and nothing mastered: the memory is not written at all
    Session again(f.program, p.io, p.random);
    buildQuestionFile(again);
    const std::string kept = readBytes(db);
    writeBytes(f.questionMaster(), questionMaster({question(), question({{18, q("全く別")}})}));
    buildQuestionFile(again);
    EXPECT_EQ(readBytes(db), kept);
    // a memory that cannot be read is left as it is, and the build goes on
    const std::string broken(4096, 'x');
    writeBytes(db, broken);
    Session later(f.program, p.io, p.random);
    writeBytes(f.questionMaster(), questionMaster({question({{18, q("全く別")}})}));
    EXPECT_NO_THROW(buildQuestionFile(later));
    EXPECT_EQ(readBytes(db), broken);
}

TEST(QuestionBuild, TheMapQuizsAnswersStayInTheMemoryAndAreNeverDue) {
    Program p;
    auto f = p.f();
    writeBytes(f.questionMaster(), questionMaster({question()}));
    buildQuestionFile(p.session);
    Mondai where;  // as どこでしょう keeps an answer: no question of any bank
    where.Mondai1 = std::string(kWhereKind) + "宮城県";
    where.Mondai2 = "「富谷市」はどこでしょう？";
    where.Kotae = "宮城県／富谷市";
    Mondai gone;
    gone.Mondai1 = "【読み】";
    gone.Mondai2 = "もう無い問題";
    for (const Mondai* m : {&where, &gone}) p.session.memory.record(*m, Outcome::Good, 100);
    EXPECT_EQ(p.session.memory.book().dueCount(200), 1) << "only the bank's kind of question is due";

    Session fresh(f.program, p.io, p.random);
    writeBytes(f.questionMaster(), questionMaster({question({{18, q("別の問題文")}})}));
    buildQuestionFile(fresh);
    MemoryStore onDisk(p.io, f.memoryFile());
    EXPECT_EQ(onDisk.book().find(memoryKey(gone)), nullptr) << "a bank question no longer in the bank goes";
    ASSERT_NE(onDisk.book().find(memoryKey(where)), nullptr) << "どこでしょう's answer stays";
    EXPECT_EQ(onDisk.book().find(memoryKey(where))->right, 1);
    EXPECT_EQ(onDisk.book().dueCount(200), 0);
}

TEST(QuestionBuild, AShortLineShiftsEveryLaterQuestion) {
    Program p;
    std::string text = joinFields(question({{18, q("一行目")}}), 17);  // 17 fields
    // field 17 of the next line becomes column 16 of the second question: a number
    text += joinFields(with(question({{1, q("次行")}, {17, "0"}}), {{19, q("余り")}}), 19);
    writeBytes(p.f().questionMaster(), sjisLines(text));

    EXPECT_EQ(buildQuestionFile(p.session), "2  2件　終了");
    const std::string file = readBytes(p.f().questionRecords());
    Mondai first = questionAt(file, 1), second = questionAt(file, 2);
    EXPECT_EQ(trimRight(first.Mondai2), "次行");        // field 1 of the next line
    EXPECT_EQ(trimRight(second.Inyo), "7");            // field 2 of the next line is its column 1
    EXPECT_EQ(trimRight(second.Mondai2), "余り");
}

TEST(QuestionBuild, RefusalsNameFileAndLineAndChangeNothing) {
    struct Case {
        const char* what;
        std::function<std::string()> master;  // bytes of "問題.csv"; empty optional = remove it
        std::vector<std::string> inMessage;
    };
    auto lines = [](std::vector<Fields> l) { return questionMaster(l); };
    const Case cases[] = {
        {"column 2 not a number", [&] { return lines({question(), question({{2, "abc"}})}); },
         {"「問題.csv」の2行目（2列目）", "数値ではありません"}},
        {"column 16 out of range", [&] { return lines({question(), question(), question({{16, "40000"}})}); },
         {"「問題.csv」の3行目（16列目）", "範囲"}},
        {"column 2 rounds out of range", [&] { return lines({question({{2, "32767.5"}})}); },
         {"「問題.csv」の1行目（2列目）", "範囲"}},
        {"ends inside a line",
         [&] { return lines({question(), question()}) + sjisLines(joinFields(question(), 10)); },
         {"「問題.csv」の3行目", "途中で終わっています", "18項目のうち10項目"}},
        {"an empty line at the end", [&] { return lines({question()}) + "\r\n"; },
         {"「問題.csv」の2行目", "途中で終わっています"}},
        {"invalid CP932 bytes",
         [&] { return lines({question()}) + withRawBytes(joinFields(question({{11, q("@@")}}), 18), "\xFF\xFF"); },
         {"「問題.csv」の2行目", "シフトJIS"}},
        {"a length beyond 16 bits",
         [&] { return lines({question({{11, q(std::string(32768, 'a'))}})}); },
         {"「問題.csv」の1行目（11列目）", "文字数"}},
        {"more questions than the deck holds",
         [&] {
             std::string one = sjisLines(joinFields({{1, q("a")}, {2, "1"}}, 18));
             std::string all;
             for (int i = 0; i < kDeckCapacity + 1; ++i) all += one;
             return all;
         },
         {"「問題.csv」の20001行目", "多すぎます"}},
        {"more questions than the deck holds, refused before a bad early line is met",
         [&] {
             std::string one = sjisLines(joinFields({{1, q("a")}, {2, "1"}}, 18));
             std::string all = sjisLines(joinFields({{1, q("a")}, {2, "abc"}}, 18));
             for (int i = 0; i < kDeckCapacity; ++i) all += one;
             return all + "\"never closed";
         },
         {"「問題.csv」の20001行目", "多すぎます"}},
        {"no master", [] { return std::string("<none>"); }, {"「問題.csv」がありません"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Program p;
        prepareOldState(p);
        std::string master = c.master();
        if (master == "<none>") std::filesystem::remove(p.f().questionMaster());
        else writeBytes(p.f().questionMaster(), master);
        const auto before = snapshot(p.folder.path());
        const auto session = stateOf(p.session);
        try {
            buildQuestionFile(p.session);
            ADD_FAILURE() << "no error";
        } catch (const FileError& e) {
            for (const auto& part : c.inMessage) EXPECT_TRUE(contains(e.what(), part)) << e.what();
        }
        EXPECT_EQ(snapshot(p.folder.path()), before);
        EXPECT_EQ(stateOf(p.session), session);
    }
}

TEST(QuestionBuild, AFailingWriteAnywhereLeavesTheOldOrTheWholeNewFiles) {
    const std::string master = questionMaster({question(), question({{2, "5"}}), question({{7, q("別解")}}),
                                               question({{16, "1"}})});
    std::map<std::string, std::string> before, after;
    int points = 0;
    {
        Program p;
        prepareOldState(p);
        writeBytes(p.f().questionMaster(), master);
        before = snapshot(p.folder.path());
        FaultyIo counter;
        Session s(p.folder.path(), counter, p.random);
        buildQuestionFile(s);
        points = counter.points();
        after = snapshot(p.folder.path());
    }
    ASSERT_GE(points, 6);  // two files written, flushed, closed and renamed at least
    std::cout << "[ fault points ] question build: " << points << " points\n";
    ASSERT_NE(before, after);
    int failures = 0;
    for (int k = 1; k <= points; ++k) {
        SCOPED_TRACE("failing at point " + std::to_string(k));
        Program p;
        prepareOldState(p);
        writeBytes(p.f().questionMaster(), master);
        FaultyIo io(k);
        Session s(p.folder.path(), io, p.random);
        s.quiz = p.session.quiz;
        s.points = 1500;
        const auto session = stateOf(s);
        try {
            buildQuestionFile(s);
            EXPECT_EQ(snapshot(p.folder.path()), after);
            EXPECT_EQ(s.points, 0);
            EXPECT_EQ(s.quiz.deckLength, 4);
        } catch (const FileError&) {
            ++failures;
            EXPECT_EQ(snapshot(p.folder.path()), before);
            EXPECT_EQ(stateOf(s), session);
        }
        EXPECT_TRUE(io.failed());
    }
    EXPECT_GT(failures, 0);
}

// =================================================== municipality build ====

TEST(CityBuild, MunicipalitiesThatDidNotMergeGiveOneRecordEach) {
    Program p;
    auto f = p.f();
    writeCityMasters(f, {town(1, "札幌市", 11, 12,
                              {{3, "2"}, {4, "5"}, {8, q("さっぽろし")}, {9, q("サッポロ")}, {17, "1952356"},
                               {18, "1121.5"}, {19, "80000.5"}, {20, "900000"}, {21, "5000"}, {22, "90000"},
                               {23, "7"}, {24, "-8"}, {38, q("メモ一")}, {42, q("メモ五")}}),
                         town(1, "函館市", 21, 22), town(2, "青森市", 31, 32)});

    EXPECT_EQ(buildCityFiles(p.session), "終了　3");

    const std::string records = readBytes(f.cityRecords());
    ASSERT_EQ(records.size(), 3 * City::kLength);
    City c = cityAt(records, 1);
    EXPECT_EQ(c.KenNo, 1);
    EXPECT_EQ(c.Syubetu, 2);
    EXPECT_EQ(c.SubCode, 5);
    EXPECT_EQ(c.RecNo, 1);
    EXPECT_EQ(trimRight(c.KyuName), "札幌市");
    EXPECT_EQ(trimRight(c.CityName), "札幌市");
    EXPECT_EQ(trimRight(c.Name2), "さっぽろし");
    EXPECT_EQ(trimRight(c.Name3), "サッポロ");
    EXPECT_EQ(c.Yobi, std::string(20, '\0'));
    EXPECT_EQ(c.X, 11);
    EXPECT_EQ(c.Y, 12);
    EXPECT_EQ(c.Jinko, 1952356);
    EXPECT_EQ(c.Menseki, 1122);   // 1121.5 to the even neighbour
    EXPECT_EQ(c.Jigyosyo, 80000);  // 80000.5 likewise
    EXPECT_EQ(c.Jugyoin, 900000);
    EXPECT_EQ(c.Kogyo, 5000);
    EXPECT_EQ(c.Syogyo, 90000);
    EXPECT_EQ(c.Extra1, 7);
    EXPECT_EQ(c.Extra2, -8);
    EXPECT_EQ(trimRight(c.Memo[0]), "メモ一");
    EXPECT_EQ(trimRight(c.Memo[4]), "メモ五");
    EXPECT_EQ(c.Yobi2, 0);
    EXPECT_EQ(c.KyuSu, 1);
    EXPECT_EQ(trimRight(c.KyuNames[1]), "札幌市");
    EXPECT_EQ(c.KyuX[1], 11);
    EXPECT_EQ(c.KyuY[1], 12);
    EXPECT_EQ(c.KyuTextLen[1], "11");  // 13 empty fields, 11 blanks
    EXPECT_EQ(c.KyuTextLen[0], "");
    for (int n = 2; n <= 3; ++n) {
        City o = cityAt(records, n);
        EXPECT_EQ(o.RecNo, n);
        EXPECT_EQ(o.KyuSu, 1);
        EXPECT_EQ(o.KyuX[1], n * 10 + 1);
    }
    const std::string blanks17(17, ' ');
    EXPECT_EQ(readBytes(f.cityTestList()), sjisLines("\"札幌市" + blanks17 + "\",0,1,11,12\n\"函館市" + blanks17 +
                                                    "\",0,1,21,22\n\"青森市" + blanks17 + "\",0,1,31,32\n"));
    EXPECT_EQ(readBytes(f.rangeFile()), sjisLines("1,0,\"北海道\",1,2,0\n2,0,\"青森県\",3,3,0\n"));
}

TEST(CityBuild, AMergedMunicipalityIsWrittenBeforeTheNextOneWithItsOldOnesInOrder) {
    Program p;
    auto f = p.f();
    writeCityMasters(f, {merged(1, "新市", {{15, "5"}, {16, "6"}}), oldTown(1, "旧甲町", 10, 11),
                         oldTown(1, "旧乙村", 20, 21), oldTown(1, "旧丙村", 30, 31), town(1, "単独町", 40, 41)});

    EXPECT_EQ(buildCityFiles(p.session), "終了　2");
    const std::string records = readBytes(f.cityRecords());
    ASSERT_EQ(records.size(), 2 * City::kLength);
    City a = cityAt(records, 1);
    EXPECT_EQ(trimRight(a.CityName), "新市");
    EXPECT_EQ(a.KyuName, std::string(20, ' '));
    EXPECT_EQ(a.X, 5);
    EXPECT_EQ(a.KyuSu, 3);
    const char* names[] = {"旧甲町", "旧乙村", "旧丙村"};
    for (int k = 1; k <= 3; ++k) {
        EXPECT_EQ(trimRight(a.KyuNames[static_cast<std::size_t>(k)]), names[k - 1]);
        EXPECT_EQ(a.KyuX[static_cast<std::size_t>(k)], k * 10);
        EXPECT_EQ(a.KyuY[static_cast<std::size_t>(k)], k * 10 + 1);
        EXPECT_EQ(a.KyuTextLen[static_cast<std::size_t>(k)], "12");  // old-municipality form: 12 blanks
    }
    City b = cityAt(records, 2);
    EXPECT_EQ(trimRight(b.CityName), "単独町");
    EXPECT_EQ(b.RecNo, 2);
    EXPECT_EQ(b.KyuSu, 1);
    EXPECT_EQ(trimRight(b.KyuNames[1]), "単独町");
    EXPECT_EQ(readBytes(f.cityTestList()),
              sjisLines("\"新市" + std::string(18, ' ') + "\",0,3,10,11\n\"単独町" + std::string(17, ' ') + "\",0,1,40,41\n"));
}

TEST(CityBuild, DescriptionsJoinFields25To37WithIdeographicBlanks) {
    Fields xs;
    for (int c = 25; c <= 37; ++c) xs[c] = "x";
    const std::string B = "\u3000";
    const std::string municipalityForm = "x" + B + "x" + B + "x" + B + "x" + B + "x" + B + "x" + B + "x" + B + "x" +
                                         B + "x" + B + "xx" + B + "x" + B + "x";
    const std::string oldForm = "x" + B + "x" + B + "x" + B + "x" + B + "x" + B + "x" + B + "x" + B + "x" + B + "x" +
                                B + "x" + B + "x" + B + "x" + B + "x";
    std::string k130;
    for (int i = 0; i < 130; ++i) k130 += "漢";
    const Fields kanji{{25, q(k130)}};

    struct Case {
        const char* what;
        bool oldRow;
        Fields fields;
        std::string text;  // the stored field, blanks at its end dropped
        std::string length;
    };
    const Case cases[] = {
        {"municipality form", false, xs, municipalityForm, "24"},
        {"old-municipality form", true, xs, oldForm, "25"},
        {"municipality: cut to 250 bytes", false, {{25, q(std::string(300, 'y'))}}, std::string(250, 'y'), "311"},
        {"old: kept to 200 characters", true, {{25, q(std::string(230, 'y'))}}, std::string(200, 'y'), "242"},
        {"municipality: two-byte characters", false, kanji, k130.substr(0, 125 * 3), "141"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Program p;
        if (c.oldRow) writeCityMasters(p.f(), {merged(1, "市"), oldTown(1, "町", 1, 2, c.fields)});
        else writeCityMasters(p.f(), {town(1, "町", 1, 2, c.fields)});
        buildCityFiles(p.session);
        City r = cityAt(readBytes(p.f().cityRecords()), 1);
        EXPECT_EQ(trimRight(r.KyuText[1]), c.text);
        EXPECT_EQ(r.KyuTextLen[1], c.length);
    }
}

TEST(CityBuild, RowsOfKindOneOrThreeLeaveNoTrace) {
    const std::vector<Fields> clean = {merged(1, "新市"), oldTown(1, "旧町", 1, 2), oldTown(1, "旧村", 3, 4),
                                       town(2, "単独町")};
    std::vector<Fields> noisy = {town(3, "消えた市", 9, 9, {{3, "1"}}), merged(1, "新市"), oldTown(1, "旧町", 1, 2),
                                 oldTown(1, "飛ばす村", 5, 5, {{3, "3"}}), merged(4, "幻市", {{3, "1"}}),
                                 oldTown(1, "旧村", 3, 4), town(5, "別県町", 7, 7, {{3, "3"}}), town(2, "単独町")};
    Program a, b;
    writeCityMasters(a.f(), clean);
    writeCityMasters(b.f(), noisy);
    EXPECT_EQ(buildCityFiles(a.session), "終了　2");
    EXPECT_EQ(buildCityFiles(b.session), "終了　2");
    for (auto file : {&AppFolders::cityRecords, &AppFolders::rangeFile, &AppFolders::visitMarks,
                      &AppFolders::cityTestList})
        EXPECT_EQ(readBytes((a.f().*file)()), readBytes((b.f().*file)()));
}

TEST(CityBuild, PrefectureRangesFollowTheRunsOfRecords) {
    std::vector<Fields> rows;
    for (int i = 1; i <= 170; ++i) rows.push_back(town(1, "町" + std::to_string(i)));
    rows.push_back(merged(1, "合併市"));  // record 171
    for (int i = 1; i <= 4; ++i) rows.push_back(oldTown(1, "旧" + std::to_string(i), i, i));
    for (int i = 172; i <= 180; ++i) rows.push_back(town(1, "町" + std::to_string(i)));
    for (int i = 181; i <= 219; ++i) rows.push_back(town(2, "村" + std::to_string(i)));
    rows.push_back(merged(2, "最後の市"));  // record 220, pending at the end
    rows.push_back(oldTown(2, "旧最後", 1, 1));
    Program p;
    writeCityMasters(p.f(), rows, 47);

    EXPECT_EQ(buildCityFiles(p.session), "終了　220");
    // One line per prefecture the masters hold, not 47.
    EXPECT_EQ(readBytes(p.f().rangeFile()), sjisLines("1,0,\"北海道\",1,180,0\n2,0,\"青森県\",181,220,0\n"));
    City last = cityAt(readBytes(p.f().cityRecords()), 220);
    EXPECT_EQ(trimRight(last.CityName), "最後の市");
    EXPECT_EQ(last.KyuSu, 1);
    EXPECT_EQ(trimRight(last.KyuNames[1]), "旧最後");
}

TEST(CityBuild, FilesAreWrittenAfreshWithFreshVisitMarks) {
    Program p;
    prepareOldState(p);  // 2 records, one visited
    auto f = p.f();
    writeBytes(f.cityRecords(), std::string(10 * City::kLength, 'q'));
    writeBytes(f.visitMarks(), std::string(10 * Homon::kLength, '\x01'));
    writeCityMasters(f, {town(1, "一町"), town(1, "二町"), town(2, "三町")});

    // three for the ten records there now: the loss is asked and agreed to
    int asked = 0;
    EXPECT_EQ(buildCityFiles(p.session, [&](const std::string&) { return ++asked > 0; }), "終了　3");
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(readBytes(f.cityRecords()).size(), 3 * City::kLength);
    const std::string marks = readBytes(f.visitMarks());
    ASSERT_EQ(marks.size(), 3 * Homon::kLength);
    for (int n = 1; n <= 3; ++n) {
        Homon h = markAt(marks, n);
        EXPECT_EQ(h.Homon, 0);
        EXPECT_EQ(h.HomonRec1, n);
        EXPECT_EQ(h.HomonRec2, n);
    }
    EXPECT_EQ(readBytes(f.rangeFile()), sjisLines("1,0,\"北海道\",1,2,0\n2,0,\"青森県\",3,3,0\n"));
    EXPECT_EQ(readBytes(f.pointFile()), " 1500\r\n");  // the points stay
}

TEST(CityBuild, TheRecordBufferIsNotClearedBetweenMunicipalities) {
    Program p;
    writeCityMasters(p.f(), {merged(1, "甲市", {{8, q("甲の二")}}), oldTown(1, "甲一", 1, 1), oldTown(1, "甲二", 2, 2),
                             oldTown(1, "甲三", 3, 3), merged(1, "乙市"), oldTown(1, "乙一", 4, 4)});
    buildCityFiles(p.session);
    City b = cityAt(readBytes(p.f().cityRecords()), 2);
    EXPECT_EQ(b.KyuSu, 1);
    EXPECT_EQ(trimRight(b.KyuNames[1]), "乙一");
    EXPECT_EQ(trimRight(b.KyuNames[2]), "甲二");  // slots above KyuSu keep what the earlier one left
    EXPECT_EQ(b.KyuX[3], 3);
    EXPECT_EQ(b.KyuTextLen[3], "12");
    EXPECT_EQ(trimRight(b.Name2), "");  // fields that every municipality sets are set
}

TEST(CityBuild, RefusalsNameFileAndLineAndChangeNothing) {
    std::vector<Fields> tooMany = {merged(1, "大市")};
    for (int i = 1; i <= 26; ++i) tooMany.push_back(oldTown(1, "旧" + std::to_string(i), i, i));
    std::vector<Fields> longTexts = {merged(1, "長市")};
    for (int i = 1; i <= 18; ++i) longTexts.push_back(oldTown(1, "旧" + std::to_string(i), i, i, {{25, q(std::string(100, 'w'))}}));
    std::vector<Fields> threePrefectures = {town(1, "一町"), town(2, "二町"), town(3, "三町")};

    struct Case {
        const char* what;
        std::string master;     // bytes of "市町村.csv"
        std::string prefectures;  // bytes of "都道府県データ.csv", "<none>" to remove it
        std::vector<std::string> inMessage;
    };
    const std::string pref47 = prefectureData(47);
    const Case cases[] = {
        {"26 old municipalities", cityMaster(tooMany), pref47, {"「市町村.csv」の28行目", "多すぎます"}},
        {"KyuTextLen over 52 bytes", cityMaster(longTexts), pref47, {"「市町村.csv」の2行目", "54バイト"}},
        {"49 prefecture lines", cityMaster({town(1, "町")}), prefectureData(49),
         {"「都道府県データ.csv」の49行目", "多すぎます"}},
        {"a range line without prefecture data", cityMaster(threePrefectures), prefectureData(2),
         {"「都道府県データ.csv」に3行目がありません"}},
        {"no prefecture data", cityMaster({town(1, "町")}), "<none>", {"「都道府県データ.csv」がありません"}},
        {"X beyond 16 bits", cityMaster({town(1, "町"), town(1, "村", 40000, 1)}), pref47,
         {"「市町村.csv」の3行目（15列目）", "範囲"}},
        {"old X beyond 16 bits", cityMaster({merged(1, "市"), oldTown(1, "村", -40000, 1)}), pref47,
         {"「市町村.csv」の3行目（15列目）"}},
        {"population beyond 32 bits", cityMaster({town(1, "町", 1, 1, {{17, "3000000000"}})}), pref47,
         {"「市町村.csv」の2行目（17列目）", "範囲"}},
        {"prefecture not a number", cityMaster({town(1, "町", 1, 1, {{2, q("一")}})}), pref47,
         {"「市町村.csv」の2行目（2列目）", "数値ではありません"}},
        {"ends inside a line", cityMaster({town(1, "町")}) + sjisLines("1,2,3\n"), pref47,
         {"「市町村.csv」の3行目", "途中で終わっています", "43項目のうち3項目"}},
        {"an empty master", "", pref47, {"「市町村.csv」の1行目", "途中で終わっています"}},
        {"old rows first", cityMaster({oldTown(1, "村", 1, 1), town(1, "町")}), pref47,
         {"「市町村.csv」の2行目", "合併した市町村の行"}},
        {"old rows after one that did not merge", cityMaster({town(1, "町"), oldTown(1, "村", 1, 1)}), pref47,
         {"「市町村.csv」の3行目", "合併した市町村の行"}},
        {"merged with no old rows", cityMaster({merged(1, "空市"), town(1, "町")}), pref47,
         {"「市町村.csv」の2行目", "「空市」の後に、旧市町村の行がありません"}},
        {"merged with no old rows at the end", cityMaster({town(1, "町"), merged(1, "空市")}), pref47,
         {"「市町村.csv」の3行目", "旧市町村の行がありません"}},
        {"a master of blank lines", cityMaster({}) + sjisLines(std::string(10000, '\n')), pref47,
         {"「市町村.csv」の3行目", "旧市町村の行がありません"}},
        {"invalid CP932 bytes", cityMaster({town(1, "町")}) + withRawBytes(joinFields(cityRow({{7, q("@@")}}), 43), "\x82"),
         pref47,
         {"「市町村.csv」の3行目", "シフトJIS"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Program p;
        prepareOldState(p);
        writeBytes(p.f().cityMaster(), c.master);
        if (c.prefectures == "<none>") std::filesystem::remove(p.f().prefectureData());
        else writeBytes(p.f().prefectureData(), c.prefectures);
        const auto before = snapshot(p.folder.path());
        const auto session = stateOf(p.session);
        try {
            buildCityFiles(p.session);
            ADD_FAILURE() << "no error";
        } catch (const FileError& e) {
            for (const auto& part : c.inMessage) EXPECT_TRUE(contains(e.what(), part)) << e.what();
        }
        EXPECT_EQ(snapshot(p.folder.path()), before);
        EXPECT_EQ(stateOf(p.session), session);
    }
}

// The build reserves room for its records up front, but never more than a
// master of that size could fill: a row of 43 fields takes at least 42 bytes.
// 20,000 blank lines are 20,000 empty fields, not room for 20,000 records.
TEST(CityBuild, AMasterOfBlankLinesIsRefusedWithoutReservingRoomForItsLines) {
    Program p;
    writeCityMasters(p.f(), {});
    const std::string master = cityMaster({}) + sjisLines(std::string(20000, '\n'));
    writeBytes(p.f().cityMaster(), master);
    largestAllocation = 0;
    EXPECT_THROW(buildCityFiles(p.session), FileError);
    EXPECT_LE(largestAllocation.load(), master.size() / 42 * City::kLength);
}

TEST(CityBuild, AFailingWriteAnywhereLeavesTheOldOrTheWholeNewFiles) {
    const std::vector<Fields> rows = {town(1, "一町"), merged(2, "二市"), oldTown(2, "旧二町", 1, 2),
                                      oldTown(2, "旧二村", 3, 4), town(3, "三町")};
    std::map<std::string, std::string> before, after;
    int points = 0;
    {
        Program p;
        prepareOldState(p);
        writeCityMasters(p.f(), rows);
        before = snapshot(p.folder.path());
        FaultyIo counter;
        Session s(p.folder.path(), counter, p.random);
        buildCityFiles(s);
        points = counter.points();
        after = snapshot(p.folder.path());
    }
    ASSERT_GE(points, 16);  // four files written, flushed, closed and renamed at least
    std::cout << "[ fault points ] municipality build: " << points << " points\n";
    ASSERT_NE(before, after);
    int failures = 0;
    for (int k = 1; k <= points; ++k) {
        SCOPED_TRACE("failing at point " + std::to_string(k));
        Program p;
        prepareOldState(p);
        writeCityMasters(p.f(), rows);
        FaultyIo io(k);
        Session s(p.folder.path(), io, p.random);
        try {
            EXPECT_EQ(buildCityFiles(s), "終了　3");
            EXPECT_EQ(snapshot(p.folder.path()), after);
        } catch (const FileError&) {
            ++failures;
            EXPECT_EQ(snapshot(p.folder.path()), before);
        }
        EXPECT_TRUE(io.failed());
    }
    EXPECT_GT(failures, 0);
}
