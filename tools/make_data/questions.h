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
};

struct QuestionReport {
    std::map<std::string, int> byKind;  // mark -> count
    std::vector<std::string> notes;
};

std::vector<Question> generateQuestions(const Facts& facts, QuestionReport& report);

// The master text: 18 fields a line, CR LF.
std::string formatQuestions(const std::vector<Question>& questions, TextPolicy& policy);

// "1973395" -> "1,973,395"
std::string withCommas(long long n);

}  // namespace makedata
