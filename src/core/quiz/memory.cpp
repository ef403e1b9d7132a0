#include "core/quiz/memory.h"
#include "core/files/checksum.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <optional>
#include <vector>

#include "core/files/cp932.h"
#include "core/files/error.h"
#include "core/files/folders.h"

namespace tabinowa {

namespace {

std::optional<std::string> unescapeKey(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size()) return std::nullopt;
        switch (text[i]) {
            case '\\': out += '\\'; break;
            case 't': out += '\t'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            default: return std::nullopt;
        }
    }
    return out;
}

std::vector<std::string_view> splitTabs(std::string_view line) {
    std::vector<std::string_view> out;
    std::size_t start = 0;
    for (;;) {
        std::size_t tab = line.find('\t', start);
        out.push_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
        if (tab == std::string_view::npos) return out;
        start = tab + 1;
    }
}

class LineParser {
public:
    LineParser(std::string fileName, int line) : fileName_(std::move(fileName)), line_(line) {}
    [[noreturn]] void fail(const std::string& what) const {
        throw FileError("ファイル" + fileName_ + "（" + std::to_string(line_) + "行目）が壊れています：" + what +
                        "。元のファイルはそのままです。");
    }
    std::int32_t integer(std::string_view field, std::int32_t lo, std::int32_t hi) const {
        std::int32_t v = 0;
        auto r = std::from_chars(field.data(), field.data() + field.size(), v);
        if (field.empty() || r.ec != std::errc() || r.ptr != field.data() + field.size() || v < lo || v > hi)
            fail("数「" + std::string(field) + "」が読めないか範囲外です");
        return v;
    }
    double real(std::string_view field, double lo, double hi) const {
        double v = 0;
        auto r = std::from_chars(field.data(), field.data() + field.size(), v);
        if (field.empty() || r.ec != std::errc() || r.ptr != field.data() + field.size() || !std::isfinite(v) ||
            v < lo || v > hi)
            fail("数「" + std::string(field) + "」が読めないか範囲外です");
        return v;
    }

private:
    std::string fileName_;
    int line_;
};

// Day numbers from 1970 to well past any run of the program.
constexpr std::int32_t kMaxDay = 200000;

const std::array<std::string, 48> kPrefectures = {
    "",         "北海道",   "青森県", "岩手県", "宮城県", "秋田県", "山形県", "福島県",
    "茨城県",   "栃木県",   "群馬県", "埼玉県", "千葉県", "東京都", "神奈川県", "新潟県",
    "富山県",   "石川県",   "福井県", "山梨県", "長野県", "岐阜県", "静岡県", "愛知県",
    "三重県",   "滋賀県",   "京都府", "大阪府", "兵庫県", "奈良県", "和歌山県", "鳥取県",
    "島根県",   "岡山県",   "広島県", "山口県", "徳島県", "香川県", "愛媛県", "高知県",
    "福岡県",   "佐賀県",   "長崎県", "熊本県", "大分県", "宮崎県", "鹿児島県", "沖縄県"};

}  // namespace

const Card* MemoryBook::find(const std::string& key) const {
    auto it = cards.find(key);
    return it == cards.end() ? nullptr : &it->second;
}

int MemoryBook::dueCount(std::int32_t today) const {
    int n = 0;
    for (const auto& [key, c] : cards) n += isBankKey(key) && c.state.graded() && !c.mastered && c.dueDay <= today;
    return n;
}

Card MemoryBook::applied(const std::string& key, Outcome o, std::int32_t today) const {
    const Card* old = find(key);
    Card c = old ? *old : Card{};
    if (o == Outcome::Mastered) {
        c.mastered = true;
        c.lastWrong = false;
        c.lastDay = today;
        c.dueDay = today + kMasteredDays;
        return c;
    }
    const fsrs::Scheduler scheduler(retention);
    const auto grade = static_cast<fsrs::Grade>(static_cast<int>(o) + 1);
    const int elapsed = c.state.graded() ? std::max(0, today - c.lastDay) : 0;
    c.state = c.state.graded() ? scheduler.next(c.state, elapsed, grade) : scheduler.first(grade);
    c.lastDay = today;
    c.dueDay = today + scheduler.intervalDays(c.state.stability);
    c.lastWrong = o == Outcome::Again;
    (o == Outcome::Again ? c.wrong : c.right) += 1;
    // A question answered again after its removal is back in the review.
    c.mastered = false;
    return c;
}

std::string MemoryBook::serialize() const { return MemoryText(*this).take(); }

