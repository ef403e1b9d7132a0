// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/quiz/memory.h"
#include "core/files/checksum.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cerrno>
#include <cmath>
#include <ctime>
#include <cstdio>
#include <limits>
#include <map>
#include <optional>
#include <stdexcept>
#include <vector>

#include "core/files/cp932.h"
#include "core/files/database.h"
#include "core/files/error.h"
#include "core/files/folders.h"
#include "core/files/messages.h"
#include "core/quiz/review.h"

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
        throw FileError("記憶のファイル" + fileName_ + "（" + std::to_string(line_) + "行目）が壊れています：" + what +
                        "。" + memoryRepair());
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

// Calls `take` with each LF-ended line of a memory or step file: its parser,
// its number, its text, where it starts and its fields. A line after the end
// line (`ended`, set by `take`) or a last line cut short fails. Returns the
// number of lines.
template <class Take>
int forEachLine(std::string_view bytes, const std::string& fileName, const bool& ended, Take&& take) {
    std::size_t pos = 0;
    int lineNo = 0;
    while (pos < bytes.size()) {
        const LineParser p(fileName, ++lineNo);
        if (ended) p.fail("終わりの行の後に続きがあります");
        const std::size_t nl = bytes.find('\n', pos);
        if (nl == std::string_view::npos) p.fail("最後の行が途中で切れています");
        const std::string_view line = bytes.substr(pos, nl - pos);
        const std::size_t lineStart = pos;
        pos = nl + 1;
        take(p, lineNo, line, lineStart, splitTabs(line));
    }
    return lineNo;
}

// The numbers of a card line (fields 1 to 6: stability, difficulty, last and
// due day, right and wrong), as the text memory and the step file write them.
Card cardNumbers(const LineParser& p, const std::vector<std::string_view>& f) {
    Card c;
    c.state.stability = p.real(f[1], 0, 1e9);
    c.state.difficulty = p.real(f[2], 0, 10);
    c.lastDay = p.integer(f[3], 0, kMaxDay);
    c.dueDay = p.integer(f[4], 0, kMaxDay + kMasteredDays);
    c.right = p.integer(f[5], 0, 1 << 30);
    c.wrong = p.integer(f[6], 0, 1 << 30);
    return c;
}

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

ReviewGroup reviewGroup(const Card* c, std::int32_t today) {
    if (!c || (!c->state.graded() && !c->mastered)) return ReviewGroup::Fresh;
    if (c->mastered || !c->state.graded()) return ReviewGroup::None;
    if (c->dueDay <= today) return ReviewGroup::Due;
    if (c->lastWrong && c->lastDay < today) return ReviewGroup::Wrong;
    return ReviewGroup::None;
}

int MemoryBook::dueCount(std::int32_t today) const {
    int n = 0;
    for (const auto& [key, c] : cards) n += isBankKey(key) && reviewGroup(&c, today) == ReviewGroup::Due;
    return n;
}

fsrs::Scheduler MemoryBook::scheduler() const { return fsrs::Scheduler(retention, weights.value_or(fsrs::kDefaultWeights)); }

std::array<int, 4> MemoryBook::nextIntervals(const std::string& key, std::int32_t today) const {
    const Card* c = find(key);
    const fsrs::State state = c ? c->state : fsrs::State{};
    const int elapsed = c && state.graded() ? today - c->lastDay : 0;
    const auto next = scheduler().schedule(state, elapsed);
    return {next[0].days, next[1].days, next[2].days, next[3].days};
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
    const int elapsed = c.state.graded() ? std::max(0, today - c.lastDay) : 0;
    const auto next = scheduler().schedule(c.state, elapsed)[static_cast<std::size_t>(o)];
    c.state = next.state;
    c.lastDay = today;
    c.dueDay = today + next.days;
    c.lastWrong = o == Outcome::Again;
    (o == Outcome::Again ? c.wrong : c.right) += 1;
    // A question answered again after its removal is back in the review.
    c.mastered = false;
    return c;
}

