// SPDX-License-Identifier: GPL-3.0-or-later
// The record views: every reader of a record file takes the same rule for
// the same bytes (which flags mean removed or visited, which lengths fit),
// and the writers that clear a flag clear all of it.
#include <gtest/gtest.h>

#include <functional>

#include "core/base/random.h"
#include "core/files/error.h"
#include "core/files/record_views.h"
#include "core/files/records.h"
#include "core/quiz/deck.h"
#include "core/quiz/memory.h"
#include "core/quiz/questions.h"
#include "core/quiz/review.h"
#include "support/question_bank.h"
#include "support/temp_folder.h"

using namespace tabinowa;
using namespace tabinowa::testing;

namespace {

std::string le16(int v) {
    auto u = static_cast<std::uint16_t>(v);
    return std::string{static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
}

// Flags as other programs may have left them: any value but 0 is removed,
// whichever byte carries it.
struct FlagCase {
    std::int16_t flag;
    bool removed;
};
const FlagCase kFlags[] = {{0, false}, {1, true}, {256, true}, {-1, true}, {2, true}, {-32768, true}, {0x7F00, true}};

TEST(RemovedFlag, EveryReaderOfTheBankAgreesOnWhichFlagsMeanRemoved) {
    std::vector<Mondai> questions;
    int removed = 0;
    for (std::size_t i = 0; i < std::size(kFlags); ++i) {
        questions.push_back(sampleQuestion(static_cast<int>(i + 1), false, kFlags[i].flag));
        removed += kFlags[i].removed;
    }
    TempProgramFolder dir;
    PosixIo io;
    writeBank(dir.folders(), questions);
    const std::string bytes = readBytes(dir.folders().questionRecords());

    const auto bank = readBank(io, dir.folders());
    ASSERT_EQ(bank.size(), std::size(kFlags));
    for (std::size_t i = 0; i < std::size(kFlags); ++i) {
        SCOPED_TRACE(kFlags[i].flag);
        const std::string_view record = std::string_view(bytes).substr(i * Mondai::kLength, Mondai::kLength);
        EXPECT_EQ(MondaiView(record).removed(), kFlags[i].removed);
        EXPECT_EQ(Mondai::decode(record, "test").removed(), kFlags[i].removed);
        EXPECT_EQ(bank[i].removed, kFlags[i].removed) << "the review's and the statistics' bank";
    }
    EXPECT_EQ(removedCount(bytes), removed) << "the environment window's count";

    MtRandom random;
    QuestionDeck deck;
    deck.build(io, dir.folders(), random);
    EXPECT_EQ(deck.removedCount, removed);
    EXPECT_EQ(deck.deckLength, static_cast<int>(std::size(kFlags)) - removed);
    for (int i = 1; i <= deck.deckLength; ++i) EXPECT_EQ(deck.entry(i), 1) << "only the active question is dealt";
}

// Revival clears both bytes of every flag and changes no other byte; a
// removal writes the flag's low byte and nothing else.
TEST(RemovedFlag, RevivalClearsTheWholeFlagAndARemovalOneByte) {
    std::vector<Mondai> questions;
    for (std::size_t i = 0; i < std::size(kFlags); ++i)
        questions.push_back(sampleQuestion(static_cast<int>(i + 1), false, kFlags[i].flag));
    TempProgramFolder dir;
    PosixIo io;
    writeBank(dir.folders(), questions);
    const std::string before = readBytes(dir.folders().questionRecords());
    reviveAll(io, dir.folders(), static_cast<int>(questions.size()));
    const std::string after = readBytes(dir.folders().questionRecords());
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < questions.size(); ++i) {
        SCOPED_TRACE(kFlags[i].flag);
        EXPECT_EQ(storedFlag(dir.folders(), static_cast<int>(i + 1)), 0);
        const std::size_t at = i * Mondai::kLength;
        EXPECT_EQ(after.substr(at, mondai::Syokyo.offset), before.substr(at, mondai::Syokyo.offset));
    }
    for (const auto& q : readBank(io, dir.folders())) EXPECT_FALSE(q.removed) << q.record;

    {
        QuestionFile file(io, dir.folders());
        file.markRemoved(3);
    }
    const std::string removed = readBytes(dir.folders().questionRecords());
    std::string want = after;
    want[2 * Mondai::kLength + mondai::kRemovedByteAt] = '\x01';
    EXPECT_EQ(removed, want);
}

// A municipality record whose variable-length part does not fit is refused by
// every decode the program runs (whole, the lists', the lists' without descriptions).
TEST(CityLengths, ARecordWhoseLengthsDoNotFitIsRefusedByEveryDecode) {
    City c = City::zeroed();
    c.KenNo = 1;
    c.RecNo = 1;
    c.CityName = "札幌市";
    c.Jinko = 1000;
    c.Menseki = 10;
    c.KyuSu = 2;
    c.KyuNames[1] = "札幌";
    c.KyuNames[2] = "琴似";
    c.KyuTextLen[1] = "12";
    c.KyuTextLen[2] = "7";
    const std::string good = c.encode("test");
    // where the lengths lie: slot 0 (empty), slot 1 ("12"), slot 2 ("7"), 23 empty slots, KyuSu
    const std::size_t slot0 = city::kKyuTextLenAt, slot1 = slot0 + 2, slot2 = slot1 + 2 + 2;
    const std::size_t kyuSuAt = slot2 + 2 + 1 + 23 * 2;
    ASSERT_EQ(good.substr(kyuSuAt, 2), le16(2));

    struct Case {
        const char* what;
        std::size_t at;
        std::string bytes;
        const char* says;  // refused for this reason, not by a later check that happens to fail
    };
    const char* const length = "説明の長さが記録に収まりません";
    const char* const count = "旧市町村の数";
    const Case bad[] = {
        {"a negative length", slot0, le16(-1), length},
        {"a negative length further on", slot2, le16(-2), length},
        {"the lowest length", slot1, le16(-32768), length},
        {"a length past the record", slot1, le16(200), length},
        {"a length that leaves no room for KyuSu", slot0, le16(static_cast<int>(city::kLength - 2 - slot0 - 2 + 1)), length},
        {"KyuSu above 25", kyuSuAt, le16(26), count},
        {"KyuSu below 0", kyuSuAt, le16(-1), count},
    };
    for (const auto& b : bad) {
        SCOPED_TRACE(b.what);
        std::string record = good;
        record.replace(b.at, b.bytes.size(), b.bytes);
        const std::function<void()> decodes[] = {
            [&] { City::decode(record, "test"); },
            [&] { City::decode(record, "test", CityFields::Lists); },
            [&] { City::decode(record, "test", CityFields::Lists, Descriptions::Skip); },
            [&] { CityView(record, "test").lengths(); },
        };
        for (const auto& decode : decodes) {
            try {
                decode();
                ADD_FAILURE() << "accepted";
            } catch (const FileError& e) {
                EXPECT_NE(std::string(e.what()).find(b.says), std::string::npos) << e.what();
            }
        }
    }
    const City back = City::decode(good, "test", CityFields::Lists, Descriptions::Skip);
    EXPECT_EQ(back.KyuSu, 2);
    EXPECT_EQ(back.KyuTextLen[1], "12");
    EXPECT_EQ(back.KyuNames[2].substr(0, 6), "琴似");
    EXPECT_THROW(City::decode(std::string_view(good).substr(0, 8000), "test"), FileError);
}

TEST(VisitMark, AnyFlagButZeroIsVisitedAndAMarkBeyondTheEndIsNot) {
    std::string marks;
    for (const auto& f : kFlags) marks += le16(f.flag) + le16(1) + le16(1);
    for (std::size_t i = 0; i < std::size(kFlags); ++i) {
        SCOPED_TRACE(kFlags[i].flag);
        EXPECT_EQ(markVisited(marks, static_cast<int>(i + 1)), kFlags[i].removed);
        EXPECT_EQ(Homon::decode(std::string_view(marks).substr(i * 6, 6)).Homon, kFlags[i].flag);
    }
    EXPECT_FALSE(markVisited(marks, 0));
    EXPECT_FALSE(markVisited(marks, static_cast<int>(std::size(kFlags)) + 1));
    EXPECT_FALSE(markVisited(marks.substr(0, marks.size() - 1), static_cast<int>(std::size(kFlags))));
}

// A question answered again after it was removed is back in the review:
// every grade un-masters it, and only a removal masters it.
TEST(MemoryMastered, AnAnswerAfterARemovalUnmastersTheQuestion) {
    const Mondai q = sampleQuestion(1);
    const std::string key = memoryKey(q);
    struct Case {
        Outcome outcome;
        bool mastered;
    };
    const Case cases[] = {{Outcome::Again, false}, {Outcome::Hard, false}, {Outcome::Good, false},
                          {Outcome::Easy, false}, {Outcome::Mastered, true}};
    for (const auto& c : cases) {
        MemoryBook book;
        book.cards[key] = book.applied(key, Outcome::Good, 10);
        book.cards[key] = book.applied(key, Outcome::Mastered, 11);
        ASSERT_TRUE(book.cards[key].mastered);
        const Card next = book.applied(key, c.outcome, 12);
        EXPECT_EQ(next.mastered, c.mastered) << static_cast<int>(c.outcome);
        book.cards[key] = next;
        EXPECT_EQ(book.dueCount(12 + kMasteredDays), c.mastered ? 0 : 1) << static_cast<int>(c.outcome);
    }
}

}  // namespace