MemoryBook MemoryBook::parse(std::string_view bytes, const std::string& fileName) {
    MemoryBook book;
    std::size_t pos = 0;
    int lineNo = 0;
    bool ended = false;
    bool sawRetention = false;
    std::int32_t lastDay = -1;
    while (pos < bytes.size()) {
        ++lineNo;
        const LineParser p(fileName, lineNo);
        if (ended) p.fail("終わりの行の後に続きがあります");
        const std::size_t nl = bytes.find('\n', pos);
        if (nl == std::string_view::npos) p.fail("最後の行が途中で切れています");
        const std::string_view line = bytes.substr(pos, nl - pos);
        const std::size_t lineStart = pos;
        pos = nl + 1;
        const auto f = splitTabs(line);
        if (lineNo == 1) {
            if (f.size() != 2 || f[0] != kMemoryMagic) p.fail("記憶ファイルの見出しがありません");
            if (p.integer(f[1], 0, 1 << 30) != kVersion) p.fail("この版では読めない記憶ファイルです");
            continue;
        }
        if (f[0] == "retention" && f.size() == 2 && !sawRetention) {
            book.retention = p.real(f[1], fsrs::kMinRetention, fsrs::kMaxRetention);
            sawRetention = true;
        } else if (f[0] == "day" && f.size() == 4) {
            const std::int32_t day = p.integer(f[1], 0, kMaxDay);
            if (day <= lastDay) p.fail("日付の順が乱れています");
            lastDay = day;
            book.days[day] = {p.integer(f[2], 0, 1 << 30), p.integer(f[3], 0, 1 << 30)};
        } else if (f[0] == "card" && f.size() == 9) {
            Card c;
            c.state.stability = p.real(f[1], 0, 1e9);
            c.state.difficulty = p.real(f[2], 0, 10);
            c.lastDay = p.integer(f[3], 0, kMaxDay);
            c.dueDay = p.integer(f[4], 0, kMaxDay + kMasteredDays);
            c.right = p.integer(f[5], 0, 1 << 30);
            c.wrong = p.integer(f[6], 0, 1 << 30);
            if (f[7].size() != 2 || (f[7][0] != 'M' && f[7][0] != '-') || (f[7][1] != 'W' && f[7][1] != '-'))
                p.fail("印「" + std::string(f[7]) + "」が読めません");
            c.mastered = f[7][0] == 'M';
            c.lastWrong = f[7][1] == 'W';
            if (c.state.graded() != (c.state.difficulty >= 1)) p.fail("難しさと安定度が食い違っています");
            auto key = unescapeKey(f[8]);
            if (!key || key->empty()) p.fail("問題の見出しが読めません");
            // Written in key order: a key not above the last one is out of order or twice.
            if (!book.cards.empty() && !(book.cards.rbegin()->first < *key)) p.fail("問題の順が乱れているか、同じ問題が二度あります");
            book.cards.emplace_hint(book.cards.end(), std::move(*key), c);
        } else if (f[0] == "end" && f.size() == 3) {
            if (p.integer(f[1], 0, 1 << 30) != static_cast<std::int32_t>(book.cards.size()))
                p.fail("問題の数が合いません");
            std::uint64_t sum = 0;
            auto r = std::from_chars(f[2].data(), f[2].data() + f[2].size(), sum, 16);
            if (r.ec != std::errc() || r.ptr != f[2].data() + f[2].size() || sum != fnv1a64(bytes.substr(0, lineStart)))
                p.fail("検査値が合いません");
            ended = true;
        } else {
            p.fail("読めない行です");
        }
    }
    if (!ended) LineParser(fileName, std::max(lineNo, 1)).fail("終わりの行がありません（途中で切れています）");
    return book;
}

std::string memoryKey(const Mondai& m) {
    return trimRight(m.Mondai1) + "\n" + trimRight(m.Mondai2) + "\n" + trimRight(m.Kotae);
}

std::string kindOfFirstLine(std::string_view line) {
    constexpr std::string_view open = "【", close = "】";
    if (line.substr(0, open.size()) != open) return "";
    const std::size_t end = line.find(close);
    return end == std::string_view::npos ? "" : std::string(line.substr(0, end + close.size()));
}

std::string questionKind(const Mondai& m) { return kindOfFirstLine(m.Mondai1); }

int questionPrefecture(const Mondai& m) { return notePrefecture(m.Bikou[0]); }

int notePrefecture(std::string_view note) {
    // One letter (市, 旧 or 県: three bytes in UTF-8), then the prefecture's two digits.
    for (const char* lead : {"市", "旧", "県"}) {
        const std::string_view l(lead);
        if (note.rfind(l, 0) == 0 && note.size() >= l.size() + 2) {
            const char a = note[l.size()], b = note[l.size() + 1];
            if (a < '0' || a > '9' || b < '0' || b > '9') return 0;
            const int code = (a - '0') * 10 + (b - '0');
            return code >= 1 && code <= 47 ? code : 0;
        }
    }
    return 0;
}

const std::string& prefectureName(int code) {
    return kPrefectures[code >= 1 && code <= 47 ? static_cast<std::size_t>(code) : 0];
}

std::int32_t localDay(std::time_t t) {
    std::tm local{};
    localtime_r(&t, &local);
    // Days from the civil date (proleptic Gregorian), so that the local
    // calendar day counts, not the UTC one.
    int y = local.tm_year + 1900;
    const unsigned m = static_cast<unsigned>(local.tm_mon + 1);
    const unsigned d = static_cast<unsigned>(local.tm_mday);
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int>(doe) - 719468;
}

