// Checks of the shipped question bank (作業ファイル/問題.csv): its shape and
// byte widths, and for every question that the answer is true and the three
// wrong choices false by the facts of the committed municipality master and
// prefecture data. Note 1 of each question names its subject ("市01202",
// "旧01339", "県01").
#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "files/cp932.h"
#include "support/master_file.h"

namespace {

namespace fs = std::filesystem;

const fs::path kRepo = fs::path(TABINOWA_SOURCE_DIR);

fs::path u8(const std::string& s) { return fs::path(std::u8string(s.begin(), s.end())); }

using Field = tabinowa::testing::MasterField;
using Line = tabinowa::testing::MasterLine;
using tabinowa::testing::readMaster;

long long num(const std::string& s) {
    long long v = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || p != s.data() + s.size()) return -999999;
    return v;
}

std::size_t bytes(const std::string& s) { return tabinowa::toCp932(s, "test").size(); }
std::size_t chars(const std::string& s) { return tabinowa::charCount(s); }
bool has(const std::string& hay, const std::string& needle) { return hay.find(needle) != std::string::npos; }

// Facts of the committed masters.
struct Present {
    int code = 0, pref = 0;
    std::string name, kana, district, phrase;
    long long population = 0, area = 0;
    int olds = 0;
};
struct Old {
    int code = 0, pref = 0;
    int presentCode = 0;
    std::string name, kana, present, description;
    std::vector<std::string> fields;  // 25..37
    std::vector<std::string> partlyIn;  // "一部は輪島市・穴水町に": other municipalities that took part of it
};
struct Facts {
    std::map<int, Present> presents;
    std::map<int, Old> olds;
    std::map<int, std::string> prefName, capital;
    std::map<std::string, int> prefNumber;
    std::map<int, std::vector<const Present*>> byPref;
};

const Facts& facts() {
    static const Facts f = [] {
        Facts f;
        auto master = readMaster(kRepo / "data" / u8("作業ファイル") / u8("市町村.csv"));
        Present* current = nullptr;
        for (std::size_t i = 1; i < master.size(); ++i) {
            const Line& l = master[i];
            if (l.size() != 43) continue;
            int code = std::stoi(l[0].text);
            if (l[4].text == "0") {
                Present p;
                p.code = code;
                p.pref = static_cast<int>(num(l[1].text));
                p.name = l[6].text;
                p.kana = l[7].text;
                p.district = l[8].text;
                p.population = num(l[16].text);
                p.area = num(l[17].text);
                p.phrase = l[38].text;
                p.olds = l[5].text.empty() ? 0 : 1;
                current = &(f.presents[code] = p);
            } else {
                Old o;
                o.code = code;
                o.pref = static_cast<int>(num(l[1].text));
                o.name = l[5].text;
                o.present = l[6].text;
                o.presentCode = current ? current->code : 0;
                o.kana = l[24].text;
                for (int c = 24; c <= 36; ++c) o.fields.push_back(l[static_cast<std::size_t>(c)].text);
                for (const auto& x : o.fields) {
                    o.description += x + "\u3000";
                    const std::string head = "一部は", tail = "に";
                    if (x.rfind(head, 0) == 0 && x.size() > head.size() + tail.size()) {
                        std::string names = x.substr(head.size(), x.size() - head.size() - tail.size());
                        for (std::size_t b = 0; b <= names.size();) {
                            std::size_t e = names.find("・", b);
                            if (e == std::string::npos) e = names.size();
                            o.partlyIn.push_back(names.substr(b, e - b));
                            b = e + std::string("・").size();
                        }
                    }
                }
                if (current) ++current->olds;
                f.olds[code] = o;
            }
        }
        for (const auto& l : readMaster(kRepo / "data" / "file1" / u8("都道府県データ.csv"))) {
            int n = static_cast<int>(num(l[0].text));
            f.prefName[n] = l[1].text;
            f.prefNumber[l[1].text] = n;
            f.capital[n] = l[4].text;
        }
        for (const auto& [code, p] : f.presents) f.byPref[p.pref].push_back(&p);
        return f;
    }();
    return f;
}

const std::vector<Line>& questions() {
    static const std::vector<Line> q = readMaster(kRepo / "data" / u8("作業ファイル") / u8("問題.csv"));
    return q;
}