namespace {

void putReal(std::string& out, double v) {
    char buf[32];
    out.append(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

void putEscaped(std::string& out, std::string_view key) {
    for (char ch : key) {
        switch (ch) {
            case '\\': out += "\\\\"; break;
            case '\t': out += "\\t"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            default: out += ch;
        }
    }
}

// "card" and the fields of a card line (without its end of line).
void putCard(std::string& out, std::string_view key, const Card& c) {
    out += "card\t";
    putReal(out, c.state.stability);
    out += '\t';
    putReal(out, c.state.difficulty);
    out += '\t' + std::to_string(c.lastDay) + '\t' + std::to_string(c.dueDay) + '\t' + std::to_string(c.right) + '\t' +
           std::to_string(c.wrong) + '\t';
    out += c.mastered ? 'M' : '-';
    out += c.lastWrong ? 'W' : '-';
    out += '\t';
    putEscaped(out, key);
}

std::string hex16(std::uint64_t v) {
    char buf[17];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(v));
    return buf;
}

}  // namespace

std::string MemoryBook::serialize() const {
    std::string out(kMemoryMagic);
    out += "\t" + std::to_string(kVersion) + "\nretention\t";
    putReal(out, retention);
    out += '\n';
    for (const auto& [day, t] : days)
        out += "day\t" + std::to_string(day) + '\t' + std::to_string(t.right) + '\t' + std::to_string(t.wrong) + '\n';
    for (const auto& [key, c] : cards) {
        putCard(out, key, c);
        out += '\n';
    }
    out += "end\t" + std::to_string(cards.size()) + '\t' + hex16(fnv1a64(out)) + '\n';
    return out;
}

MemoryBook MemoryBook::parse(std::string_view bytes, const std::string& fileName) {
    MemoryBook book;
    bool ended = false;
    bool sawRetention = false;
    std::int32_t lastDay = -1;
    const int lineNo = forEachLine(bytes, fileName, ended, [&](const LineParser& p, int lineNo, std::string_view,
                                                             std::size_t lineStart, const std::vector<std::string_view>& f) {
        if (lineNo == 1) {
            if (f.size() != 2 || f[0] != kMemoryMagic) p.fail("記憶ファイルの見出しがありません");
            if (p.integer(f[1], 0, 1 << 30) != kVersion) p.fail("この版では読めない記憶ファイルです");
            return;
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
            Card c = cardNumbers(p, f);
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
    });
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

CivilDate civilDate(std::int32_t day) {
    const int z = day + 719468;
    const int era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return {static_cast<int>(yoe) + era * 400 + (m <= 2), static_cast<int>(m),
            static_cast<int>(doy - (153 * mp + 2) / 5 + 1)};
}

// ------------------------------------------------------------ the store

namespace {

// 2: the log's answers tallied per day in answer_days, so that a start reads
// one row a day instead of the whole log.
// 3: each answer says whether its question was due (answers.due) and
// retention_tallies counts them per month and kind, so that the statistics
// read a few rows instead of replaying the log.
// An older database is read as it is and takes what it lacks at its first write.
constexpr int kSchemaVersion = 3;
constexpr int kOldestSchema = 1;

// After a failure of our memory every step goes on without it.
constexpr const char* kGoingOnWithout = "直すか起動し直すまで、答えは記憶せずに続けます。";
constexpr std::int64_t kApplicationId = 0x54424e57;  // "TBNW"

constexpr const char* kSchema = R"(
CREATE TABLE settings(name TEXT PRIMARY KEY, value NOT NULL) WITHOUT ROWID;
CREATE TABLE cards(
  key TEXT PRIMARY KEY,
  stability REAL NOT NULL, difficulty REAL NOT NULL,
  last_day INTEGER NOT NULL, due_day INTEGER NOT NULL,
  right INTEGER NOT NULL, wrong INTEGER NOT NULL,
  mastered INTEGER NOT NULL, last_wrong INTEGER NOT NULL) WITHOUT ROWID;
CREATE TABLE answers(
  id INTEGER PRIMARY KEY,
  at INTEGER NOT NULL,
  day INTEGER NOT NULL,
  key TEXT NOT NULL,
  activity TEXT NOT NULL,
  outcome INTEGER NOT NULL,
  right INTEGER,
  seconds REAL,
  due INTEGER NOT NULL DEFAULT 0);
CREATE INDEX answers_by_day ON answers(day, right, seconds);
CREATE TABLE carried_days(day INTEGER PRIMARY KEY, right INTEGER NOT NULL, wrong INTEGER NOT NULL);
)";

// The log's answers of each day (removals are none), kept with every row added or taken back.
constexpr const char* kAnswerDays = R"(
CREATE TABLE answer_days(day INTEGER PRIMARY KEY, right INTEGER NOT NULL, wrong INTEGER NOT NULL);
INSERT INTO answer_days SELECT day, total(right), count(right) - total(right) FROM answers WHERE right IS NOT NULL GROUP BY day;
)";

// Answers per month (monthOf) and kind (kindOfFirstLine of the key's first
// line): all of them (removals too: a kind is listed from its first answer,
// `first` being the log row of the first of the month), those to a due
// question, and of these the right ones. Due-ness is the schedule the
// learner had when answering: the card as the memory held it (graded and
// due on or before the day), so a later fit of the weights, a revival or a
// question build does not change what was counted.
constexpr const char* kRetentionTallies = R"(
CREATE TABLE retention_tallies(
  month INTEGER NOT NULL, kind TEXT NOT NULL, first INTEGER NOT NULL,
  answers INTEGER NOT NULL, due INTEGER NOT NULL, right INTEGER NOT NULL,
  PRIMARY KEY(month, kind)) WITHOUT ROWID;
)";

std::string kindOfKey(std::string_view key) { return kindOfFirstLine(key.substr(0, key.find('\n'))); }

// Valid UTF-8 (no overlong form, no surrogate, nothing past U+10FFFF).
bool isUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        int more = 0;
        std::uint32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        }
        if (c >= 0xC2 && c <= 0xDF) more = 1, cp = c & 0x1F;
        else if (c >= 0xE0 && c <= 0xEF) more = 2, cp = c & 0x0F;
        else if (c >= 0xF0 && c <= 0xF4) more = 3, cp = c & 0x07;
        else return false;
        if (i + static_cast<std::size_t>(more) >= s.size()) return false;
        for (int k = 1; k <= more; ++k) {
            const auto t = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
            if ((t & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (t & 0x3F);
        }
        if ((more == 2 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) || (more == 3 && (cp < 0x10000 || cp > 0x10FFFF)))
            return false;
        i += static_cast<std::size_t>(more) + 1;
    }
    return true;
}

std::filesystem::path beside(const std::filesystem::path& p, const char* name) {
    return p.parent_path() / AppFolders::u8path(name);
}

}  // namespace

struct MemoryStore::Step {
    std::int64_t id = 0;
    std::vector<std::pair<std::string, std::optional<Card>>> cards;  // set (or forget: none)
    struct Answer {
        std::int64_t at = 0;
        std::int32_t day = 0;
        int outcome = 0;
        std::optional<double> seconds;
        std::string activity, key;
    };
    std::vector<Answer> answers;
    std::optional<std::int32_t> reviveDay;  // every mastered card un-mastered, due that day
    std::int64_t dropRow = 0;  // a log row taken back (never in a step file)

    std::string encode() const {
        std::string out = "tabinowa-step\t1\nid\t" + std::to_string(id) + "\n";
        for (const auto& [key, card] : cards) {
            if (card) {
                putCard(out, key, *card);
            } else {
                out += "forget\t";
                putEscaped(out, key);
            }
            out += '\n';
        }
        for (const auto& a : answers) {
            out += "answer\t" + std::to_string(a.at) + '\t' + std::to_string(a.day) + '\t' + std::to_string(a.outcome) + '\t';
            if (a.seconds) putReal(out, *a.seconds); else out += '-';
            out += '\t';
            putEscaped(out, a.activity);
            out += '\t';
            putEscaped(out, a.key);
            out += '\n';
        }
        if (reviveDay) out += "revive\t" + std::to_string(*reviveDay) + "\n";
        out += "end\t" + hex16(fnv1a64(out)) + "\n";
        return out;
    }

