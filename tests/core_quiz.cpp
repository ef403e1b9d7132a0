// SPDX-License-Identifier: GPL-3.0-or-later
// The question deck, the shuffle sort and the training rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "core/session/session.h"
#include "core/files/cp932.h"
#include "core/files/error.h"
#include "core/files/records.h"
#include "core/quiz/deck.h"
#include "core/quiz/questions.h"
#include "support/fixed_random.h"
#include "support/memory_io.h"
#include "support/temp_folder.h"

using namespace tabinowa;
using namespace tabinowa::testing;

namespace {

// Writes a question file whose records carry the given removed flags.
void writeQuestions(const AppFolders& f, const std::vector<int>& flags) {
    std::string bytes;
    for (std::size_t i = 0; i < flags.size(); ++i) {
        Mondai m;
        m.Inyo = "QZ";
        m.InyoNo = static_cast<std::int16_t>(i + 1);
        m.Mondai2 = "問題" + std::to_string(i + 1);
        m.Mondai2Len = static_cast<std::int16_t>(charCount(m.Mondai2));
        m.Syokyo = static_cast<std::int16_t>(flags[i]);
        bytes += m.encode("t");
    }
    writeBytes(f.questionRecords(), bytes);
}

std::vector<std::int16_t> column(std::initializer_list<int> values) {
    std::vector<std::int16_t> v{0};
    for (int x : values) v.push_back(static_cast<std::int16_t>(x));
    return v;
}

}  // namespace

TEST(ShuffleSort, ExamplesAndSmallCounts) {
    struct Case {
        std::vector<std::int16_t> keys, records;
        int n;
        std::vector<std::int16_t> wantKeys, wantRecords;
    };
    const Case cases[] = {
        {column({5, 3, 5, 1}), column({1, 2, 3, 4}), 4, column({1, 3, 5, 5}), column({4, 2, 1, 3})},
        {column({2, 2, 1}), column({1, 2, 3}), 3, column({1, 2, 2}), column({3, 1, 2})},
        {column({9, 1}), column({1, 2}), 0, column({9, 1}), column({1, 2})},
        {column({9, 1}), column({1, 2}), 1, column({9, 1}), column({1, 2})},
        {column({9, 1, 0}), column({1, 2, 3}), 2, column({1, 9, 0}), column({2, 1, 3})},  // only entries 1..n
        {column({-1, 20000, -32768}), column({1, 2, 3}), 3, column({-32768, -1, 20000}), column({3, 1, 2})},
    };
    for (const auto& c : cases) {
        auto keys = c.keys, records = c.records;
        shuffleSort(records, keys, c.n);
        EXPECT_EQ(keys, c.wantKeys);
        EXPECT_EQ(records, c.wantRecords);
    }
}