struct Q {
    std::string mark, answer, key, lead, text;
    std::vector<std::string> wrong;
};

Q view(const Line& l) {
    return Q{l[0].text, l[6].text, l[11].text, l[16].text, l[17].text, {l[3].text, l[4].text, l[5].text}};
}

const Present* presentByKey(const std::string& key) {
    if (key.rfind("市", 0) != 0) return nullptr;
    auto it = facts().presents.find(std::stoi(key.substr(3)));
    return it == facts().presents.end() ? nullptr : &it->second;
}

const Old* oldByKey(const std::string& key) {
    if (key.rfind("旧", 0) != 0) return nullptr;
    auto it = facts().olds.find(std::stoi(key.substr(3)));
    return it == facts().olds.end() ? nullptr : &it->second;
}

int prefByKey(const std::string& key) { return key.rfind("県", 0) == 0 ? std::stoi(key.substr(3)) : 0; }

const Present* presentNamed(int pref, const std::string& name) {
    auto it = facts().byPref.find(pref);
    if (it == facts().byPref.end()) return nullptr;
    for (const auto* p : it->second)
        if (p->name == name) return p;
    return nullptr;
}

// Years of the mergers in an old municipality's description: a date field
// followed by a field that starts with "新設合併で" or "編入合併で".
std::vector<std::string> mergerYears(const Old& o) {
    std::vector<std::string> years;
    for (std::size_t i = 0; i + 1 < o.fields.size(); ++i) {
        const std::string& next = o.fields[i + 1];
        if ((next.rfind("新設合併で", 0) == 0 || next.rfind("編入合併で", 0) == 0) && has(o.fields[i], "年"))
            years.push_back(o.fields[i].substr(0, o.fields[i].find("年")) + "年");
    }
    return years;
}

// One checker per kind: adds a failure for every fact that does not hold.
using Checker = std::function<void(const Q&)>;

void ranking(const Q& q, const std::function<long long(const Present&)>& value, const char* more, const char* less) {
    int pref = prefByKey(q.key);
    ASSERT_GT(pref, 0) << q.text;
    bool most = has(q.text, more);
    ASSERT_NE(most, has(q.text, less)) << q.text;
    const Present* a = presentNamed(pref, q.answer);
    ASSERT_NE(a, nullptr) << q.answer;
    std::vector<const Present*> field;
    if (q.text.rfind("次の4つのうち", 0) == 0) {
        for (const auto& w : q.wrong) {
            const Present* p = presentNamed(pref, w);
            ASSERT_NE(p, nullptr) << w;
            field.push_back(p);
            EXPECT_TRUE(has(q.text, w)) << "the question must name every candidate: " << q.text;
        }
        EXPECT_TRUE(has(q.text, q.answer)) << q.text;
    } else {
        for (const auto* p : facts().byPref.at(pref))
            if (p != a) field.push_back(p);
        for (const auto& w : q.wrong) EXPECT_NE(presentNamed(pref, w), nullptr) << w;
    }
    for (const auto* p : field)
        EXPECT_TRUE(most ? value(*p) < value(*a) : value(*p) > value(*a))
            << q.text << ": " << q.answer << " " << value(*a) << " vs " << p->name << " " << value(*p);
}