    static Step decode(std::string_view bytes, const std::string& fileName) {
        Step step;
        bool ended = false;
        const int lineNo = forEachLine(bytes, fileName, ended, [&](const LineParser& p, int lineNo, std::string_view line,
                                                                 std::size_t lineStart, const std::vector<std::string_view>& f) {
            auto key = [&](std::string_view field) {
                auto k = unescapeKey(field);
                if (!k) p.fail("見出しが読めません");
                return *k;
            };
            if (lineNo == 1) {
                if (line != "tabinowa-step\t1") p.fail("記憶の変更の見出しがありません");
            } else if (f[0] == "id" && f.size() == 2) {
                step.id = p.integer(f[1], 0, 1 << 30);
            } else if (f[0] == "card" && f.size() == 9) {
                Card c = cardNumbers(p, f);
                if (f[7].size() != 2) p.fail("印が読めません");
                c.mastered = f[7][0] == 'M';
                c.lastWrong = f[7][1] == 'W';
                step.cards.emplace_back(key(f[8]), c);
            } else if (f[0] == "forget" && f.size() == 2) {
                step.cards.emplace_back(key(f[1]), std::nullopt);
            } else if (f[0] == "answer" && f.size() == 7) {
                Answer a;
                std::int64_t at = 0;
                auto r = std::from_chars(f[1].data(), f[1].data() + f[1].size(), at);
                if (r.ec != std::errc() || r.ptr != f[1].data() + f[1].size()) p.fail("時刻が読めません");
                a.at = at;
                a.day = p.integer(f[2], 0, kMaxDay);
                a.outcome = p.integer(f[3], 0, 4);
                if (f[4] != "-") a.seconds = p.real(f[4], 0, 1e9);
                a.activity = key(f[5]);
                a.key = key(f[6]);
                step.answers.push_back(std::move(a));
            } else if (f[0] == "revive" && f.size() == 2) {
                step.reviveDay = p.integer(f[1], 0, kMaxDay);
            } else if (f[0] == "end" && f.size() == 2) {
                if (f[1] != hex16(fnv1a64(bytes.substr(0, lineStart)))) p.fail("検査値が合いません");
                ended = true;
            } else {
                p.fail("読めない行です");
            }
        });
        if (!ended) LineParser(fileName, std::max(lineNo, 1)).fail("終わりの行がありません（途中で切れています）");
        return step;
    }

    // The same operations on the book in RAM.
    void applyTo(MemoryBook& book) const {
        for (const auto& [key, card] : cards) {
            if (card) book.cards.insert_or_assign(key, *card); else book.cards.erase(key);
        }
        for (const auto& a : answers) {
            if (a.outcome == static_cast<int>(Outcome::Mastered)) continue;
            DayTally& t = book.days[a.day];
            (a.outcome == static_cast<int>(Outcome::Again) ? t.wrong : t.right) += 1;
        }
        if (reviveDay)
            for (auto& [key, c] : book.cards)
                if (isBankKey(key) && c.mastered) {
                    c.mastered = false;
                    c.dueDay = *reviveDay;
                }
    }
};

MemoryStore::MemoryStore(Io& io, std::filesystem::path textFile) : io_(io), textFile_(std::move(textFile)) {}
MemoryStore::~MemoryStore() = default;

std::filesystem::path MemoryStore::databaseFile() const { return beside(textFile_, "記憶.db"); }
std::filesystem::path MemoryStore::stepFile() const { return beside(textFile_, "記憶.step"); }

void MemoryStore::createDatabase() {
    const auto file = databaseFile();
    // The first write with no database: made whole under a temporary name
    // (swept by the next start's recovery should this one stop), the old
    // text memory carried over into it, then renamed into place. The text
    // file stays as it is, a backup.
    std::optional<MemoryBook> old;
    if (io_.exists(textFile_)) old = readOldText();
    const auto temp = beside(textFile_, "記憶.db.tmp~");
    const auto tempJournal = beside(textFile_, "記憶.db.tmp~-journal");
    io_.remove(tempJournal);
    io_.remove(temp);
    try {
        Database fresh(io_, temp, true);
        Database::Transaction t(fresh);
        fresh.exec(kSchema);
        fresh.exec(kAnswerDays);
        fresh.exec(kRetentionTallies);
        fresh.exec("PRAGMA application_id=" + std::to_string(kApplicationId) + "; PRAGMA user_version=" +
                   std::to_string(kSchemaVersion) + ";");
        Database::Statement setting(fresh, "INSERT INTO settings(name, value) VALUES(?, ?)");
        setting.bind(1, std::string_view("retention")).bind(2, old ? old->retention : fsrs::kDefaultRetention).step();
        setting.reset();
        setting.bind(1, std::string_view("last_step")).bind(2, std::int64_t{0}).step();
        if (old) {
            Database::Statement card(fresh, "INSERT INTO cards VALUES(?,?,?,?,?,?,?,?,?)");
            for (const auto& [key, c] : old->cards) {
                card.reset();
                card.bind(1, key).bind(2, c.state.stability).bind(3, c.state.difficulty)
                    .bind(4, std::int64_t{c.lastDay}).bind(5, std::int64_t{c.dueDay})
                    .bind(6, std::int64_t{c.right}).bind(7, std::int64_t{c.wrong})
                    .bind(8, std::int64_t{c.mastered}).bind(9, std::int64_t{c.lastWrong});
                card.step();
            }
            Database::Statement day(fresh, "INSERT INTO carried_days VALUES(?,?,?)");
            for (const auto& [d, tally] : old->days) {
                day.reset();
                day.bind(1, std::int64_t{d}).bind(2, std::int64_t{tally.right}).bind(3, std::int64_t{tally.wrong}).step();
            }
        }
        t.commit();
    } catch (const DatabaseError& e) {
        // named as the learner knows it, not by its temporary name
        io_.remove(temp);
        throw DatabaseError(memoryProblem(file, e.fault()), e.fault());
    } catch (const FileError&) {
        io_.remove(temp);
        throw DatabaseError(memoryProblem(file, MemoryFault::Unwritable), MemoryFault::Unwritable);
    }
    if (!io_.rename(temp, file) || !io_.syncFolder(file.parent_path())) {
        io_.remove(temp);
        throw DatabaseError(memoryProblem(file, MemoryFault::Unwritable), MemoryFault::Unwritable);
    }
}

void MemoryStore::openDatabase() {
    const auto file = databaseFile();
    auto db = std::make_unique<Database>(io_, file, false);
    Database::Statement version(*db, "PRAGMA user_version");
    version.step();
    const auto v = version.integer(0);
    Database::Statement app(*db, "PRAGMA application_id");
    app.step();
    if (app.integer(0) != kApplicationId)
        throw DatabaseError(memoryProblem(file, MemoryFault::NotOurs), MemoryFault::NotOurs);
    if (v < kOldestSchema || v > kSchemaVersion)
        throw DatabaseError(memoryProblem(file, MemoryFault::OtherVersion, v), MemoryFault::OtherVersion);
    schema_ = static_cast<int>(v);
    db_ = std::move(db);
}