TEST(ShuffleSort, LargeColumnsComeOutAscendingAndKeepTheirPairs) {
    MtRandom random(42);
    for (int n : {2, 17, 1000, 20000}) {
        std::vector<std::int16_t> keys(static_cast<std::size_t>(n) + 1), records(static_cast<std::size_t>(n) + 1);
        for (int i = 1; i <= n; ++i) {
            keys[static_cast<std::size_t>(i)] = drawKey(random);
            records[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(i);
        }
        auto originalKeys = keys;
        shuffleSort(records, keys, n);
        EXPECT_TRUE(std::is_sorted(keys.begin() + 1, keys.end())) << n;
        for (int i = 1; i <= n; ++i)
            EXPECT_EQ(keys[static_cast<std::size_t>(i)], originalKeys[static_cast<std::size_t>(records[static_cast<std::size_t>(i)])]);
    }
}


TEST(Random, KeysStayInRangeAndDrawsDoNotRepeat) {
    FixedRandom edges({0.0, 0.99999999999, 0.5});
    EXPECT_EQ(drawKey(edges), 1);
    EXPECT_EQ(drawKey(edges), 20000);  // a u that rounds up to 1 in single precision stays below 1
    EXPECT_EQ(drawKey(edges), 10001);
    FixedRandom lucky({0.0999, 0.1});
    EXPECT_EQ(drawScaled(lucky, 10), 1);
    EXPECT_EQ(drawScaled(lucky, 10), 2);
    // Two generators made at the same moment, and consecutive draws, differ.
    MtRandom a, b;
    std::vector<double> da, db;
    for (int i = 0; i < 8; ++i) da.push_back(a.uniform()), db.push_back(b.uniform());
    EXPECT_NE(da, db);
    std::sort(da.begin(), da.end());
    EXPECT_EQ(std::adjacent_find(da.begin(), da.end()), da.end());
}

TEST(DeckBuild, CountsAndPermutation) {
    struct Case {
        std::vector<int> flags;
        int total, length, removed;
        std::vector<int> active;
    };
    const Case cases[] = {
        {{0, 1, 0, 0, 1}, 5, 3, 2, {1, 3, 4}},
        {{1, 1, 1}, 3, 0, 3, {}},
        {{0, 2, -1, 0}, 4, 2, 2, {1, 4}},  // any flag other than 0 counts as removed
        {{}, 0, 0, 0, {}},
    };
    for (const auto& c : cases) {
        TempProgramFolder tmp;
        writeQuestions(tmp.folders(), c.flags);
        PosixIo io;
        MtRandom random(7);
        QuestionDeck deck;
        deck.trainingCursor = 9;
        deck.visitCursor = 9;
        deck.build(io, tmp.folders(), random);
        EXPECT_EQ(deck.totalCount, c.total);
        EXPECT_EQ(deck.deckLength, c.length);
        EXPECT_EQ(deck.startupActiveCount, c.length);
        EXPECT_EQ(deck.removedCount, c.removed);
        EXPECT_EQ(deck.trainingCursor, 1);
        EXPECT_EQ(deck.visitCursor, 1);
        std::vector<int> got;
        for (int i = 1; i <= deck.deckLength; ++i) got.push_back(deck.entry(i));
        std::sort(got.begin(), got.end());
        EXPECT_EQ(got, c.active);
        EXPECT_EQ(deck.entry(0), 0);
        EXPECT_EQ(deck.entry(deck.deckLength + 1), 0);
    }
}

TEST(DeckBuild, AMissingFileOrAPartialRecordIsRefusedAndNothingIsCreated) {
    TempProgramFolder tmp;
    PosixIo io;
    MtRandom random(1);
    QuestionDeck deck;
    EXPECT_THROW(deck.build(io, tmp.folders(), random), FileError);
    EXPECT_EQ(deck.totalCount, 0);
    EXPECT_FALSE(std::filesystem::exists(tmp.folders().questionRecords())) << "never made empty";
    writeQuestions(tmp.folders(), {0, 0});
    deck.build(io, tmp.folders(), random);
    EXPECT_EQ(deck.totalCount, 2);
    const std::string cut = readBytes(tmp.folders().questionRecords()) + std::string(100, 'x');
    writeBytes(tmp.folders().questionRecords(), cut);
    EXPECT_THROW(deck.build(io, tmp.folders(), random), FileError);
    EXPECT_EQ(deck.totalCount, 2) << "the deck stays as it was";
    EXPECT_EQ(readBytes(tmp.folders().questionRecords()), cut);
}

TEST(DeckBuild, TooManyRecordsIsAnErrorThatChangesNothing) {
    TempProgramFolder tmp;
    PosixIo io;
    MtRandom random(1);
    QuestionDeck deck;
    writeQuestions(tmp.folders(), {0, 1, 0});
    deck.build(io, tmp.folders(), random);
    writeBytes(tmp.folders().questionRecords(), std::string(20001 * Mondai::kLength, '\0'));
    deck.trainingCursor = 3;
    EXPECT_THROW(deck.build(io, tmp.folders(), random), FileError);
    EXPECT_EQ(deck.totalCount, 3);
    EXPECT_EQ(deck.deckLength, 2);
    EXPECT_EQ(deck.trainingCursor, 3);
}

// A memory Io whose reads see only the first `visible` bytes of any file (a
// file that shrank after its size was taken) and whose n-th read fails.
class ShrinkingIo final : public Io {
public:
    MemoryIo memory;
    std::size_t visible = static_cast<std::size_t>(-1);
    int failRead = 0;
    int reads = 0;

    int open(const std::filesystem::path& p, Mode m) override { return memory.open(p, m); }
    long readAt(int fd, void* buf, std::size_t n, std::uint64_t off) override {
        if (++reads == failRead) return -1;
        if (off >= visible) return 0;
        return memory.readAt(fd, buf, std::min<std::size_t>(n, visible - off), off);
    }
    long writeAt(int fd, const void* buf, std::size_t n, std::uint64_t off) override { return memory.writeAt(fd, buf, n, off); }
    bool flush(int fd) override { return memory.flush(fd); }
    bool close(int fd) override { return memory.close(fd); }
    long long size(int fd) override { return memory.size(fd); }
    bool rename(const std::filesystem::path& a, const std::filesystem::path& b) override { return memory.rename(a, b); }
    bool remove(const std::filesystem::path& p) override { return memory.remove(p); }
    bool exists(const std::filesystem::path& p) override { return memory.exists(p); }
    bool isDirectory(const std::filesystem::path& p) override { return memory.isDirectory(p); }
};

// What the deck must hold after a build over `bytes` of which `visible` can be
// read: every whole record judged by its last two bytes (a record not read
// whole is active), keys drawn in record order, then the shuffle sort.
struct ExpectedDeck {
    std::vector<std::int16_t> records, keys;
    int total = 0, active = 0;
};
ExpectedDeck expectedDeck(const std::string& bytes, std::size_t visible, std::uint64_t seed) {
    ExpectedDeck e;
    e.records.assign(kDeckCapacity + 1, 0);
    e.keys.assign(kDeckCapacity + 1, 0);
    MtRandom random(seed);
    const std::size_t L = Mondai::kLength;
    e.total = static_cast<int>(bytes.size() / L);
    for (int r = 1; r <= e.total; ++r) {
        const std::size_t end = static_cast<std::size_t>(r) * L;
        const bool readWhole = end <= visible;
        if (readWhole && (bytes[end - 2] != 0 || bytes[end - 1] != 0)) continue;
        ++e.active;
        e.records[static_cast<std::size_t>(e.active)] = static_cast<std::int16_t>(r);
        e.keys[static_cast<std::size_t>(e.active)] = drawKey(random);
    }
    shuffleSort(e.records, e.keys, e.active);
    return e;
}

TEST(DeckBuild, EveryRecordIsJudgedByItsFlagAndAShortReadIsAnError) {
    const std::size_t L = Mondai::kLength;
    const std::size_t all = static_cast<std::size_t>(-1);
    struct Case {
        int records;
        std::size_t extra;    // bytes of a partial record at the end
        std::size_t visible;  // bytes the reads see
    };
    const Case cases[] = {
        {1, 0, all},         {99, 0, all},       {100, 0, all},          {101, 0, all},
        {250, 7, all},       {251, L - 1, all},  {777, 0, all},          {20000, 0, all},
        {300, 0, 150 * L},   {300, 0, 150 * L + 1}, {300, 0, 101 * L - 1}, {300, 0, 0},
        {300, 0, 299 * L + L / 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.records) + " records, visible " + std::to_string(c.visible));
        // Every byte but the flags is noise that a flag test must not see.
        std::string bytes(static_cast<std::size_t>(c.records) * L + c.extra, 'x');
        for (int r = 1; r <= c.records; ++r) {
            const std::size_t end = static_cast<std::size_t>(r) * L;
            const int kind = (r * 7 + r / 5) % 4;  // active, removed (1), removed (-1), removed (256)
            bytes[end - 2] = static_cast<char>(kind == 1 ? 1 : kind == 2 ? 0xFF : 0);
            bytes[end - 1] = static_cast<char>(kind == 2 || kind == 3 ? (kind == 2 ? 0xFF : 1) : 0);
        }
        ShrinkingIo io;
        const AppFolders folders{"/p"};
        io.memory.addFolder(folders.data());
        io.memory.setFile(folders.questionRecords(), bytes);
        io.visible = c.visible;
        MtRandom random(5);
        QuestionDeck deck;
        if (c.extra != 0 || c.visible < bytes.size()) {
            // a record cut short is damage, and a file that shrinks under the
            // read cannot be read: never a smaller bank
            EXPECT_THROW(deck.build(io, folders, random), FileError);
            EXPECT_EQ(deck.totalCount, 0);
            continue;
        }
        deck.build(io, folders, random);

        const ExpectedDeck e = expectedDeck(bytes, c.visible, 5);
        EXPECT_EQ(deck.totalCount, e.total);
        EXPECT_EQ(deck.deckLength, e.active);
        EXPECT_EQ(deck.removedCount, e.total - e.active);
        EXPECT_EQ(deck.recordColumn, e.records);
        EXPECT_EQ(deck.keyColumn, e.keys);
        for (int i = 1; i <= e.active; ++i) ASSERT_EQ(deck.entry(i), e.records[static_cast<std::size_t>(i)]) << i;
        // The random source was drawn once for each active question, no more.
        MtRandom after(5);
        for (int i = 0; i < e.active; ++i) drawKey(after);
        EXPECT_EQ(random.uniform(), after.uniform());
    }
}

