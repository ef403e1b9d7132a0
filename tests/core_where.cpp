// どこでしょう's answers in the memory of every answer: keys apart from the
// bank's, one per map and place, and the places found read back by prefecture.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "map/where_round.h"
#include "quiz/memory.h"

namespace tabinowa {
namespace {

WherePlace place(const std::string& name, const std::string& pref, bool old = false) {
    WherePlace p;
    p.name = name;
    p.presentName = old ? "宇城市" : name;
    p.prefName = pref;
    p.old = old;
    return p;
}

TEST(WhereMemory, EachMapAndPlaceHasItsOwnKeyApartFromTheBank) {
    const std::string onPref = memoryKey(whereMemoryQuestion(place("富谷市", "宮城県"), "宮城県", false));
    EXPECT_EQ(onPref, "【どこでしょう】宮城県\n「富谷市」はどこでしょう？\n宮城県／富谷市");
    struct Row {
        const char* what;
        std::string key;
    } others[] = {
        {"the same place on the map of Japan",
         memoryKey(whereMemoryQuestion(place("富谷市", "宮城県"), "全国", true))},
        {"an old municipality of the same name",
         memoryKey(whereMemoryQuestion(place("富谷市", "宮城県", true), "宮城県", false))},
        {"the same name in another prefecture",
         memoryKey(whereMemoryQuestion(place("富谷市", "福島県"), "福島県", false))},
    };
    for (const Row& r : others) EXPECT_NE(r.key, onPref) << r.what;
    // Bank questions start with their own kind; ours never has one of theirs.
    Mondai bank;
    bank.Mondai1 = "【読み】富谷市";
    bank.Mondai2 = "「富谷市」はどこでしょう？";
    bank.Kotae = "宮城県／富谷市";
    EXPECT_NE(memoryKey(bank), onPref);
    EXPECT_EQ(questionKind(whereMemoryQuestion(place("富谷市", "宮城県"), "宮城県", false)), "【どこでしょう】");
}

TEST(WhereMemory, PlacesFoundAreThoseAnsweredRightOnAnyMap) {
    MemoryBook book;
    const auto answer = [&](const WherePlace& p, const std::string& map, bool japan, Outcome o) {
        const std::string key = memoryKey(whereMemoryQuestion(p, map, japan));
        book.cards[key] = book.applied(key, o, 20000);
    };
    answer(place("富谷市", "宮城県"), "宮城県", false, Outcome::Good);
    answer(place("仙台市", "宮城県"), "全国", true, Outcome::Good);       // found on Japan's map
    answer(place("石巻市", "宮城県"), "宮城県", false, Outcome::Again);   // missed only
    answer(place("豊野村", "熊本県", true), "熊本県", false, Outcome::Good);
    answer(place("福島市", "福島県"), "福島県", false, Outcome::Again);
    answer(place("福島市", "福島県"), "福島県", false, Outcome::Good);   // missed, then found
    // A bank question with right answers, sorted among ours, counts for nothing.
    Mondai bank;
    bank.Mondai1 = "【読み】";
    bank.Mondai2 = "会津若松市";
    bank.Kotae = "福島県／あいづわかまつし";
    book.cards[memoryKey(bank)] = book.applied(memoryKey(bank), Outcome::Good, 20000);

    const std::map<std::string, std::set<std::string>> want{
        {"宮城県", {"富谷市", "仙台市"}},
        {"熊本県", {"豊野村"}},
        {"福島県", {"福島市"}},
    };
    EXPECT_EQ(foundInMemory(book), want);
    // And through the file: what is written is what is read.
    EXPECT_EQ(foundInMemory(MemoryBook::parse(book.serialize(), "記憶.txt")), want);
}

}  // namespace
}  // namespace tabinowa