void MemoryStore::load() {
    if (loaded_) return;
    if (!io_.exists(file_)) {
        book_ = MemoryBook{};
        onDisk_.reset();
    } else {
        std::string bytes = readWholeFile(io_, file_);
        book_ = MemoryBook::parse(bytes, displayName(file_));
        onDisk_ = std::make_shared<const std::string>(std::move(bytes));
    }
    index_.reset();
    text_.reset();
    loaded_ = true;
}

const MemoryBook& MemoryStore::book() {
    load();
    return book_;
}

const CardIndex& MemoryStore::index() {
    load();
    // A count that differs means a change passed by the index: made anew.
    if (!index_ || index_->cards() != book_.cards.size()) index_.emplace(book_.cards);
    return *index_;
}

MemoryText& MemoryStore::text() {
    if (!text_) text_.emplace(book_);
    return *text_;
}

void MemoryStore::putCard(const std::string& key, const std::optional<Card>& card) {
    if (card) {
        const auto [it, fresh] = book_.cards.insert_or_assign(key, *card);
        if (fresh && index_) index_->add(*it);
    } else if (const auto it = book_.cards.find(key); it != book_.cards.end()) {
        if (index_) index_->remove(key);
        book_.cards.erase(it);
    }
    if (!text_) return;
    try {
        text_->setCard(key, card ? &*card : nullptr);
    } catch (...) {
        text_.reset();  // made again from the book when next wanted
    }
}

void MemoryStore::putDay(std::int32_t day, const std::optional<DayTally>& tally) {
    if (tally) book_.days[day] = *tally; else book_.days.erase(day);
    if (!text_) return;
    try {
        text_->setDay(day, tally ? &*tally : nullptr);
    } catch (...) {
        text_.reset();
    }
}

void MemoryStore::write() {
    const std::string& bytes = text().bytes();
    writeFileAtomic(io_, file_, bytes);
    onDisk_ = std::make_shared<const std::string>(bytes);
}

MemoryStore::Change MemoryStore::defer(const Mondai& m, Outcome o, std::int32_t today) {
    load();
    pending_.reset();
    Change change;
    change.key = memoryKey(m);
    change.day = today;
    change.fileBytes = onDisk_;
    const Card next = book_.applied(change.key, o, today);
    if (const Card* old = book_.find(change.key)) change.card = *old;
    if (auto t = book_.days.find(today); t != book_.days.end()) change.tally = t->second;

    putCard(change.key, next);
    if (o != Outcome::Mastered) {
        DayTally t = change.tally.value_or(DayTally{});
        (o == Outcome::Again ? t.wrong : t.right) += 1;
        putDay(today, t);
    }
    pending_ = Companion{file_, text().bytes()};
    pendingChange_ = change;
    return change;
}

void MemoryStore::carried() {
    if (!pending_) return;
    onDisk_ = std::make_shared<const std::string>(std::move(pending_->bytes));
    pending_.reset();
    pendingChange_.reset();
}

void MemoryStore::writeAlone() {
    if (!pending_) return;
    try {
        writeFileAtomic(io_, file_, pending_->bytes);
    } catch (...) {
        putBack(*pendingChange_);
        pending_.reset();
        pendingChange_.reset();
        throw;
    }
    carried();
}

MemoryStore::Change MemoryStore::record(const Mondai& m, Outcome o, std::int32_t today) {
    Change change = defer(m, o, today);
    writeAlone();
    return change;
}

void MemoryStore::putBack(const Change& change) {
    putCard(change.key, change.card);
    putDay(change.day, change.tally);
}

void MemoryStore::revert(const Change& change) noexcept {
    if (pending_) {
        // nothing of it reached the file
        pending_.reset();
        pendingChange_.reset();
        putBack(change);
        return;
    }
    try {
        if (change.fileBytes) {
            writeFileAtomic(io_, file_, *change.fileBytes);
        } else if (!io_.remove(file_)) {
            return;
        }
        onDisk_ = change.fileBytes;
        putBack(change);
    } catch (...) {
        // The file still holds the answer: so does the memory.
    }
}

void MemoryStore::restore(const std::string& key, const std::optional<Card>& card) {
    load();
    const auto old = book_.cards.find(key);
    const std::optional<Card> before = old == book_.cards.end() ? std::nullopt : std::optional<Card>(old->second);
    putCard(key, card);
    try {
        write();
    } catch (...) {
        putCard(key, before);
        throw;
    }
}

void MemoryStore::replaced(MemoryBook book, std::string bytes) {
    book_ = std::move(book);
    index_.reset();
    text_.reset();
    onDisk_ = std::make_shared<const std::string>(std::move(bytes));
    pending_.reset();
    pendingChange_.reset();
    loaded_ = true;
}

void MemoryStore::setRetention(double retention) {
    load();
    fsrs::Scheduler check(retention);  // throws outside 0.80..0.97
    const double before = book_.retention;
    auto put = [this](double r) {
        book_.retention = r;
        if (!text_) return;
        try {
            text_->setRetention(r);
        } catch (...) {
            text_.reset();
        }
    };
    put(check.desiredRetention());
    try {
        write();
    } catch (...) {
        put(before);
        throw;
    }
}

}  // namespace tabinowa
