#include "core/quiz/memory_text.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "core/files/checksum.h"
#include "core/quiz/memory.h"

namespace tabinowa {

namespace {

// Room a line writer may use: a day line, the header and retention lines, a
// card line (its key escaped is at most twice as long, then some 120 bytes of
// numbers and tabs).
constexpr std::size_t kDayLineRoom = 48;
constexpr std::size_t kHeadRoom = 96;
std::size_t cardLineRoom(std::string_view key) { return key.size() * 2 + 128; }

char* put(char* p, std::string_view text) {
    std::memcpy(p, text.data(), text.size());
    return p + text.size();
}
char* putInteger(char* p, std::int64_t v) { return std::to_chars(p, p + 24, v).ptr; }
// The shortest form that reads back exactly.
char* putReal(char* p, double v) { return std::to_chars(p, p + 32, v).ptr; }

char* putRetentionLine(char* p, double retention) {
    p = put(p, "retention\t");
    p = putReal(p, retention);
    *p++ = '\n';
    return p;
}

char* putDayLine(char* p, std::int32_t day, const DayTally& t) {
    p = put(p, "day\t");
    p = putInteger(p, day);
    *p++ = '\t';
    p = putInteger(p, t.right);
    *p++ = '\t';
    p = putInteger(p, t.wrong);
    *p++ = '\n';
    return p;
}

char* putCardLine(char* p, std::string_view key, const Card& c) {
    p = put(p, "card\t");
    p = putReal(p, c.state.stability);
    *p++ = '\t';
    p = putReal(p, c.state.difficulty);
    *p++ = '\t';
    p = putInteger(p, c.lastDay);
    *p++ = '\t';
    p = putInteger(p, c.dueDay);
    *p++ = '\t';
    p = putInteger(p, c.right);
    *p++ = '\t';
    p = putInteger(p, c.wrong);
    *p++ = '\t';
    *p++ = c.mastered ? 'M' : '-';
    *p++ = c.lastWrong ? 'W' : '-';
    *p++ = '\t';
    for (char ch : key) {
        switch (ch) {
            case '\\': *p++ = '\\'; *p++ = '\\'; break;
            case '\t': *p++ = '\\'; *p++ = 't'; break;
            case '\n': *p++ = '\\'; *p++ = 'n'; break;
            case '\r': *p++ = '\\'; *p++ = 'r'; break;
            default: *p++ = ch;
        }
    }
    *p++ = '\n';
    return p;
}

// One line made by a writer above into a string of its own.
template <typename Writer>
std::string line(std::size_t room, Writer write) {
    std::string out(room, '\0');
    out.resize(static_cast<std::size_t>(write(out.data()) - out.data()));
    return out;
}

// A key as a card line writes it (escaped) against a key: <0, 0 or >0 as
// std::string's order of the unescaped key against `key`.
int compareEscaped(std::string_view escaped, std::string_view key) {
    std::size_t i = 0, j = 0;
    while (i < escaped.size() && j < key.size()) {
        auto a = static_cast<unsigned char>(escaped[i++]);
        if (a == '\\' && i < escaped.size()) {
            switch (escaped[i++]) {
                case 't': a = '\t'; break;
                case 'n': a = '\n'; break;
                case 'r': a = '\r'; break;
                default: a = '\\';
            }
        }
        const auto b = static_cast<unsigned char>(key[j++]);
        if (a != b) return a < b ? -1 : 1;
    }
    if (i < escaped.size()) return 1;
    return j < key.size() ? -1 : 0;
}

}  // namespace

MemoryText::MemoryText(const MemoryBook& book) {
    // Written straight into one buffer, in one pass over the cards (the
    // map's nodes lie all over the memory), grown when the next line might not fit.
    text_.resize(kHeadRoom + book.days.size() * kDayLineRoom + book.cards.size() * 160);
    char* p = text_.data();
    auto used = [this, &p] { return static_cast<std::size_t>(p - text_.data()); };
    auto room = [this, &p, &used](std::size_t need) {
        const std::size_t u = used();
        if (text_.size() - u >= need) return;
        text_.resize(std::max(text_.size() * 2, u + need));
        p = text_.data() + u;
    };
    p = put(p, kMemoryMagic);
    *p++ = '\t';
    p = putInteger(p, MemoryBook::kVersion);
    *p++ = '\n';
    p = putRetentionLine(p, book.retention);
    daysBegin_ = used();
    for (const auto& [day, t] : book.days) {
        room(kDayLineRoom);
        p = putDayLine(p, day, t);
    }
    cardsBegin_ = used();
    cardStarts_.reserve(book.cards.size() + 1);
    for (const auto& [key, c] : book.cards) {
        room(cardLineRoom(key));
        cardStarts_.push_back(used() - cardsBegin_);
        p = putCardLine(p, key, c);
    }
    cardStarts_.push_back(used() - cardsBegin_);
    text_.resize(used());
}

const std::string& MemoryText::bytes() {
    if (!ended_) {
        const std::uint64_t sum = fnv1a64(text_);
        char end[64];
        char* p = put(end, "end\t");
        p = putInteger(p, static_cast<std::int64_t>(cardStarts_.size() - 1));
        *p++ = '\t';
        p = std::to_chars(p, end + sizeof end, sum, 16).ptr;
        *p++ = '\n';
        text_.append(end, p);
        ended_ = true;
    }
    return text_;
}

std::string MemoryText::take() && {
    bytes();
    return std::move(text_);
}

void MemoryText::reopen() {
    if (!ended_) return;
    text_.resize(cardsBegin_ + cardStarts_.back());
    ended_ = false;
}

std::size_t MemoryText::cardIndex(std::string_view key, bool& found) const {
    // The lines are in key order: a binary search on the keys at their ends
    // (an escaped key holds no tab, so it is all after the line's last one).
    auto keyOf = [this](std::size_t i) {
        const std::string_view line(text_.data() + cardLineStart(i), cardStarts_[i + 1] - cardStarts_[i] - 1);
        return line.substr(line.rfind('\t') + 1);
    };
    std::size_t lo = 0, hi = cardStarts_.size() - 1;
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (compareEscaped(keyOf(mid), key) < 0) lo = mid + 1; else hi = mid;
    }
    found = lo < cardStarts_.size() - 1 && compareEscaped(keyOf(lo), key) == 0;
    return lo;
}