void MemoryStore::readBook() {
    MemoryBook book;
    Database& db = *db_;
    Database::Statement settings(db, "SELECT name, value FROM settings");
    while (settings.step()) {
        const std::string name = settings.text(0);
        if (name == "retention") {
            const double r = settings.real(1);
            if (!(r >= fsrs::kMinRetention && r <= fsrs::kMaxRetention))
                throw DatabaseError(memoryProblem(databaseFile(), MemoryFault::Damaged), MemoryFault::Damaged);
            book.retention = r;
        } else if (name == "last_step") {
            lastStep_ = settings.integer(1);
        } else if (name == "weights") {
            fsrs::Weights w{};
            if (!fsrs::parseWeights(settings.text(1), w))
                throw DatabaseError(memoryProblem(databaseFile(), MemoryFault::Damaged), MemoryFault::Damaged);
            book.weights = w;
        }
    }
    Database::Statement cards(db, "SELECT key, stability, difficulty, last_day, due_day, right, wrong, mastered, last_wrong FROM cards");
    while (cards.step()) {
        Card c;
        c.state.stability = cards.real(1);
        c.state.difficulty = cards.real(2);
        c.lastDay = static_cast<std::int32_t>(cards.integer(3));
        c.dueDay = static_cast<std::int32_t>(cards.integer(4));
        c.right = static_cast<std::int32_t>(cards.integer(5));
        c.wrong = static_cast<std::int32_t>(cards.integer(6));
        c.mastered = cards.integer(7) != 0;
        c.lastWrong = cards.integer(8) != 0;
        book.cards.emplace_hint(book.cards.end(), cards.text(0), c);
    }
    Database::Statement carried(db, "SELECT day, right, wrong FROM carried_days");
    while (carried.step())
        book.days[static_cast<std::int32_t>(carried.integer(0))] = {static_cast<std::int32_t>(carried.integer(1)),
                                                                   static_cast<std::int32_t>(carried.integer(2))};
    // The day tallies are the log's: a removal (right NULL) is no answer of
    // the day. Kept per day since version 2; a version 1 database counts its log.
    Database::Statement days(db, schema_ >= 2 ? "SELECT day, right, wrong FROM answer_days"
                                           : "SELECT day, total(right), count(right) - total(right) FROM answers "
                                             "WHERE right IS NOT NULL GROUP BY day");
    while (days.step()) {
        DayTally& t = book.days[static_cast<std::int32_t>(days.integer(0))];
        t.right += static_cast<std::int32_t>(days.real(1));
        t.wrong += static_cast<std::int32_t>(days.real(2));
    }
    book_ = std::move(book);
}

std::int64_t MemoryStore::apply(const Step& step) {
    ensureDatabase();
    Database& db = *db_;
    Database::Transaction t(db);
    std::int64_t lastRow = 0;
    const bool upgrade = schema_ < kSchemaVersion;
    if (upgrade) upgradeSchema();
    // Whether each answer is to a due question, by its card before the step.
    std::vector<bool> due;
    if (!step.answers.empty()) {
        Database::Statement card(db, "SELECT stability, due_day FROM cards WHERE key = ?");
        for (const auto& a : step.answers) {
            card.reset();
            card.bind(1, a.key);
            const bool graded = card.step() && card.real(0) > 0 && a.day >= card.integer(1);
            due.push_back(graded && a.outcome >= 0 && a.outcome <= static_cast<int>(Outcome::Easy));
            while (card.step()) {}
        }
    }
    if (!step.cards.empty()) {
        Database::Statement put(db, "INSERT OR REPLACE INTO cards VALUES(?,?,?,?,?,?,?,?,?)");
        Database::Statement forget(db, "DELETE FROM cards WHERE key = ?");
        for (const auto& [key, c] : step.cards) {
            if (!c) {
                forget.reset();
                forget.bind(1, key).step();
                continue;
            }
            put.reset();
            put.bind(1, key).bind(2, c->state.stability).bind(3, c->state.difficulty)
                .bind(4, std::int64_t{c->lastDay}).bind(5, std::int64_t{c->dueDay})
                .bind(6, std::int64_t{c->right}).bind(7, std::int64_t{c->wrong})
                .bind(8, std::int64_t{c->mastered}).bind(9, std::int64_t{c->lastWrong});
            put.step();
        }
    }
    if (!step.answers.empty()) {
        Database::Statement insert(db, "INSERT INTO answers(at, day, key, activity, outcome, right, seconds, due) VALUES(?,?,?,?,?,?,?,?)");
        Database::Statement retention(db, "INSERT INTO retention_tallies VALUES(?, ?, ?, 1, ?, ?) ON CONFLICT DO UPDATE SET "
                                          "answers = answers + 1, due = due + excluded.due, right = right + excluded.right");
        Database::Statement tally(db, "INSERT INTO answer_days(day, right, wrong) VALUES(?, ?, ?) ON CONFLICT(day) DO "
                                      "UPDATE SET right = right + excluded.right, wrong = wrong + excluded.wrong");
        Database::Statement rowid(db, "SELECT last_insert_rowid()");
        for (std::size_t i = 0; i < step.answers.size(); ++i) {
            const auto& a = step.answers[i];
            insert.reset();
            insert.bind(1, a.at).bind(2, std::int64_t{a.day}).bind(3, a.key).bind(4, a.activity)
                .bind(5, std::int64_t{a.outcome});
            if (a.outcome == static_cast<int>(Outcome::Mastered)) insert.bindNull(6);
            else insert.bind(6, std::int64_t{a.outcome != static_cast<int>(Outcome::Again)});
            if (a.seconds) insert.bind(7, *a.seconds); else insert.bindNull(7);
            insert.bind(8, std::int64_t{due[i]});
            insert.step();
            // (before the tallies, whose own inserts would be the last one)
            rowid.reset();
            rowid.step();
            lastRow = rowid.integer(0);
            retention.reset();
            retention.bind(1, std::int64_t{monthOf(a.day)}).bind(2, kindOfKey(a.key)).bind(3, lastRow)
                .bind(4, std::int64_t{due[i]}).bind(5, std::int64_t{due[i] && a.outcome != static_cast<int>(Outcome::Again)});
            retention.step();
            if (a.outcome == static_cast<int>(Outcome::Mastered)) continue;
            const bool right = a.outcome != static_cast<int>(Outcome::Again);
            tally.reset();
            tally.bind(1, std::int64_t{a.day}).bind(2, std::int64_t{right}).bind(3, std::int64_t{!right}).step();
        }
    }
    if (step.reviveDay) {
        Database::Statement revive(db, "UPDATE cards SET mastered = 0, due_day = ? WHERE mastered != 0 AND NOT (key GLOB ?)");
        revive.bind(1, std::int64_t{*step.reviveDay}).bind(2, std::string(kWhereKind) + "*").step();
    }
    if (step.dropRow > 0) {
        Database::Statement untally(db, "UPDATE answer_days SET right = answer_days.right - r.right, wrong = answer_days.wrong - (1 - r.right) "
                                        "FROM (SELECT day, right FROM answers WHERE id = ? AND right IS NOT NULL) AS r "
                                        "WHERE answer_days.day = r.day");
        untally.bind(1, step.dropRow).step();
        // a day left with no answer is no day of the tallies, as the log counted them
        Database::Statement empty(db, "DELETE FROM answer_days WHERE right = 0 AND wrong = 0 AND "
                                      "day = (SELECT day FROM answers WHERE id = ?)");
        empty.bind(1, step.dropRow).step();
        Database::Statement row(db, "SELECT day, key, due, right FROM answers WHERE id = ?");
        row.bind(1, step.dropRow);
        if (row.step()) {
            const bool wasDue = row.integer(2) != 0;
            const bool right = wasDue && !row.isNull(3) && row.integer(3) != 0;
            Database::Statement uncount(db, "UPDATE retention_tallies SET answers = answers - 1, due = due - ?, right = right - ? "
                                            "WHERE month = ? AND kind = ?");
            uncount.bind(1, std::int64_t{wasDue}).bind(2, std::int64_t{right})
                .bind(3, std::int64_t{monthOf(static_cast<std::int32_t>(row.integer(0)))}).bind(4, kindOfKey(row.text(1)));
            uncount.step();
            Database::Statement gone(db, "DELETE FROM retention_tallies WHERE answers <= 0");
            gone.step();
        }
        while (row.step()) {}
        Database::Statement drop(db, "DELETE FROM answers WHERE id = ?");
        drop.bind(1, step.dropRow).step();
    }
    if (step.id > 0) {
        Database::Statement last(db, "UPDATE settings SET value = ? WHERE name = 'last_step'");
        last.bind(1, step.id).step();
    }
    // Every transaction counts itself: a commit reported failed after its
    // journal was gone (the folder's flush failed) did go in, and says so.
    Database::Statement counted(db, "INSERT INTO settings(name, value) VALUES('commits', 1) "
                                    "ON CONFLICT(name) DO UPDATE SET value = value + 1 RETURNING value");
    counted.step();
    const std::int64_t commits = counted.integer(0);
    while (counted.step()) {}
    try {
        t.commit();
    } catch (const FileError&) {
        Database::Statement now(db, "SELECT value FROM settings WHERE name = 'commits'");
        if (!now.step() || now.integer(0) != commits) throw;
    }
    if (step.id > lastStep_) lastStep_ = step.id;
    if (upgrade) schema_ = kSchemaVersion;
    return lastRow;
}

