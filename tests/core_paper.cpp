// SPDX-License-Identifier: GPL-3.0-or-later
// Page layouts for paper without Qt: paper sizes, line breaking, labels on a
// made-up map, the choice of questions and the flow of a sheet and its key.
#include <gtest/gtest.h>

#include "core/paper/map_sheet.h"
#include "core/paper/question_sheet.h"
#include "support/fixed_random.h"

namespace tabinowa::paper {
namespace {

TEST(PaperPages, SizesAndNames) {
    struct Row { PaperSize p; double w, h; const char* name; };
    const Row rows[] = {{{PaperKind::A4, false}, 210, 297, "Ａ４縦"}, {{PaperKind::A4, true}, 297, 210, "Ａ４横"},
                        {{PaperKind::B4, false}, 257, 364, "Ｂ４縦"}, {{PaperKind::B4, true}, 364, 257, "Ｂ４横"}};
    for (const auto& r : rows) {
        EXPECT_EQ(r.p.widthMm(), r.w);
        EXPECT_EQ(r.p.heightMm(), r.h);
        EXPECT_EQ(r.p.name(), r.name);
    }
}

TEST(PaperPages, WrappedLinesKeepEveryCharacterFitAndStartWithNoClosingMark) {
    const char* texts[] = {"北海道の道庁所在地はどこでしょう。札幌市、函館市、旭川市、釧路市のうちから選びなさい。",
                           "ABC 123 あいうえお、かきくけこ。", "", "。。。。。。。。。。"};
    for (const char* t : texts)
        for (const double width : {10.0, 25.0, 200.0}) {
            const auto lines = wrapText(t, width, 10);
            std::string joined;
            for (const auto& l : lines) {
                joined += l;
                if (characters(l).size() > 2) EXPECT_LE(textWidthMm(l, 10), width + 1e-9) << l;
                if (&l != &lines.front() && !l.empty() && characters(t).size() > 3 &&
                    std::string(t) != "。。。。。。。。。。")
                    EXPECT_NE(characters(l).front(), "、") << l;
            }
            EXPECT_EQ(joined, t);
            EXPECT_FALSE(lines.empty());
        }
}

MapShape square(int code, double x, double y, double size) {
    MapShape s;
    s.code = code;
    s.rings = {{{x, y}, {x + size, y}, {x + size, y + size}, {x, y + size}}};
    s.finish();
    return s;
}

TEST(PaperMaps, LargePlacesAreNumberedInsideSmallOnesOnLeadersAndNoLabelsMeet) {
    MapArea area;
    area.parts.push_back({1, 1000, 0, 0, 0, 0, {0, 0, 7575, 7545}, false});
    area.shapes.push_back(square(1, 0, 0, 4000));  // large
    // A cluster of tiny places at one corner: none holds its number.
    for (int i = 0; i < 12; ++i) area.shapes.push_back(square(10 + i, 4000 + (i % 4) * 40.0, (i / 4) * 40.0, 40));
    MapSheet sheet{"試し", &area, {}};
    for (std::size_t i = 0; i < area.shapes.size(); ++i) sheet.places.push_back({static_cast<int>(i), "町" + std::to_string(i), "", {}});
    const Box mapBox{12, 22, 198, 276};
    const MapLayout layout = layoutLabels(sheet, mapBox, MapLabels::Numbers, kNumberPt);
    ASSERT_EQ(layout.labels.size(), 13u);
    EXPECT_EQ(layout.crowded, 0);
    for (const auto& l : layout.labels) {
        EXPECT_EQ(l.leader, l.place != 0) << l.text;
        EXPECT_TRUE(l.box.inside(mapBox));
        for (const auto& o : layout.labels)
            if (&o != &l) EXPECT_FALSE(l.box.overlaps(o.box)) << l.text << " / " << o.text;
    }
    // The key lists each place once, numbered from 1, and a blank map has no labels.
    const auto key = keyEntries(sheet);
    ASSERT_EQ(key.size(), 13u);
    EXPECT_EQ(key.front().number, "1");
    EXPECT_TRUE(layoutLabels(sheet, mapBox, MapLabels::Blank, kNumberPt).labels.empty());
    MapSheetOptions o;
    o.key = KeyPlace::SamePage;
    EXPECT_EQ(mapSheetPages(sheet, o).size(), 1u);
    o.key = KeyPlace::NextPage;
    EXPECT_EQ(mapSheetPages(sheet, o).size(), 2u);
    o.labels = MapLabels::Blank;
    EXPECT_EQ(mapSheetPages(sheet, o).size(), 1u);
}

TEST(PaperQuestions, EachSourcePicksItsQuestionsAndNeverARemovedOne) {
    std::vector<BankQuestion> bank;
    for (int r = 1; r <= 30; ++r) bank.push_back({r, "key" + std::to_string(r), r % 2 ? "【県庁】" : "【読み】", r % 3 + 1, r == 5});
    MemoryBook book;
    book.cards["key7"].wrong = 1;
    book.cards["key9"].wrong = 3;
    book.cards["key11"].wrong = 1;
    book.cards["key11"].lastWrong = true;
    book.cards["key13"].wrong = 2;
    book.cards["key13"].mastered = true;
    testing::FixedRandom random({0.1, 0.9, 0.5, 0.3});
    struct Row { QuestionPick pick; std::size_t size; };
    const Row rows[] = {
        {{QuestionSource::Review, "", 0, 10}, 10},
        {{QuestionSource::Kind, "【県庁】", 0, 100}, 14},
        {{QuestionSource::Prefecture, "", 2, 5}, 10},  // taken up to 10
        {{QuestionSource::Mistakes, "", 0, 20}, 3},
    };
    for (const auto& r : rows) {
        const auto picked = pickQuestions(bank, book, 100, r.pick, random);
        EXPECT_EQ(picked.size(), r.size);
        for (int n : picked) {
            EXPECT_NE(n, 5);
            const auto& q = bank[static_cast<std::size_t>(n - 1)];
            if (r.pick.source == QuestionSource::Kind) EXPECT_EQ(q.kind, "【県庁】");
            if (r.pick.source == QuestionSource::Prefecture) EXPECT_EQ(q.prefecture, 2);
        }
    }
    EXPECT_EQ(pickQuestions(bank, book, 100, {QuestionSource::Mistakes, "", 0, 20}, random), (std::vector<int>{11, 9, 7}));
}

TEST(PaperQuestions, TheSheetAndItsKeyArePagesOfTheirOwnNumberedFromOne) {
    std::vector<SheetQuestion> qs;
    for (int i = 1; i <= 40; ++i)
        qs.push_back({i, {"問題文" + std::to_string(i), "どれでしょう。"}, i % 2 ? std::vector<std::string>{"甲", "乙", "丙", "丁"} : std::vector<std::string>{},
                      "ア　甲", "解説の文です。", "県 1"});
    std::size_t keyFirst = 0;
    const auto pages = questionSheetPages("試し", qs, {}, &keyFirst);
    ASSERT_GT(keyFirst, 0u);
    ASSERT_GT(pages.size(), keyFirst);
    int labels = 0;
    for (std::size_t p = 0; p < keyFirst; ++p)
        for (const auto& t : pages[p].texts) {
            labels += t.text.rfind("問", 0) == 0 && t.bold;
            EXPECT_LE(textBox(t).bottom, PaperSize{}.heightMm() - kMarginMm + 1e-9) << t.text;
        }
    EXPECT_EQ(labels, 40);
    EXPECT_EQ(pages[keyFirst].texts.back().text, "1 / " + std::to_string(pages.size() - keyFirst));
}

}  // namespace
}  // namespace tabinowa::paper
