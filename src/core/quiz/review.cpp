#include "core/quiz/review.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string_view>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/files/cp932.h"
#include "core/files/error.h"
#include "core/files/load_checks.h"
#include "core/files/records.h"

namespace tabinowa {

namespace {

// Where the fields the review needs lie in a question record.
constexpr std::size_t kKotaeAt = 1018, kKotaeWidth = 250;
constexpr std::size_t kBikouAt = 1870, kBikouWidth = 50;
constexpr std::size_t kMondai1At = 2022, kMondai1Width = 150;
constexpr std::size_t kMondai2At = 2176, kMondai2Width = 400;
constexpr std::size_t kSyokyoAt = 2576;
constexpr std::size_t kInyoNoAt = 4;

// The length of a fixed field without its padding blanks, sixteen bytes at a
// time from the end where the processor compares them at once (most of a
// field is padding), else eight.
std::size_t unpadded(std::string_view raw) {
    std::size_t n = raw.size();
#if defined(__SSE2__)
    const __m128i blanks = _mm_set1_epi8(' ');
    while (n >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(raw.data() + n - 16));
        const auto others = ~static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, blanks))) & 0xFFFFu;
        // the last byte that is no blank ends the text
        if (others != 0) return n - 16 + static_cast<std::size_t>(32 - __builtin_clz(others));
        n -= 16;
    }
#endif
    constexpr std::uint64_t kBlanks = 0x2020202020202020ull;
    while (n >= 8) {
        std::uint64_t word;
        std::memcpy(&word, raw.data() + n - 8, 8);
        if (word != kBlanks) break;
        n -= 8;
    }
    while (n > 0 && raw[n - 1] == ' ') --n;
    return n;
}

// A fixed field's bytes without the blanks and tabs at its end. Neither byte
// is ever the second byte of a CP932 character (those are 0x40 and above), so
// trimming the raw bytes trims exactly what memoryKey trims after conversion.
std::string_view trimmedRaw(std::string_view record, std::size_t at, std::size_t width) {
    const std::string_view raw = record.substr(at, width);
    std::size_t n = unpadded(raw);
    while (n > 0 && (raw[n - 1] == ' ' || raw[n - 1] == '\t')) --n;
    return raw.substr(0, n);
}