TEST(DeckBuild, AFailedReadIsAnErrorNamingTheFileAndChangesNothing) {
    for (int failRead : {1}) {
        ShrinkingIo io;
        const AppFolders folders{"/p"};
        io.memory.addFolder(folders.data());
        // active records whose texts are 'x': sound, so only the failed read can stop the build
        const auto active = [](int n) {
            std::string bytes(static_cast<std::size_t>(n) * Mondai::kLength, 'x');
            for (int r = 1; r <= n; ++r) bytes[static_cast<std::size_t>(r) * Mondai::kLength - 2] =
                bytes[static_cast<std::size_t>(r) * Mondai::kLength - 1] = 0;
            return bytes;
        };
        io.memory.setFile(folders.questionRecords(), active(3));
        MtRandom random(1);
        QuestionDeck deck;
        deck.build(io, folders, random);
        ASSERT_EQ(deck.deckLength, 3);
        io.memory.setFile(folders.questionRecords(), active(300));
        io.reads = 0;
        io.failRead = failRead;
        deck.trainingCursor = 2;
        try {
            deck.build(io, folders, random);
            ADD_FAILURE() << "no error at read " << failRead;
        } catch (const FileError& e) {
            EXPECT_NE(std::string(e.what()).find("問題.ran」を読めませんでした"), std::string::npos)
                << e.what();
        }
        EXPECT_EQ(deck.totalCount, 3);
        EXPECT_EQ(deck.deckLength, 3);
        EXPECT_EQ(deck.trainingCursor, 2);
    }
}

