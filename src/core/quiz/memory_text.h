#pragma once
// The memory file's text kept beside its book. An answer changes one card
// line and at most one day line, so writing the memory after an answer
// patches those lines in the text instead of formatting all the cards again;
// only the check value at the end is computed over the whole text. The bytes
// are always exactly those that MemoryBook::serialize() gives for the same
// book (the same line writers make both).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tabinowa {

struct Card;
struct DayTally;
class MemoryBook;

// The memory file's first word.
inline constexpr std::string_view kMemoryMagic = "tabinowa-memory";

class MemoryText {
public:
    // The whole text of `book`.
    explicit MemoryText(const MemoryBook& book);

    // The book's card `key` became `card` (nullptr: it went).
    void setCard(const std::string& key, const Card* card);
    // The book's answers of `day` became `tally` (nullptr: the day went).
    void setDay(std::int32_t day, const DayTally* tally);
    void setRetention(double retention);

    // The file's bytes: the lines, then the end line with the card count and
    // the check value (computed here once after a change).
    const std::string& bytes();
    std::string take() &&;

private:
    void reopen();  // drops the end line before a change
    std::size_t cardIndex(std::string_view key, bool& found) const;
    std::size_t cardLineStart(std::size_t i) const { return cardsBegin_ + cardStarts_[i]; }

    std::string text_;
    std::size_t daysBegin_ = 0;   // after the header and retention lines
    std::size_t cardsBegin_ = 0;  // after the day lines
    // Where each card line starts, from cardsBegin_, in key order, and one
    // more: where the lines end.
    std::vector<std::size_t> cardStarts_;
    bool ended_ = false;  // the end line is on text_
};

}  // namespace tabinowa