const std::map<std::string, Checker>& checkers() {
    static const std::map<std::string, Checker> c = {
        {"読み", [](const Q& q) {
             const Present* p = presentByKey(q.key);
             ASSERT_NE(p, nullptr) << q.key;
             EXPECT_EQ(q.answer, p->kana);
             EXPECT_TRUE(has(q.text, "「" + p->name + "」"));
             for (const auto& w : q.wrong) {
                 EXPECT_NE(w, p->kana);
                 bool isReading = false;
                 for (const auto* o : facts().byPref.at(p->pref)) isReading |= o->kana == w;
                 EXPECT_TRUE(isReading) << w << " is not the reading of a municipality of the prefecture";
             }
         }},
        {"旧読", [](const Q& q) {
             const Old* o = oldByKey(q.key);
             ASSERT_NE(o, nullptr) << q.key;
             EXPECT_EQ(q.answer, o->kana);
             EXPECT_TRUE(has(q.text, "「" + o->name + "」"));
             for (const auto& w : q.wrong) EXPECT_NE(w, o->kana);
         }},
        {"県名", [](const Q& q) {
             const Present* p = presentByKey(q.key);
             ASSERT_NE(p, nullptr) << q.key;
             EXPECT_EQ(q.answer, facts().prefName.at(p->pref));
             for (const auto& w : q.wrong) {
                 ASSERT_TRUE(facts().prefNumber.count(w)) << w << " is not a prefecture";
                 EXPECT_EQ(presentNamed(facts().prefNumber.at(w), p->name), nullptr)
                     << w << " also has a " << p->name;
             }
         }},
        {"合併", [](const Q& q) {
             const Old* o = oldByKey(q.key);
             ASSERT_NE(o, nullptr) << q.key;
             EXPECT_EQ(q.answer, o->present);
             EXPECT_TRUE(has(q.text, "「" + o->name + "」"));
             EXPECT_FALSE(has(q.text, q.answer)) << q.text;
             ASSERT_TRUE(facts().presents.count(o->presentCode));
             const Present& present = facts().presents.at(o->presentCode);
             EXPECT_EQ(present.name, o->present);
             for (const auto& w : q.wrong) {
                 EXPECT_NE(w, o->present);
                 EXPECT_EQ(std::count(o->partlyIn.begin(), o->partlyIn.end(), w), 0) << w << " took part of " << o->name;
                 EXPECT_NE(presentNamed(present.pref, w), nullptr) << w << " is not a municipality of the prefecture";
             }
         }},
        {"合年", [](const Q& q) {
             const Old* o = oldByKey(q.key);
             ASSERT_NE(o, nullptr) << q.key;
             auto years = mergerYears(*o);
             ASSERT_FALSE(years.empty()) << o->name << ": " << o->description;
             EXPECT_EQ(q.answer, years.back()) << o->description;
             for (const auto& w : q.wrong) EXPECT_EQ(std::count(years.begin(), years.end(), w), 0) << w;
         }},
        {"県庁", [](const Q& q) {
             int pref = prefByKey(q.key);
             ASSERT_TRUE(facts().capital.count(pref)) << q.key;
             EXPECT_EQ(q.answer, facts().capital.at(pref));
             for (const auto& w : q.wrong) {
                 EXPECT_NE(w, q.answer);
                 EXPECT_NE(presentNamed(pref, w), nullptr) << w;
             }
         }},
        {"人口", [](const Q& q) { ranking(q, [](const Present& p) { return p.population; }, "多い", "少ない"); }},
        {"面積", [](const Q& q) { ranking(q, [](const Present& p) { return p.area; }, "広い", "狭い"); }},
        {"標語", [](const Q& q) {
             const Present* p = presentByKey(q.key);
             ASSERT_NE(p, nullptr) << q.key;
             EXPECT_EQ(q.answer, p->name);
             std::size_t close = q.text.rfind("」をキャッチフレーズ");
             ASSERT_EQ(q.text.rfind("「", 0), 0u);
             ASSERT_NE(close, std::string::npos);
             std::string phrase = q.text.substr(3, close - 3);
             EXPECT_EQ(phrase, p->phrase);
             EXPECT_FALSE(has(phrase, p->name)) << "the catchphrase names the answer";
             for (const auto& w : q.wrong) {
                 const Present* o = presentNamed(p->pref, w);
                 ASSERT_NE(o, nullptr) << w;
                 EXPECT_NE(o->phrase, phrase);
             }
         }},
        {"郡名", [](const Q& q) {
             const Present* p = presentByKey(q.key);
             ASSERT_NE(p, nullptr) << q.key;
             EXPECT_EQ(q.answer, p->district);
             for (const auto& w : q.wrong) {
                 EXPECT_NE(w, p->district);
                 bool exists = false;
                 for (const auto* o : facts().byPref.at(p->pref)) exists |= o->district == w;
                 EXPECT_TRUE(exists) << w;
             }
         }},
        {"旧数", [](const Q& q) {
             const Present* p = presentByKey(q.key);
             ASSERT_NE(p, nullptr) << q.key;
             EXPECT_EQ(q.answer, std::to_string(p->olds) + "市町村");
             for (const auto& w : q.wrong) EXPECT_NE(w, q.answer);
         }},
    };
    return c;
}