void MemoryStore::upgradeSchema() {
    Database& db = *db_;
    if (schema_ < 2) db.exec(kAnswerDays);
    if (schema_ < 3) {
        // The answers logged so far: their due-ness replayed once with the
        // learner's scheduler, as the statistics counted them until now.
        // The seconds join the day index, so that the time per day reads the index alone.
        db.exec(std::string("ALTER TABLE answers ADD COLUMN due INTEGER NOT NULL DEFAULT 0; DROP INDEX IF EXISTS answers_by_day; "
                            "CREATE INDEX answers_by_day ON answers(day, right, seconds);") + kRetentionTallies);
        std::vector<fsrs::LoggedAnswer> log;
        std::vector<std::int64_t> ids;
        {
            Database::Statement rows(db, "SELECT id, day, outcome, key FROM answers ORDER BY id");
            while (rows.step()) {
                ids.push_back(rows.integer(0));
                log.push_back({static_cast<std::int32_t>(rows.integer(1)), static_cast<int>(rows.integer(2)), rows.text(3)});
            }
        }
        const std::vector<bool> due = dueAnswers(log, book_.scheduler());
        struct Tally {
            std::int64_t first = 0, answers = 0, due = 0, right = 0;
        };
        std::map<std::pair<int, std::string>, Tally> tallies;
        Database::Statement mark(db, "UPDATE answers SET due = 1 WHERE id = ?");
        for (std::size_t i = 0; i < log.size(); ++i) {
            Tally& t = tallies[{monthOf(log[i].day), kindOfKey(log[i].key)}];
            if (t.answers++ == 0) t.first = ids[i];
            if (!due[i]) continue;
            ++t.due;
            t.right += log[i].outcome != static_cast<int>(Outcome::Again);
            mark.reset();
            mark.bind(1, ids[i]).step();
        }
        Database::Statement put(db, "INSERT INTO retention_tallies VALUES(?, ?, ?, ?, ?, ?)");
        for (const auto& [at, t] : tallies) {
            put.reset();
            put.bind(1, std::int64_t{at.first}).bind(2, at.second).bind(3, t.first).bind(4, t.answers).bind(5, t.due)
                .bind(6, t.right).step();
        }
    }
    db.exec("PRAGMA user_version=" + std::to_string(kSchemaVersion) + ";");
}

TrueRetention MemoryStore::trueRetention() {
    load();
    TrueRetention out;
    out.total.name = "全体";
    if (!db_) return out;  // no database yet: no answer logged
    if (schema_ < 3) {
        std::vector<fsrs::LoggedAnswer> log;
        readLog(0, std::numeric_limits<int>::max(), log);
        return tabinowa::trueRetention(log, book_.scheduler());
    }
    Database::Statement kinds(*db_, "SELECT kind, total(due), total(right) FROM retention_tallies GROUP BY kind ORDER BY min(first)");
    while (kinds.step()) {
        RetentionRow r{retentionKindName(kinds.text(0)), static_cast<int>(kinds.real(1)), static_cast<int>(kinds.real(2))};
        out.total.due += r.due;
        out.total.right += r.right;
        out.byKind.push_back(std::move(r));
    }
    Database::Statement months(*db_, "SELECT month, total(due), total(right) FROM retention_tallies GROUP BY month "
                                     "HAVING total(due) > 0 ORDER BY month");
    while (months.step())
        out.byMonth.push_back({monthNameOf(static_cast<int>(months.integer(0))), static_cast<int>(months.real(1)),
                               static_cast<int>(months.real(2))});
    return out;
}