// The prefecture of a note, read from its CP932 bytes: "市", "旧" or "県",
// then two digits 01..47, as questionPrefecture reads the converted text.
int prefectureOfRawNote(std::string_view note) {
    static constexpr std::string_view kLeads[] = {"\x8e\x73", "\x8b\x8c", "\x8c\xa7"};  // 市 旧 県
    for (const auto lead : kLeads) {
        if (note.substr(0, 2) != lead) continue;
        if (note.size() < 4) return 0;
        const char a = note[2], b = note[3];
        if (a < '0' || a > '9' || b < '0' || b > '9') return 0;
        const int code = (a - '0') * 10 + (b - '0');
        return code >= 1 && code <= 47 ? code : 0;
    }
    return 0;
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

// The kind of a question from its first field's raw bytes, when they are
// canonical CP932: "【" at the start, up to the first "】" of the first line,
// found character by character (a trail byte may look like either).
std::string_view rawKind(std::string_view first) {
    // 【 is 81 79, 】 81 7A
    const auto* b = reinterpret_cast<const unsigned char*>(first.data());
    const std::size_t n = first.size();
    if (n < 2 || b[0] != 0x81 || b[1] != 0x79) return {};
    for (std::size_t i = 2; i < n;) {
        if (b[i] == '\n') return {};
        if (!isCp932LeadByte(b[i])) {
            ++i;
            continue;
        }
        if (b[i] == 0x81 && i + 1 < n && b[i + 1] == 0x7A) return first.substr(0, i + 2);
        i += 2;
    }
    return {};
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
    raw.assign(trimmedRaw(record, kMondai1At, kMondai1Width));
    raw += '\n';
    raw += trimmedRaw(record, kMondai2At, kMondai2Width);
    raw += '\n';
    raw += trimmedRaw(record, kKotaeAt, kKotaeWidth);
    BankQuestion q;
    q.record = number;
    try {
        q.key = fromCp932(raw, fileName);
    } catch (const FileError& e) {
        failRecord(e, number);
    }
    q.kind = kindOfFirstLine(std::string_view(q.key).substr(0, q.key.find('\n')));
    q.prefecture = prefectureOfRawNote(record.substr(kBikouAt, kBikouWidth));
    q.removed = record[kSyokyoAt] != 0 || record[kSyokyoAt + 1] != 0;
    return q;
}

std::vector<BankQuestion> readBank(Io& io, const AppFolders& folders) {
    std::vector<BankQuestion> bank;
    const std::string name = displayName(folders.questionRecords());
    // One conversion a record: the key's three texts joined by LF as raw
    // bytes (LF is LF in CP932), then converted at once; the kind is the
    // key's first line's, and the prefecture is read from the note's raw bytes.
    std::string raw;
    raw.reserve(kMondai1Width + kMondai2Width + kKotaeWidth + 2);
    forEachQuestionRecord(
        io, folders, name, [&](std::size_t n) { bank.reserve(n); },
        [&](std::string_view record, int number) { bank.push_back(bankQuestion(record, number, name, raw)); });
    return bank;
}

std::string ReviewBank::key(std::size_t i) const {
    const Question& q = questions_[i];
    const std::string_view stored = storedKey(q);
    // canonical bytes: they decoded once already, they decode again
    return q.decoded ? std::string(stored) : fromCp932(stored, "");
}

ReviewBank readReviewBank(Io& io, const AppFolders& folders) {
    ReviewBank bank;
    const std::string name = displayName(folders.questionRecords());
    // what the difficulty file is checked against
    std::vector<std::uint32_t> kindBytes;
    std::vector<std::int16_t> numbers;
    // each distinct raw kind decoded once; the last one found is tried first
    std::vector<std::pair<std::string, std::uint16_t>> rawKinds;
    std::size_t lastKind = 0;
    auto kindIndex = [&bank](std::string text) {
        const auto it = std::find(bank.kinds_.begin(), bank.kinds_.end(), text);
        if (it != bank.kinds_.end()) return static_cast<std::uint16_t>(it - bank.kinds_.begin());
        bank.kinds_.push_back(std::move(text));
        return static_cast<std::uint16_t>(bank.kinds_.size() - 1);
    };
    const auto begin = [&](std::size_t n) {
        bank.questions_.reserve(n);
        bank.keys_.reserve(n * 96);
        kindBytes.reserve(n);
        numbers.reserve(n);
    };
    forEachQuestionRecord(io, folders, name, begin, [&](std::string_view record, int number) {
        ReviewBank::Question q;
        const std::string_view first = trimmedRaw(record, kMondai1At, kMondai1Width);
        const std::string_view second = trimmedRaw(record, kMondai2At, kMondai2Width);
        const std::string_view answer = trimmedRaw(record, kKotaeAt, kKotaeWidth);
        // the three joined by LF, as memoryKey joins them
        const std::size_t at = bank.keys_.size();
        bank.keys_.resize(at + first.size() + second.size() + answer.size() + 2);
        char* out = bank.keys_.data() + at;
        std::memcpy(out, first.data(), first.size());
        out += first.size();
        *out++ = '\n';
        std::memcpy(out, second.data(), second.size());
        out += second.size();
        *out++ = '\n';
        std::memcpy(out, answer.data(), answer.size());
        const std::string_view raw = std::string_view(bank.keys_).substr(at);
        q.keyAt = static_cast<std::uint32_t>(at);
        if (isCanonicalCp932(raw)) {
            q.hash = rawKeyHash(raw);
            q.keyLength = static_cast<std::uint16_t>(raw.size());
            const std::string_view kind = rawKind(first);
            if (kind.empty()) {
                q.kind = 0;
            } else if (lastKind < rawKinds.size() && rawKinds[lastKind].first == kind) {
                q.kind = rawKinds[lastKind].second;
            } else {
                lastKind = 0;
                while (lastKind < rawKinds.size() && rawKinds[lastKind].first != kind) ++lastKind;
                if (lastKind == rawKinds.size()) rawKinds.emplace_back(std::string(kind), kindIndex(fromCp932(kind, name)));
                q.kind = rawKinds[lastKind].second;
            }
        } else {
            // invalid bytes fail here as the decoded bank fails; duplicate
            // codes are kept decoded and found by their text
            std::string text;
            try {
                text = fromCp932(raw, name);
            } catch (const FileError& e) {
                failRecord(e, number);
            }
            q.decoded = true;
            q.kind = kindIndex(kindOfFirstLine(std::string_view(text).substr(0, text.find('\n'))));
            bank.keys_.resize(at);
            bank.keys_ += text;
            q.keyLength = static_cast<std::uint16_t>(text.size());
        }
        q.prefecture = static_cast<std::uint8_t>(prefectureOfRawNote(record.substr(kBikouAt, kBikouWidth)));
        q.removed = record[kSyokyoAt] != 0 || record[kSyokyoAt + 1] != 0;
        bank.questions_.push_back(q);
        std::uint32_t inyo;
        std::memcpy(&inyo, record.data(), 4);
        kindBytes.push_back(inyo);
        numbers.push_back(static_cast<std::int16_t>(static_cast<std::uint16_t>(
            static_cast<unsigned char>(record[kInyoNoAt]) | static_cast<unsigned char>(record[kInyoNoAt + 1]) << 8)));
    });
    const auto difficultyFile = folders.difficultyFile();
    if (!bank.questions_.empty() && io.exists(difficultyFile)) {
        try {
            bank.difficulty_ = parseDifficulty(readWholeFile(io, difficultyFile), kindBytes, numbers);
        } catch (const FileError&) {
            // unreadable: no difficulty, the bank's order
        }
    }
    return bank;
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
        if (!c || !c->state.graded()) {
            if (!c || !c->mastered) fresh.push_back(record);
            return;
        }
        if (c->mastered) return;
        if (c->dueDay <= today) {
            due.emplace_back(c->dueDay, record);
        } else if (c->lastWrong) {
            wrong.push_back(record);
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

ReviewQueue buildReviewQueue(const ReviewBank& bank, const MemoryBook& book, const CardIndex& index,
                             std::int32_t today, const ReviewFilter& filter) {
    // the filter's kind as the bank numbers it (none: no question has it)
    int kind = -1;
    if (!filter.kind.empty()) {
        const auto& kinds = bank.kinds();
        const auto it = std::find(kinds.begin(), kinds.end(), filter.kind);
        kind = it == kinds.end() ? -2 : static_cast<int>(it - kinds.begin());
    }
    return assembleQueue(
        [&](auto visit) {
            if (kind == -2) return;
            // The table's slots, keys and cards lie all over the memory: each
            // slot is asked for 32 questions ahead, its key and card 16 ahead.
            constexpr std::size_t kAhead = 16;
            const std::size_t n = bank.size();
            for (std::size_t i = 0; i < std::min(2 * kAhead, n); ++i) index.prefetchSlot(bank[i].hash);
            for (std::size_t i = 0; i < std::min(kAhead, n); ++i) index.prefetchCard(bank[i].hash);
            for (std::size_t i = 0; i < n; ++i) {
                if (i + 2 * kAhead < n) index.prefetchSlot(bank[i + 2 * kAhead].hash);
                if (i + kAhead < n) index.prefetchCard(bank[i + kAhead].hash);
                const ReviewBank::Question& q = bank[i];
                if (q.removed || (kind >= 0 && q.kind != kind) || (filter.prefecture != 0 && q.prefecture != filter.prefecture))
                    continue;
                const std::string_view key = bank.storedKey(q);
                visit(static_cast<int>(i + 1), q.decoded ? book.find(std::string(key)) : index.find(key, q.hash));
            }
        },
        today, bank.difficulty());
}

int dueCount(const std::vector<BankQuestion>& bank, const MemoryBook& book, std::int32_t today) {
    int n = 0;
    const TextIndex index(book);
    for (const auto& b : bank) {
        if (b.removed) continue;
        const Card* c = index.find(b.key);
        if (c && c->state.graded() && !c->mastered && c->dueDay <= today) ++n;
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
