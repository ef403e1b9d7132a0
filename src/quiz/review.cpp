#include "quiz/review.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <string_view>

#include "files/cp932.h"
#include "files/error.h"
#include "files/load_checks.h"
#include "files/records.h"

namespace tabinowa {

namespace {

// Where the fields the review needs lie in a question record.
constexpr std::size_t kKotaeAt = 1018, kKotaeWidth = 250;
constexpr std::size_t kBikouAt = 1870, kBikouWidth = 50;
constexpr std::size_t kMondai1At = 2022, kMondai1Width = 150;
constexpr std::size_t kMondai2At = 2176, kMondai2Width = 400;
constexpr std::size_t kSyokyoAt = 2576;

// The length of a fixed field without its padding blanks, eight bytes at a
// time from the end (most of a field is padding).
std::size_t unpadded(std::string_view raw) {
    std::size_t n = raw.size();
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

constexpr std::size_t kBlockRecords = 512;

// The memory's cards by key in an open-addressed hash table, built once per
// pass over the bank: a look-up hashes the key once and mostly compares one
// key, where the ordered map compares some fifteen keys with long common
// beginnings ("【読み】…").
class CardIndex {
public:
    explicit CardIndex(const MemoryBook& book) {
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
        throw FileError(std::string(e.what()) + "（" + std::to_string(number) + "件目）" + questionRepair());
    }
    q.kind = kindOfFirstLine(std::string_view(q.key).substr(0, q.key.find('\n')));
    q.prefecture = prefectureOfRawNote(record.substr(kBikouAt, kBikouWidth));
    q.removed = record[kSyokyoAt] != 0 || record[kSyokyoAt + 1] != 0;
    return q;
}

std::vector<BankQuestion> readBank(Io& io, const AppFolders& folders) {
    std::vector<BankQuestion> bank;
    const auto path = folders.questionRecords();
    // a missing or cut file is named (and never read as a smaller bank)
    checkQuestionRecords(io, folders);
    const std::string name = displayName(path);
    const int fd = io.open(path, Io::Mode::Read);
    if (fd < 0) throw FileError("ファイル" + name + "を読めませんでした。");
    const long long size = io.size(fd);
    if (size < 0) {
        io.close(fd);
        throw FileError("ファイル" + name + "を読めませんでした。");
    }
    const std::size_t n = static_cast<std::size_t>(size) / Mondai::kLength;
    bank.reserve(n);
    // Whole records in blocks through one buffer. One conversion a record:
    // the key's three texts joined by LF as raw bytes (LF is LF in CP932),
    // then converted at once; the kind is the key's first line's, and the
    // prefecture is read from the note's raw bytes.
    std::string buffer(kBlockRecords * Mondai::kLength, '\0');
    std::string raw;
    raw.reserve(kMondai1Width + kMondai2Width + kKotaeWidth + 2);
    try {
        for (std::size_t first = 0; first < n; first += kBlockRecords) {
            const std::size_t count = std::min(kBlockRecords, n - first);
            const std::size_t bytes = count * Mondai::kLength;
            if (io.readAt(fd, buffer.data(), bytes, first * Mondai::kLength) != static_cast<long>(bytes))
                throw FileError("ファイル" + name + "を読めませんでした。");
            for (std::size_t j = 0; j < count; ++j) {
                const std::size_t i = first + j;
                const std::string_view record = std::string_view(buffer).substr(j * Mondai::kLength, Mondai::kLength);
                bank.push_back(bankQuestion(record, static_cast<int>(i + 1), name, raw));
            }
        }
    } catch (...) {
        io.close(fd);
        throw;
    }
    io.close(fd);
    return bank;
}

ReviewQueue buildReviewQueue(const std::vector<BankQuestion>& bank, const MemoryBook& book, std::int32_t today,
                             const ReviewFilter& filter) {
    ReviewQueue q;
    std::vector<std::pair<std::int32_t, int>> due;  // (due day, record)
    std::vector<int> wrong, fresh;
    const CardIndex index(book);
    for (const auto& b : bank) {
        if (b.removed || !filter.accepts(b)) continue;
        const Card* c = index.find(b.key);
        if (!c || !c->state.graded()) {
            if (!c || !c->mastered) fresh.push_back(b.record);
            continue;
        }
        if (c->mastered) continue;
        if (c->dueDay <= today) {
            due.emplace_back(c->dueDay, b.record);
        } else if (c->lastWrong) {
            wrong.push_back(b.record);
        }
    }
    std::stable_sort(due.begin(), due.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    q.records.reserve(due.size() + wrong.size() + fresh.size());
    for (const auto& d : due) q.records.push_back(d.second);
    q.records.insert(q.records.end(), wrong.begin(), wrong.end());
    q.records.insert(q.records.end(), fresh.begin(), fresh.end());
    q.due = static_cast<int>(due.size());
    q.wrong = static_cast<int>(wrong.size());
    q.fresh = static_cast<int>(fresh.size());
    return q;
}

int dueCount(const std::vector<BankQuestion>& bank, const MemoryBook& book, std::int32_t today) {
    int n = 0;
    const CardIndex index(book);
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