void MemoryStore::applyStepFile() {
    const auto file = stepFile();
    if (!io_.exists(file)) return;
    const std::string bytes = readWholeFile(io_, file);
    std::optional<Step> decoded;
    try {
        decoded = Step::decode(bytes, displayName(file));
    } catch (const FileError&) {
        damaged_ = file;
        throw;
    }
    const Step& step = *decoded;
    if (step.id > lastStep_) {
        apply(step);
        readBook();
    }
    io_.remove(file);
}

void MemoryStore::load() {
    if (loaded_) return;
    try {
        if (io_.exists(databaseFile())) {
            openDatabase();
            readBook();
            // Reading rolled back a transaction a crash cut short (a hot
            // journal). A journal still there is one whose header never got
            // written (nothing to roll back): it goes, as SQLite leaves it.
            const auto journal = beside(databaseFile(), "記憶.db-journal");
            if (io_.exists(journal)) io_.remove(journal);
        } else {
            // No database yet: reading makes none. An old text memory is read
            // (and checked) now and carried over at the first write.
            book_ = io_.exists(textFile_) ? readOldText() : MemoryBook{};
            lastStep_ = 0;
        }
        // A step whose files went in while the database did not take it.
        applyStepFile();
    } catch (const DatabaseError& e) {
        if (e.damaged()) damaged_ = databaseFile();
        db_.reset();
        throw;
    } catch (...) {
        db_.reset();
        throw;
    }
    loaded_ = true;
}

void MemoryStore::refuseAfterProblem() const {
    if (!problem_.empty()) throw FileError(problem_);
}

MemoryBook MemoryStore::readOldText() {
    const std::string bytes = readWholeFile(io_, textFile_);
    // Written in UTF-8; an editor that saved it again as Shift-JIS made it unreadable, not lost.
    if (!isUtf8(bytes) && fromCp932ByIconv(bytes)) {
        damaged_ = textFile_;
        throw FileError(memoryInCp932(textFile_));
    }
    try {
        return MemoryBook::parse(bytes, displayName(textFile_));
    } catch (const FileError&) {
        damaged_ = textFile_;
        throw;
    }
}

std::optional<std::filesystem::path> MemoryStore::damagedFile() {
    try {
        load();
    } catch (const FileError&) {
    }
    return damaged_;
}

std::filesystem::path MemoryStore::setAside(std::time_t now) {
    if (!damaged_) throw std::logic_error("setAside: no damaged memory file");
    const std::filesystem::path file = *damaged_;
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const auto name = file.filename().u8string();
    std::filesystem::path aside;
    for (int n = 1;; ++n) {
        std::string tail = ".破損-" + std::string(stamp) + (n > 1 ? "-" + std::to_string(n) : "");
        aside = file.parent_path() / std::filesystem::path(name + std::u8string(tail.begin(), tail.end()));
        if (!io_.exists(aside)) break;
    }
    db_.reset();
    // The database's journal (a transaction a crash cut short) goes with it, under the name SQLite looks for.
    const auto journal = std::filesystem::path(file.u8string() + u8"-journal");
    const auto asideJournal = std::filesystem::path(aside.u8string() + u8"-journal");
    if (!io_.rename(file, aside) || (io_.exists(journal) && !io_.rename(journal, asideJournal)) ||
        !io_.syncFolder(file.parent_path()))
        throw FileError(notWritten(file, errno, true));
    // The memory starts afresh: the next write makes a new database.
    damaged_.reset();
    problem_.clear();
    problemTold_ = false;
    loaded_ = false;
    lastStep_ = 0;
    book_ = MemoryBook{};
    return aside;
}

void MemoryStore::ensureDatabase() {
    if (db_) return;
    if (!io_.exists(databaseFile())) createDatabase();
    openDatabase();
}

const MemoryBook& MemoryStore::book() {
    load();
    return book_;
}

std::int64_t MemoryStore::logCount() {
    load();
    if (!db_) return 0;
    Database::Statement count(*db_, "SELECT count(*) FROM answers");
    count.step();
    return count.integer(0);
}

std::vector<MemoryStore::Logged> MemoryStore::answers() {
    load();
    std::vector<Logged> out;
    if (!db_) return out;
    Database::Statement rows(*db_, "SELECT at, day, key, activity, outcome, seconds FROM answers ORDER BY id");
    while (rows.step()) {
        Logged a;
        a.at = rows.integer(0);
        a.day = static_cast<std::int32_t>(rows.integer(1));
        a.key = rows.text(2);
        a.activity = rows.text(3);
        a.outcome = static_cast<Outcome>(std::clamp<std::int64_t>(rows.integer(4), 0, 4));
        if (!rows.isNull(5)) a.seconds = rows.real(5);
        out.push_back(std::move(a));
    }
    return out;
}

MemoryStore::Change MemoryStore::defer(const Mondai& m, Outcome o, std::int32_t today, std::string_view activity) {
    load();
    pending_.reset();
    Change change;
    change.key = memoryKey(m);
    change.day = today;
    if (!problem_.empty()) return change;  // the step goes on without the memory
    if (const Card* old = book_.find(change.key)) change.card = *old;
    if (auto t = book_.days.find(today); t != book_.days.end()) change.tally = t->second;

    auto step = std::make_unique<Step>();
    step->id = lastStep_ + 1;
    step->cards.emplace_back(change.key, book_.applied(change.key, o, today));
    step->answers.push_back({static_cast<std::int64_t>(std::time(nullptr)), today, static_cast<int>(o), std::nullopt,
                             std::string(activity), change.key});
    step->applyTo(book_);
    pending_ = Companion{stepFile(), step->encode()};
    pendingStep_ = std::move(step);
    pendingChange_ = change;
    pendingInRam_ = true;
    return change;
}

void MemoryStore::carried() {
    if (!pendingStep_) return;
    const auto step = std::move(pendingStep_);
    pending_.reset();
    pendingChange_.reset();
    try {
        apply(*step);
        if (!pendingInRam_) step->applyTo(book_);
        io_.remove(stepFile());
    } catch (const std::exception& e) {
        // The step file stays in place: the next load applies it. Until then
        // nothing of ours changes (a later step file would take its place).
        problem_ = std::string(e.what()) + "この変更の記憶は" + displayName(stepFile()) +
                   "に残してあり、次に起動したときに記憶に加えます。それまで記憶は変えません。";
        problemTold_ = false;
        db_.reset();
    }
}

std::optional<std::string> MemoryStore::untoldProblem() {
    if (problem_.empty() || problemTold_) return std::nullopt;
    problemTold_ = true;
    return problem_;
}