void MemoryText::setCard(const std::string& key, const Card* card) {
    reopen();
    bool found = false;
    const std::size_t i = cardIndex(key, found);
    if (!found && !card) return;
    const std::string now = card ? line(cardLineRoom(key), [&](char* p) { return putCardLine(p, key, *card); }) : "";
    const std::size_t before = found ? cardStarts_[i + 1] - cardStarts_[i] : 0;
    text_.replace(cardLineStart(i), before, now);
    if (!found) cardStarts_.insert(cardStarts_.begin() + static_cast<std::ptrdiff_t>(i), cardStarts_[i]);
    else if (!card) cardStarts_.erase(cardStarts_.begin() + static_cast<std::ptrdiff_t>(i));
    // The lines after it moved by the difference (modulo: it may be negative).
    const std::size_t shift = now.size() - before;
    for (std::size_t j = card ? i + 1 : i; j < cardStarts_.size(); ++j) cardStarts_[j] += shift;
}

void MemoryText::setDay(std::int32_t day, const DayTally* tally) {
    reopen();
    // Days ascend: the line of `day` or where it goes.
    std::size_t at = daysBegin_, before = 0;
    while (at < cardsBegin_) {
        const std::size_t nl = text_.find('\n', at);
        std::int32_t lineDay = 0;
        const char* digits = text_.data() + at + 4;  // after "day\t"
        std::from_chars(digits, text_.data() + nl, lineDay);
        if (lineDay >= day) {
            if (lineDay == day) before = nl + 1 - at;
            break;
        }
        at = nl + 1;
    }
    if (!tally && before == 0) return;
    const std::string now = tally ? line(kDayLineRoom, [&](char* p) { return putDayLine(p, day, *tally); }) : "";
    text_.replace(at, before, now);
    cardsBegin_ += now.size() - before;
}

void MemoryText::setRetention(double retention) {
    reopen();
    const std::size_t at = text_.find('\n') + 1;
    const std::string now = line(kHeadRoom, [&](char* p) { return putRetentionLine(p, retention); });
    const std::size_t shift = now.size() - (daysBegin_ - at);
    text_.replace(at, daysBegin_ - at, now);
    daysBegin_ += shift;
    cardsBegin_ += shift;
}

}  // namespace tabinowa