TEST(QuestionBank, ShapeAndWidths) {
    const auto& qs = questions();
    ASSERT_GE(qs.size(), 5000u);
    ASSERT_LE(qs.size(), 20000u);
    std::size_t doubles = 0;
    for (std::size_t i = 0; i < qs.size(); ++i) {
        const Line& l = qs[i];
        ASSERT_EQ(l.size(), 18u) << "line " << i + 1;
        EXPECT_TRUE(l[0].quoted && chars(l[0].text) == 2) << "line " << i + 1;
        long long n = num(l[1].text);
        EXPECT_TRUE(!l[1].quoted && n >= 1 && n <= 32767) << "line " << i + 1;
        for (int c : {3, 8, 9, 10, 15}) EXPECT_TRUE(l[static_cast<std::size_t>(c - 1)].text.empty()) << "line " << i + 1;
        for (int c : {4, 5, 6, 7}) {
            const Field& f = l[static_cast<std::size_t>(c - 1)];
            EXPECT_TRUE(f.quoted && !f.text.empty() && bytes(f.text) <= 250) << "line " << i + 1;
        }
        EXPECT_LE(chars(l[10].text), 300u) << "line " << i + 1;
        EXPECT_LE(bytes(l[10].text), 600u) << "line " << i + 1;
        EXPECT_FALSE(l[10].text.empty());
        for (int c : {12, 13, 14}) EXPECT_LE(bytes(l[static_cast<std::size_t>(c - 1)].text), 50u) << "line " << i + 1;
        long long dp = num(l[15].text);
        EXPECT_TRUE(dp == 0 || dp == 1) << "line " << i + 1;
        doubles += dp == 1;
        EXPECT_TRUE(l[16].quoted && bytes(l[16].text) <= 150) << "line " << i + 1;
        EXPECT_TRUE(l[17].quoted && !l[17].text.empty() && bytes(l[17].text) <= 400) << "line " << i + 1;
    }
    EXPECT_EQ(doubles, qs.size() / 10) << "the hardest tenth carries double points";
}

TEST(QuestionBank, ChoicesDistinctAndNoQuestionTwice) {
    std::set<std::string> seen;
    std::map<std::string, int> numbers;
    for (const auto& l : questions()) {
        Q q = view(l);
        std::set<std::string> choices(q.wrong.begin(), q.wrong.end());
        choices.insert(q.answer);
        EXPECT_EQ(choices.size(), 4u) << q.text;
        EXPECT_TRUE(seen.insert(q.lead + "\n" + q.text).second) << "twice: " << q.text;
        EXPECT_EQ(num(l[1].text), ++numbers[q.mark]) << "numbers run on within a kind";
    }
}

TEST(QuestionBank, AtLeastSixKindsEachWithManyQuestions) {
    std::map<std::string, int> kinds;
    for (const auto& l : questions()) ++kinds[l[0].text];
    EXPECT_GE(kinds.size(), 6u);
    for (const auto& [mark, n] : kinds) {
        EXPECT_TRUE(checkers().count(mark)) << "unknown kind " << mark;
        EXPECT_GE(n, mark == "県庁" ? 47 : 300) << mark;
    }
}

TEST(QuestionBank, EveryAnswerTrueAndEveryWrongChoiceFalse) {
    for (const auto& l : questions()) {
        Q q = view(l);
        auto it = checkers().find(q.mark);
        ASSERT_NE(it, checkers().end()) << q.mark;
        SCOPED_TRACE(q.mark + " " + q.text);
        it->second(q);
        if (::testing::Test::HasFailure()) break;  // one question's failures are enough to read
    }
}

TEST(QuestionBank, QuestionsDoNotGiveTheAnswerAway) {
    for (const auto& l : questions()) {
        Q q = view(l);
        if (q.mark == "人口" || q.mark == "面積" || q.mark == "合年") continue;  // these name it or a date
        EXPECT_FALSE(has(q.lead + q.text, q.answer)) << q.text << " / " << q.answer;
    }
}

}  // namespace