void MemoryStore::writeAlone() {
    if (!pendingStep_) return;
    const auto step = std::move(pendingStep_);
    const Change change = *pendingChange_;
    pending_.reset();
    pendingChange_.reset();
    Step alone = *step;
    alone.id = 0;  // no step file to match
    try {
        apply(alone);
    } catch (...) {
        putBack(change);
        throw;
    }
}

MemoryStore::StepResult MemoryStore::record(const Mondai& m, Outcome o, std::int32_t today, std::string_view activity,
                                            std::optional<double> seconds) {
    // A step whose design part is the learner's action itself (a pick, a
    // grade, a place found): it always happens, so the answer goes alone.
    return step(MemoryPart::answer(m, o, activity, seconds), today, [] { return true; });
}

void MemoryStore::putBack(const Change& change) {
    if (change.card) book_.cards.insert_or_assign(change.key, *change.card); else book_.cards.erase(change.key);
    if (change.tally) book_.days[change.day] = *change.tally; else book_.days.erase(change.day);
}

void MemoryStore::revert(const Change& change) noexcept {
    if (pendingStep_) {
        // nothing of it reached the database
        pendingStep_.reset();
        pending_.reset();
        pendingChange_.reset();
        if (pendingInRam_) putBack(change);
        return;
    }
    if (!db_ || change.logRow == 0) return;
    try {
        Step back;
        back.cards.emplace_back(change.key, change.card);
        back.dropRow = change.logRow;
        apply(back);
        putBack(change);
    } catch (...) {
        // The database still holds the answer: so does the memory.
    }
}

void MemoryStore::restore(const std::string& key, const std::optional<Card>& card) {
    load();
    refuseAfterProblem();
    Step step;
    step.cards.emplace_back(key, card);
    apply(step);
    step.applyTo(book_);
}

std::optional<Companion> MemoryStore::rebuilt(const std::vector<std::string>& bankKeys, std::int32_t today) {
    load();
    if (!problem_.empty()) return std::nullopt;
    std::vector<std::string> sorted = bankKeys;
    std::sort(sorted.begin(), sorted.end());
    auto step = std::make_unique<Step>();
    step->id = lastStep_ + 1;
    bool mastered = false;
    for (const auto& [key, c] : book_.cards) {
        if (!isBankKey(key)) continue;
        if (!std::binary_search(sorted.begin(), sorted.end(), key)) step->cards.emplace_back(key, std::nullopt);
        else mastered = mastered || c.mastered;
    }
    if (mastered) step->reviveDay = today;
    if (step->cards.empty() && !mastered) return std::nullopt;
    Change change;  // nothing to put back: a build's step is only ever carried or dropped
    pending_ = Companion{stepFile(), step->encode()};
    pendingStep_ = std::move(step);
    pendingChange_ = change;
    pendingInRam_ = false;
    return pending_;
}

MemoryPart MemoryPart::answer(const Mondai& m, Outcome o, std::string_view activity, std::optional<double> seconds) {
    MemoryPart p;
    p.kind = Kind::Answer;
    p.key = memoryKey(m);
    p.outcome = o;
    p.activity = std::string(activity);
    p.seconds = seconds;
    return p;
}

MemoryPart MemoryPart::restore(std::string key, std::optional<Card> card) {
    MemoryPart p;
    p.kind = Kind::Restore;
    p.key = std::move(key);
    p.card = std::move(card);
    return p;
}

MemoryPart MemoryPart::reviveAll() {
    MemoryPart p;
    p.kind = Kind::ReviveAll;
    return p;
}

MemoryPart MemoryPart::rebuilt(std::vector<std::string> bankKeys) {
    MemoryPart p;
    p.kind = Kind::Rebuilt;
    p.bankKeys = std::move(bankKeys);
    return p;
}

MemoryPart MemoryPart::carried(std::vector<std::string> bankKeys) {
    MemoryPart p = rebuilt(std::move(bankKeys));
    p.kind = Kind::Carried;
    return p;
}

// The memory's operations for a part; none when it changes nothing.
std::unique_ptr<MemoryStore::Step> MemoryStore::stepFor(const MemoryPart& part, std::int32_t today, Change& change) {
    auto step = std::make_unique<Step>();
    step->id = lastStep_ + 1;
    change.key = part.key;
    change.day = today;
    if (const Card* old = book_.find(part.key)) change.card = *old;
    if (auto t = book_.days.find(today); t != book_.days.end()) change.tally = t->second;
    bool mastered = false;
    switch (part.kind) {
        case MemoryPart::Kind::Answer:
            step->cards.emplace_back(part.key, book_.applied(part.key, part.outcome, today));
            step->answers.push_back({static_cast<std::int64_t>(std::time(nullptr)), today,
                                     static_cast<int>(part.outcome), part.seconds, part.activity, part.key});
            return step;
        case MemoryPart::Kind::Restore:
            step->cards.emplace_back(part.key, part.card);
            return step;
        case MemoryPart::Kind::Rebuilt:
        case MemoryPart::Kind::Carried: {
            std::vector<std::string> sorted = part.bankKeys;
            std::sort(sorted.begin(), sorted.end());
            for (const auto& [key, c] : book_.cards) {
                if (!isBankKey(key)) continue;
                if (!std::binary_search(sorted.begin(), sorted.end(), key)) step->cards.emplace_back(key, std::nullopt);
                else mastered = mastered || c.mastered;
            }
            if (part.kind == MemoryPart::Kind::Carried) mastered = false;  // removals carried: nothing revived
            break;
        }
        case MemoryPart::Kind::ReviveAll:
            for (const auto& [key, c] : book_.cards) mastered = mastered || (isBankKey(key) && c.mastered);
            break;
    }
    if (mastered) step->reviveDay = today;
    if (step->cards.empty() && !mastered) return nullptr;
    return step;
}

