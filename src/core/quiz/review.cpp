// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/quiz/review.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string_view>

#include "core/files/cp932.h"
#include "core/files/error.h"
#include "core/files/load_checks.h"
#include "core/files/record_views.h"
#include "core/files/records.h"

namespace tabinowa {

namespace {

// The prefecture of a note from its first bytes: "市", "旧" or "県" and two
// digits are four bytes of CP932; anything that does not decode names none.
int prefectureOfNote(std::string_view note) {
    try {
        return notePrefecture(fromCp932(note.substr(0, 4), ""));
    } catch (const FileError&) {
        return 0;
    }
}

// 100 records (about 252 KiB) a read: the block is still in the cache when
// its fields are looked at.
constexpr std::size_t kBlockRecords = 100;

// Calls begin(number of records), then each(record bytes, number) for every
// record of "問題.ran", read in blocks through one buffer. Throws FileError
// naming the file.
template <typename Begin, typename Each>
void forEachQuestionRecord(Io& io, const AppFolders& folders, const std::string& name, Begin begin, Each each) {
    const auto path = folders.questionRecords();
    // a missing or cut file is named (and never read as a smaller bank)
    checkQuestionRecords(io, folders);
    const int fd = io.open(path, Io::Mode::Read);
    if (fd < 0) throw FileError("ファイル" + name + "を読めませんでした。");
    const long long size = io.size(fd);
    if (size < 0) {
        io.close(fd);
        throw FileError("ファイル" + name + "を読めませんでした。");
    }
    const std::size_t n = static_cast<std::size_t>(size) / Mondai::kLength;
    begin(n);
    // Not zero-filled: every byte looked at is read first.
    std::unique_ptr<char[]> buffer(new char[kBlockRecords * Mondai::kLength]);
    try {
        for (std::size_t first = 0; first < n; first += kBlockRecords) {
            const std::size_t count = std::min(kBlockRecords, n - first);
            const std::size_t bytes = count * Mondai::kLength;
            if (io.readAt(fd, buffer.get(), bytes, first * Mondai::kLength) != static_cast<long>(bytes))
                throw FileError("ファイル" + name + "を読めませんでした。");
            for (std::size_t j = 0; j < count; ++j)
                each(std::string_view(buffer.get() + j * Mondai::kLength, Mondai::kLength), static_cast<int>(first + j + 1));
        }
    } catch (...) {
        io.close(fd);
        throw;
    }
    io.close(fd);
}

// A decoding failure named with its record and how to repair the bank.
[[noreturn]] void failRecord(const FileError& e, int number) {
    throw FileError(std::string(e.what()) + "（" + std::to_string(number) + "件目）" + questionRepair());
}

// The memory's cards by their UTF-8 key in an open-addressed hash table,
// built once per pass over a decoded bank: a look-up hashes the key once and
// mostly compares one key, where the ordered map compares some fifteen keys
// with long common beginnings ("【読み】…").
class TextIndex {
public:
    explicit TextIndex(const MemoryBook& book) {
        std::size_t size = 16;
        while (size < book.cards.size() * 2) size *= 2;
        mask_ = size - 1;
        slots_.assign(size, Slot{});
        for (const auto& entry : book.cards) {
            const std::uint64_t h = hash(entry.first);
            std::size_t i = h & mask_;
            while (slots_[i].entry) i = (i + 1) & mask_;
            slots_[i] = {h, &entry};
        }
    }
    const Card* find(std::string_view key) const {
        const std::uint64_t h = hash(key);
        for (std::size_t i = h & mask_; slots_[i].entry; i = (i + 1) & mask_)
            if (slots_[i].hash == h && slots_[i].entry->first == key) return &slots_[i].entry->second;
        return nullptr;
    }

private:
    static std::uint64_t hash(std::string_view key) { return std::hash<std::string_view>{}(key); }
    struct Slot {
        std::uint64_t hash = 0;
        const std::pair<const std::string, Card>* entry = nullptr;
    };
    std::vector<Slot> slots_;
    std::size_t mask_ = 0;
};

}  // namespace

BankQuestion bankQuestion(std::string_view record, int number, const std::string& fileName, std::string& raw) {
    // One conversion a record: the key's three texts trimmed and joined by LF
    // as bytes (LF is LF in CP932), then converted at once.
    const MondaiView v(record);
    raw.assign(v.trimmed(mondai::Mondai1));
    raw += '\n';
    raw += v.trimmed(mondai::Mondai2);
    raw += '\n';
    raw += v.trimmed(mondai::Kotae);
    BankQuestion q;
    q.record = number;
    try {
        q.key = fromCp932(raw, fileName);
    } catch (const FileError& e) {
        failRecord(e, number);
    }
    q.kind = kindOfFirstLine(std::string_view(q.key).substr(0, q.key.find('\n')));
    q.prefecture = prefectureOfNote(v.bikou(0));
    q.removed = v.removed();
    std::memcpy(&q.inyo, v.bytes(mondai::Inyo).data(), 4);
    q.inyoNo = v.inyoNo();
    return q;
}

std::vector<BankQuestion> readBank(Io& io, const AppFolders& folders) {
    std::vector<BankQuestion> bank;
    const std::string name = displayName(folders.questionRecords());
    std::string raw;
    raw.reserve(mondai::Mondai1.width + mondai::Mondai2.width + mondai::Kotae.width + 2);
    forEachQuestionRecord(
        io, folders, name, [&](std::size_t n) { bank.reserve(n); },
        [&](std::string_view record, int number) { bank.push_back(bankQuestion(record, number, name, raw)); });
    return bank;
}

ReviewBank readReviewBank(Io& io, const AppFolders& folders) {
    ReviewBank r;
    r.questions = readBank(io, folders);
    r.difficulty = readDifficulty(io, folders, r.questions);
    for (const auto& q : r.questions)
        if (!q.kind.empty() && std::find(r.kinds.begin(), r.kinds.end(), q.kind) == r.kinds.end()) r.kinds.push_back(q.kind);
    return r;
}

std::vector<std::int32_t> readDifficulty(Io& io, const AppFolders& folders, const std::vector<BankQuestion>& bank) {
    const auto file = folders.difficultyFile();
    if (bank.empty() || !io.exists(file)) return {};
    std::vector<std::uint32_t> kinds;
    std::vector<std::int16_t> numbers;
    kinds.reserve(bank.size());
    numbers.reserve(bank.size());
    for (const auto& b : bank) {
        kinds.push_back(b.inyo);
        numbers.push_back(b.inyoNo);
    }
    try {
        return parseDifficulty(readWholeFile(io, file), kinds, numbers);
    } catch (const FileError&) {
        return {};  // unreadable: no difficulty, the bank's order
    }
}

namespace {

bool isLead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// Walks the difficulty file's bytes, one field after another.
class DifficultyReader {
public:
    explicit DifficultyReader(std::string_view bytes) : p_(bytes.data()), end_(bytes.data() + bytes.size()) {}
    bool atEnd() const { return p_ == end_; }
    // A quoted text and the comma after it.
    bool text(std::string_view& out) {
        if (p_ == end_ || *p_ != '"') return false;
        const char* q = ++p_;
        while (q != end_ && *q != '"') ++q;
        if (q == end_) return false;
        out = std::string_view(p_, static_cast<std::size_t>(q - p_));
        p_ = q + 1;
        return take(',');
    }
    // A whole number: an optional minus sign and one to nine digits.
    bool number(std::int32_t& out) {
        const bool minus = p_ != end_ && *p_ == '-';
        const char* q = p_ + minus;
        const char* start = q;
        std::int32_t v = 0;
        while (q != end_ && static_cast<unsigned>(*q - '0') < 10) {
            if (q - start == 9) return false;
            v = v * 10 + (*q++ - '0');
        }
        if (q == start) return false;
        out = minus ? -v : v;
        p_ = q;
        return true;
    }
    bool take(char c) {
        if (p_ == end_ || *p_ != c) return false;
        ++p_;
        return true;
    }
    // CR LF, or the end of the bytes
    bool lineEnd() { return atEnd() || (take('\r') && take('\n')); }

private:
    const char* p_;
    const char* end_;
};

// A kind as the record holds it: its first four bytes in whole characters,
// padded with blanks.
std::uint32_t recordKind(std::string_view text) {
    char kind[4] = {' ', ' ', ' ', ' '};
    for (std::size_t k = 0; k < text.size();) {
        const std::size_t len = isLead(static_cast<unsigned char>(text[k])) ? 2 : 1;
        if (k + len > 4) break;
        std::memcpy(kind + k, text.data() + k, len);
        k += len;
    }
    std::uint32_t v;
    std::memcpy(&v, kind, 4);
    return v;
}

}  // namespace

std::vector<std::int32_t> parseDifficulty(std::string_view bytes, const std::vector<std::uint32_t>& kinds,
                                          const std::vector<std::int16_t>& numbers) {
    static const std::string kTitle = toCp932("問題難度", "");
    const std::size_t n = kinds.size();
    DifficultyReader in(bytes);
    std::string_view text;
    std::int32_t version = 0, count = 0;
    if (!in.text(text) || text != kTitle || !in.number(version) || version != 1 || !in.take(',') ||
        !in.number(count) || count < 0 || static_cast<std::size_t>(count) != n || !in.lineEnd())
        return {};
    std::vector<std::int32_t> out(n);
    // the kind of the line before, as the record holds it (most lines repeat it)
    std::string_view lastText;
    std::uint32_t lastKind = 0;
    for (std::size_t i = 0; i < n; ++i) {
        std::int32_t no = 0;
        if (in.atEnd() || !in.text(text) || !in.number(no) || !in.take(',') || !in.number(out[i]) || !in.lineEnd())
            return {};
        if (text != lastText) {
            lastText = text;
            lastKind = recordKind(text);
        }
        if (lastKind != kinds[i] || no != numbers[i]) return {};
    }
    // nothing after the last question
    return in.atEnd() ? out : std::vector<std::int32_t>{};
}

namespace {

// The queue of the questions `each` visits (in bank order, the filter and
// removals already applied) with their cards.
template <typename Each>
ReviewQueue assembleQueue(Each each, std::int32_t today, const std::vector<std::int32_t>& difficulty) {
    ReviewQueue q;
    std::vector<std::pair<std::int32_t, int>> due;  // (due day, record)
    std::vector<int> wrong, fresh;
    each([&](int record, const Card* c) {
        switch (reviewGroup(c, today)) {
            case ReviewGroup::Due: due.emplace_back(c->dueDay, record); break;
            case ReviewGroup::Wrong: wrong.push_back(record); break;
            case ReviewGroup::Fresh: fresh.push_back(record); break;
            case ReviewGroup::None: break;
        }
    });
    std::stable_sort(due.begin(), due.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    if (!difficulty.empty()) {
        // easiest first; the record number below keeps ties in bank order
        std::vector<std::uint64_t> order;
        order.reserve(fresh.size());
        for (int r : fresh) {
            const auto d = static_cast<std::uint32_t>(difficulty[static_cast<std::size_t>(r - 1)]) ^ 0x80000000u;
            order.push_back(static_cast<std::uint64_t>(d) << 32 | static_cast<std::uint32_t>(r));
        }
        std::sort(order.begin(), order.end());
        for (std::size_t i = 0; i < order.size(); ++i) fresh[i] = static_cast<int>(order[i] & 0xFFFFFFFFu);
    }
    q.records.reserve(due.size() + wrong.size() + fresh.size());
    for (const auto& d : due) q.records.push_back(d.second);
    q.records.insert(q.records.end(), wrong.begin(), wrong.end());
    q.records.insert(q.records.end(), fresh.begin(), fresh.end());
    q.due = static_cast<int>(due.size());
    q.wrong = static_cast<int>(wrong.size());
    q.fresh = static_cast<int>(fresh.size());
    return q;
}

}  // namespace

ReviewQueue buildReviewQueue(const std::vector<BankQuestion>& bank, const MemoryBook& book, std::int32_t today,
                             const ReviewFilter& filter, const std::vector<std::int32_t>& difficulty) {
    const TextIndex index(book);
    return assembleQueue(
        [&](auto visit) {
            for (const auto& b : bank)
                if (!b.removed && filter.accepts(b)) visit(b.record, index.find(b.key));
        },
        today, difficulty);
}

ReviewQueue::Left ReviewQueue::left(std::size_t answered) const {
    int done = static_cast<int>(std::min(answered, records.size()));
    Left l;
    auto take = [&done](int group) {
        const int gone = std::min(done, group);
        done -= gone;
        return group - gone;
    };
    l.due = take(due);
    l.wrong = take(wrong);
    l.fresh = take(fresh);
    l.total = l.due + l.wrong + l.fresh;
    return l;
}

int dueCount(const std::vector<BankQuestion>& bank, const MemoryBook& book, std::int32_t today) {
    int n = 0;
    const TextIndex index(book);
    for (const auto& b : bank) {
        if (b.removed) continue;
        n += reviewGroup(index.find(b.key), today) == ReviewGroup::Due;
    }
    return n;
}

namespace {

void tally(StatRow& row, const BankQuestion& b, const MemoryBook& book) {
    ++row.questions;
    const Card* c = book.find(b.key);
    if (b.removed || (c && c->mastered)) ++row.mastered;
    if (!c) return;
    if (c->right + c->wrong > 0) ++row.seen;
    row.right += c->right;
    row.answers += c->right + c->wrong;
}

void addTotal(std::vector<StatRow>& rows) {
    StatRow total{"合計"};
    for (const auto& r : rows) {
        total.questions += r.questions;
        total.seen += r.seen;
        total.right += r.right;
        total.answers += r.answers;
        total.mastered += r.mastered;
    }
    rows.push_back(total);
}

}  // namespace

std::vector<StatRow> statsByKind(const std::vector<BankQuestion>& bank, const MemoryBook& book) {
    std::vector<StatRow> rows;
    std::map<std::string, std::size_t> index;
    for (const auto& b : bank) {
        const std::string name = b.kind.empty() ? "その他" : b.kind;
        auto [it, fresh] = index.emplace(name, rows.size());
        if (fresh) rows.push_back(StatRow{name});
        tally(rows[it->second], b, book);
    }
    addTotal(rows);
    return rows;
}

std::vector<StatRow> statsByPrefecture(const std::vector<BankQuestion>& bank, const MemoryBook& book) {
    std::array<StatRow, 48> byCode;
    for (int code = 1; code <= 47; ++code) byCode[static_cast<std::size_t>(code)].name = prefectureName(code);
    byCode[0].name = "その他";
    for (const auto& b : bank) tally(byCode[static_cast<std::size_t>(b.prefecture)], b, book);
    std::vector<StatRow> rows;
    for (int code = 1; code <= 47; ++code)
        if (byCode[static_cast<std::size_t>(code)].questions > 0) rows.push_back(byCode[static_cast<std::size_t>(code)]);
    if (byCode[0].questions > 0) rows.push_back(byCode[0]);
    addTotal(rows);
    return rows;
}

std::string rightRate(const StatRow& row) {
    if (row.answers == 0) return "－";
    const long long permille = (static_cast<long long>(row.right) * 1000 * 2 + row.answers) / (2LL * row.answers);
    return std::to_string(permille / 10) + "." + std::to_string(permille % 10) + "％";
}

std::array<int, 30> answersLast30(const MemoryBook& book, std::int32_t today) {
    std::array<int, 30> out{};
    for (auto it = book.days.lower_bound(today - 29); it != book.days.end() && it->first <= today; ++it)
        out[static_cast<std::size_t>(it->first - (today - 29))] = it->second.right + it->second.wrong;
    return out;
}

std::array<int, 30> dueNext30(const std::vector<BankQuestion>& bank, const MemoryBook& book, std::int32_t today) {
    std::array<int, 30> out{};
    for (const auto& b : bank) {
        if (b.removed) continue;
        const Card* c = book.find(b.key);
        if (!c || !c->state.graded() || c->mastered) continue;
        const std::int32_t offset = std::max(0, c->dueDay - today);
        if (offset < 30) ++out[static_cast<std::size_t>(offset)];
    }
    return out;
}

namespace {
// Year and month of a day number.
std::pair<int, int> yearMonth(std::int32_t day) {
    const CivilDate d = civilDate(day);
    return {d.year, d.month};
}
}  // namespace

std::string monthName(std::int32_t day) {
    const auto [y, m] = yearMonth(day);
    return std::to_string(y) + "年" + std::to_string(m) + "月";
}

int monthOf(std::int32_t day) {
    const auto [y, m] = yearMonth(day);
    return y * 12 + (m - 1);
}

std::string monthNameOf(int month) {
    const int y = month >= 0 ? month / 12 : (month - 11) / 12;
    return std::to_string(y) + "年" + std::to_string(month - y * 12 + 1) + "月";
}

std::string retentionKindName(const std::string& kind) { return kind.empty() ? "（種類なし）" : kind; }

std::vector<bool> dueAnswers(const std::vector<fsrs::LoggedAnswer>& log, const fsrs::Scheduler& scheduler) {
    struct Replay {
        fsrs::State state;
        std::int32_t last = 0;
        std::int32_t due = 0;
    };
    std::vector<bool> out(log.size(), false);
    std::map<std::string, Replay> cards;
    for (std::size_t i = 0; i < log.size(); ++i) {
        const auto& a = log[i];
        Replay& c = cards[a.key];
        if (a.outcome == static_cast<int>(Outcome::Mastered)) {
            c.due = a.day + kMasteredDays;
            c.last = a.day;
            continue;
        }
        if (a.outcome < 0 || a.outcome > 3) continue;
        out[i] = c.state.graded() && a.day >= c.due;
        // The days as the memory sets them (MemoryBook::applied), rounding included.
        const int elapsed = c.state.graded() ? std::max(0, a.day - c.last) : 0;
        const auto next = scheduler.schedule(c.state, elapsed)[static_cast<std::size_t>(a.outcome)];
        c.state = next.state;
        c.last = a.day;
        c.due = a.day + next.days;
    }
    return out;
}

TrueRetention trueRetention(const std::vector<fsrs::LoggedAnswer>& log, const fsrs::Scheduler& scheduler) {
    TrueRetention out;
    const std::vector<bool> due = dueAnswers(log, scheduler);
    std::map<std::string, std::size_t> kinds;
    std::map<int, RetentionRow> months;  // by monthOf, which sorts in time
    for (std::size_t i = 0; i < log.size(); ++i) {
        const auto& a = log[i];
        const std::string kind = kindOfFirstLine(std::string_view(a.key).substr(0, a.key.find('\n')));
        auto [k, newKind] = kinds.try_emplace(kind, out.byKind.size());
        if (newKind) out.byKind.push_back({retentionKindName(kind), 0, 0});
        if (!due[i]) continue;
        const bool right = a.outcome != static_cast<int>(Outcome::Again);
        RetentionRow& month = months[monthOf(a.day)];
        month.name = monthName(a.day);
        for (RetentionRow* r : {&out.byKind[k->second], &out.total, &month}) {
            ++r->due;
            r->right += right;
        }
    }
    for (auto& [key, row] : months) out.byMonth.push_back(row);
    out.total.name = "全体";
    return out;
}

std::string withCommas(long long n) {
    std::string digits = std::to_string(n < 0 ? -n : n);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return n < 0 ? "-" + out : out;
}

std::string progressLine(int done, int total) {
    long long hundredths = 0;
    if (total > 0) hundredths = static_cast<long long>(done) * 10000 / total;
    const long long frac = hundredths % 100;
    return withCommas(done) + " / " + withCommas(total) + "件（" + std::to_string(hundredths / 100) + "." +
           (frac < 10 ? "0" : "") + std::to_string(frac) + "％）";
}

}  // namespace tabinowa
