// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The question bank (作業ファイル/問題.csv), generated from the facts: each
// question has three wrong choices that are false by the same facts, an
// explanation with the fact behind the answer, and a key to its subject in
// note 1 ("市01202" a present municipality, "旧01339" an old one, "県01" a
// prefecture) so that the checks can look the facts up again.
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "facts.h"
#include "output.h"

namespace makedata {

// Field widths of the question record (CP932 bytes, explanation also in characters).
inline constexpr std::size_t kChoiceBytes = 250;
inline constexpr std::size_t kExplanationChars = 300;
inline constexpr std::size_t kExplanationBytes = 600;
inline constexpr std::size_t kNoteBytes = 50;
inline constexpr std::size_t kLeadBytes = 150;
inline constexpr std::size_t kTextBytes = 400;

// splitmix64, written out so that every library gives the same sequence.
class SplitMix64 {
public:
    explicit SplitMix64(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // 0 <= result < n (n > 0)
    std::size_t below(std::size_t n) { return static_cast<std::size_t>(next() % n); }

private:
    std::uint64_t state_;
};

struct Question {
    std::string mark;  // two characters: the kind
    int number = 0;    // running number within the kind
    std::array<std::string, 3> wrong;
    std::string answer;
    std::string explanation;
    std::array<std::string, 3> notes;
    int doublePoint = 0;
    std::string lead, text;
    double difficulty = 0;  // higher is harder; the hardest tenth gets double points
    std::vector<std::string> rewordings;  // rules that changed the wording (for the run report)
};

struct QuestionReport {
    std::map<std::string, int> byKind;  // mark -> count
    std::map<std::string, int> reworded, dropped;  // rule -> questions reworded or dropped by it
    std::vector<std::string> notes;
};

// The same-named districts of 北海道: 上川郡 is three districts (石狩国,
// 天塩国, 十勝国) and 中川郡 two (天塩国, 十勝国). The code list names only the
// district, so the province of each town is a hand-made table (docs/DATA.md).
struct SameNamedDistrict {
    const char* district;
    const char* province;
    std::vector<const char*> towns;
};
const std::vector<SameNamedDistrict>& hokkaidoSameNamedDistricts();

// Two-character pieces of a name without its kind that hold a kanji or a
// katakana ("田舎館村" -> 田舎, 舎館): a text holding one points at the name.
std::vector<std::string> namePieces(const std::string& name);

// The text with every prefecture name taken out (the scope a question names,
// not a hint at its answer).
std::string withoutPrefectures(const std::string& text, const Facts& facts);

// The part of a question that asks: the lead and the text up to the first
// "？" (a question that compares names its candidates after it).
std::string askedPart(const std::string& lead, const std::string& text);

std::vector<Question> generateQuestions(const Facts& facts, QuestionReport& report);

// The difficulty of every question, in the order of the master, as a text of
// our own (作業ファイル/問題難度.csv): a version line, then mark, number and
// difficulty a line. CR LF.
std::string formatDifficulties(const std::vector<Question>& questions, TextPolicy& policy);

// The master text: 18 fields a line, CR LF.
std::string formatQuestions(const std::vector<Question>& questions, TextPolicy& policy);

// "1973395" -> "1,973,395"
std::string withCommas(long long n);

}  // namespace makedata