TEST(DeckBuild, FullBankOrderHoldsEveryRecordOnce) {
    TempProgramFolder tmp;
    writeQuestions(tmp.folders(), {0, 1, 0, 1, 0, 0, 0, 0, 0, 1});
    PosixIo io;
    MtRandom random(3);
    QuestionDeck deck;
    deck.build(io, tmp.folders(), random);
    deck.shuffleFullBank(random);
    std::vector<int> got;
    for (int i = 1; i <= 10; ++i) got.push_back(deck.fullBankEntry(i));
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(deck.fullBankEntry(11), 0);
    EXPECT_EQ(deck.deckLength, 7);  // the training deck is untouched
}

TEST(SessionDeck, EachBuildReadsTheFileAgainAndAFailureKeepsTheDeckAsItWas) {
    struct Case {
        const char* what;
        std::size_t records;  // 20,001 is one too many
        bool fails;
    };
    const Case cases[] = {{"a bank", 40, false}, {"an empty bank", 0, false}, {"too many questions", 20001, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempProgramFolder tmp;
        // texts of 'x' (a record no build wrote would be refused), flags 0 but every third removed
        std::string bytes(c.records * Mondai::kLength, 'x');
        for (std::size_t r = 1; r <= c.records; ++r) {
            bytes[r * Mondai::kLength - 2] = 0;
            bytes[r * Mondai::kLength - 1] = r % 3 == 0 ? 1 : 0;
        }
        writeBytes(tmp.folders().questionRecords(), bytes);
        PosixIo io;
        MtRandom random(11), same(11);
        Session session(tmp.path(), io, random);
        session.quiz.trainingCursor = 5;
        if (c.fails) {
            EXPECT_THROW(session.buildDeck(), FileError);
            EXPECT_EQ(session.quiz.trainingCursor, 5);  // the deck as it was
            EXPECT_EQ(session.quiz.totalCount, 0);
            continue;
        }
        session.buildDeck();
        QuestionDeck direct;
        direct.build(io, tmp.folders(), same);
        EXPECT_EQ(session.quiz.totalCount, static_cast<int>(c.records));
        EXPECT_EQ(session.quiz.deckLength, direct.deckLength);
        EXPECT_EQ(session.quiz.recordColumn, direct.recordColumn);
        EXPECT_EQ(session.quiz.keyColumn, direct.keyColumn);
        EXPECT_EQ(session.quiz.trainingCursor, 1);
        // The next build reads the file again (now holding one question more).
        std::string more(Mondai::kLength, 'x');
        more[Mondai::kLength - 2] = more[Mondai::kLength - 1] = 0;
        writeBytes(tmp.folders().questionRecords(), bytes + more);
        session.buildDeck();
        EXPECT_EQ(session.quiz.totalCount, static_cast<int>(c.records) + 1);
    }
}

TEST(Training, AchievementLine) {
    struct Case {
        int removed, total;
        bool afterRemoval;
        const char* expected;
    };
    const Case cases[] = {
        {0, 10, false, "現在の達成率は　0件 0％"},
        {1, 10, true, "現在の達成率は　1件　10％"},
        {29, 100, true, "現在の達成率は　29件　28％"},  // 29 / 100 * 100 is just below 29
        {1, 3, true, "現在の達成率は　1件　33％"},
        {100, 100, true, "現在の達成率は　100件　100％"},
        {0, 0, false, "現在の達成率は　0件 0％"},  // an empty bank: no division by zero
    };
    for (const auto& c : cases) EXPECT_EQ(achievementLine(c.removed, c.total, c.afterRemoval), c.expected);
}

TEST(Training, HintOrdersTheChoicesByKeys) {
    Mondai m;
    m.Mondai1 = "どれでしょう";
    m.Kotae = "正解はこれ";
    m.Sentaku = {"一番目の選択肢", "二番目", "三番目", "正解はこれ、二十文字を超える長い長い選択肢の文章"};
    Mondai stored = Mondai::decode(m.encode("t"), "t");
    EXPECT_TRUE(hasHint(stored));
    // keys 5, 9, 1, 3 -> order 3, 4, 1, 2
    FixedRandom random({0.4, 0.8, 0.0, 0.2});
    const std::string six = "\r\n\u3000\u3000\u3000\u3000\u3000\u3000";
    EXPECT_EQ(hintText(stored, random), "《ヒント》\u3000三番目" + std::string(17, ' ') + six +
                                            "正解はこれ、二十文字を超える長い長い選択" + six + "一番目の選択肢" +
                                            std::string(13, ' ') + six + "二番目" + std::string(17, ' '));
    Mondai none;
    none.Mondai1 = "選択肢のない問題";
    EXPECT_FALSE(hasHint(Mondai::decode(none.encode("t"), "t")));
}

TEST(Training, ReviveAllChangesOnlyTheRemovedFlag) {
    TempProgramFolder tmp;
    auto f = tmp.folders();
    writeQuestions(f, {1, 0, 1, 1});
    const std::string before = readBytes(f.questionRecords());
    PosixIo io;
    reviveAll(io, f, 4);
    const std::string after = readBytes(f.questionRecords());
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < after.size(); ++i) {
        const bool flagByte = i % Mondai::kLength >= Mondai::kLength - 2;
        if (flagByte) EXPECT_EQ(after[i], 0) << i;
        else EXPECT_EQ(after[i], before[i]) << i;
    }
    QuestionFile file(io, f);
    EXPECT_EQ(file.get(3).Syokyo, 0);
    EXPECT_EQ(file.get(3).InyoNo, 3);
}