MemoryStore::StepResult MemoryStore::step(const MemoryPart& part, std::int32_t today, const std::function<bool()>& design) {
    StepResult result;
    Change change;
    std::unique_ptr<Step> s;
    if (problem_.empty()) {
        try {
            load();
            s = stepFor(part, today, change);
        } catch (const std::exception& e) {
            // The message says why and what to do (messages.h).
            problem_ = std::string(e.what()) + kGoingOnWithout;
            problemTold_ = false;
        }
    }
    pendingStep_.reset();
    pendingChange_.reset();
    if (s) pending_ = Companion{stepFile(), s->encode()};
    else pending_.reset();
    bool changed = false;
    try {
        changed = design();
    } catch (...) {
        pending_.reset();
        throw;
    }
    const std::optional<Companion> staged = std::move(pending_);
    pending_.reset();
    // Did the design's change take the step file along? Then it is in place
    // with exactly these bytes; otherwise the part goes alone after it.
    bool along = false;
    if (s) {
        try {
            along = io_.exists(stepFile()) && readWholeFile(io_, stepFile()) == staged->bytes;
        } catch (const FileError&) {
            along = false;
        }
    }
    if (s && (changed || along)) {
        try {
            if (along) {
                change.logRow = apply(*s);
                io_.remove(stepFile());
            } else {
                Step alone = *s;
                alone.id = 0;  // no step file to match
                change.logRow = apply(alone);
            }
            s->applyTo(book_);
            result.change = change;
        } catch (const std::exception& e) {
            if (const auto* d = dynamic_cast<const DatabaseError*>(&e); d && d->damaged()) damaged_ = databaseFile();
            db_.reset();
            problemTold_ = false;
            if (along) {
                // The step file stays: the next start applies it.
                s->applyTo(book_);
                result.change = change;
                problem_ = std::string(e.what()) + "この変更の記憶は" + displayName(stepFile()) +
                           "に残してあり、次に起動したときに記憶に加えます。それまで記憶は変えません。";
            } else {
                problem_ = std::string(e.what()) + "この答えは記憶していません。" + kGoingOnWithout;
            }
        }
    }
    result.problem = untoldProblem();
    return result;
}

void MemoryStore::setRetention(double retention) {
    load();
    refuseAfterProblem();
    fsrs::Scheduler check(retention);  // throws outside 0.80..0.97
    ensureDatabase();
    Database::Transaction t(*db_);
    Database::Statement put(*db_, "UPDATE settings SET value = ? WHERE name = 'retention'");
    put.bind(1, check.desiredRetention()).step();
    t.commit();
    book_.retention = check.desiredRetention();
}

namespace {

constexpr int kFitFields = 8;

std::string fitText(const FitRecord& f) {
    std::string out = std::to_string(f.day) + ' ' + (f.taken ? '1' : '0');
    for (const fsrs::Metrics* m : {&f.before, &f.after}) {
        char buf[32];
        out += ' ' + std::to_string(m->answers) + ' ';
        out.append(buf, std::to_chars(buf, buf + sizeof buf, m->logLoss).ptr);
        out += ' ';
        out.append(buf, std::to_chars(buf, buf + sizeof buf, m->rmseBins).ptr);
    }
    return out;
}

std::optional<FitRecord> parseFit(std::string_view text) {
    std::array<double, kFitFields> v{};
    const char* p = text.data();
    const char* end = p + text.size();
    for (int i = 0; i < kFitFields; ++i) {
        if (i > 0) {
            if (p == end || *p != ' ') return std::nullopt;
            ++p;
        }
        auto r = std::from_chars(p, end, v[static_cast<std::size_t>(i)]);
        if (r.ec != std::errc() || !std::isfinite(v[static_cast<std::size_t>(i)])) return std::nullopt;
        p = r.ptr;
    }
    if (p != end) return std::nullopt;
    FitRecord f;
    f.day = static_cast<std::int32_t>(v[0]);
    f.taken = v[1] != 0;
    f.before = {v[3], v[4], static_cast<int>(v[2])};
    f.after = {v[6], v[7], static_cast<int>(v[5])};
    return f;
}

}  // namespace

void MemoryStore::recordFit(const FitRecord& fit, const std::optional<fsrs::Weights>& taken) {
    load();
    refuseAfterProblem();
    if (taken && !fsrs::inRange(*taken)) throw std::invalid_argument("weights outside FSRS's ranges");
    ensureDatabase();
    Database::Transaction t(*db_);
    Database::Statement put(*db_, "INSERT OR REPLACE INTO settings(name, value) VALUES(?, ?)");
    put.bind(1, std::string_view("fit")).bind(2, fitText(fit)).step();
    put.reset();
    put.bind(1, std::string_view("fit_auto")).bind(2, std::int64_t{1}).step();
    if (taken) {
        put.reset();
        put.bind(1, std::string_view("weights")).bind(2, fsrs::weightsText(*taken)).step();
    }
    t.commit();
    if (taken) book_.weights = *taken;
}

void MemoryStore::resetWeights() {
    load();
    refuseAfterProblem();
    ensureDatabase();
    Database::Transaction t(*db_);
    Database::Statement drop(*db_, "DELETE FROM settings WHERE name = 'weights'");
    drop.step();
    Database::Statement off(*db_, "INSERT OR REPLACE INTO settings(name, value) VALUES('fit_auto', 0)");
    off.step();
    t.commit();
    book_.weights.reset();
}

std::optional<FitRecord> MemoryStore::lastFit() {
    load();
    if (!db_) return std::nullopt;  // no database yet: never fitted
    Database::Statement q(*db_, "SELECT value FROM settings WHERE name = 'fit'");
    if (!q.step()) return std::nullopt;
    return parseFit(q.text(0));
}

bool MemoryStore::autoFit() {
    load();
    if (!db_) return true;
    Database::Statement q(*db_, "SELECT value FROM settings WHERE name = 'fit_auto'");
    return !q.step() || q.integer(0) != 0;
}

std::int64_t MemoryStore::readLog(std::int64_t afterRow, int limit, std::vector<fsrs::LoggedAnswer>& out) {
    load();
    if (!db_) return afterRow;  // no database yet: no answer logged
    Database::Statement q(*db_, "SELECT id, day, outcome, key FROM answers WHERE id > ? ORDER BY id LIMIT ?");
    q.bind(1, afterRow).bind(2, std::int64_t{limit});
    std::int64_t last = afterRow;
    while (q.step()) {
        last = q.integer(0);
        out.push_back({static_cast<std::int32_t>(q.integer(1)), static_cast<int>(q.integer(2)), q.text(3)});
    }
    return last;
}

std::vector<double> MemoryStore::secondsPerDay(std::int32_t from, std::int32_t to) {
    load();
    std::vector<double> out(static_cast<std::size_t>(std::max(0, to - from + 1)), 0.0);
    if (!db_) return out;
    Database::Statement q(*db_, "SELECT day, total(seconds) FROM answers WHERE day BETWEEN ? AND ? GROUP BY day");
    q.bind(1, std::int64_t{from}).bind(2, std::int64_t{to});
    while (q.step()) out[static_cast<std::size_t>(q.integer(0) - from)] = q.real(1);
    return out;
}

}  // namespace tabinowa
