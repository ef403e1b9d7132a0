#include "core/quiz/card_index.h"

#include <functional>

#include "core/files/cp932.h"
#include "core/files/error.h"
#include "core/quiz/memory.h"

namespace tabinowa {

std::uint64_t rawKeyHash(std::string_view cp932) { return std::hash<std::string_view>{}(cp932); }

CardIndex::CardIndex(const std::map<std::string, Card>& cards) {
    std::size_t size = 16;
    while (size < cards.size() * 2) size *= 2;
    slots_.assign(size, Slot{});
    mask_ = size - 1;
    keys_.reserve(cards.size() * 64);
    std::string raw;
    for (const auto& entry : cards) {
        ++cards_;
        if (rawForm(entry.first, raw)) insert(rawKeyHash(raw), raw, &entry);
    }
}

bool CardIndex::rawForm(const std::string& key, std::string& out) {
    // Keys CP932 cannot hold, or holds only in a form that decodes to
    // another text, match no record's bytes: they stay out.
    try {
        out = toCp932(key, "");
    } catch (const FileError&) {
        return false;
    }
    if (!isCanonicalCp932(out)) return false;
    return fromCp932(out, "") == key;
}

void CardIndex::grow() {
    std::vector<Slot> old;
    old.swap(slots_);
    std::size_t size = std::max<std::size_t>(16, old.size());
    // Twice the live cards at least: removed slots are dropped here.
    std::size_t live = 0;
    for (const Slot& s : old) live += s.entry != nullptr;
    while (size < (live + 1) * 2) size *= 2;
    slots_.assign(size, Slot{});
    mask_ = size - 1;
    filled_ = 0;
    for (const Slot& s : old)
        if (s.entry) insert(s.hash, std::string_view(keys_).substr(s.keyAt, s.keyLength), s.entry);
}

void CardIndex::insert(std::uint64_t hash, std::string_view raw, const Entry* entry) {
    if ((filled_ + 1) * 2 > slots_.size()) grow();
    std::size_t i = hash & mask_;
    while (slots_[i].used) i = (i + 1) & mask_;
    // The bytes may already lie in keys_ (when the table grows).
    std::uint32_t at;
    if (!keys_.empty() && raw.data() >= keys_.data() && raw.data() < keys_.data() + keys_.size()) {
        at = static_cast<std::uint32_t>(raw.data() - keys_.data());
    } else {
        at = static_cast<std::uint32_t>(keys_.size());
        keys_.append(raw);
    }
    slots_[i] = {hash, at, static_cast<std::uint32_t>(raw.size()), entry, true};
    ++filled_;
}

std::size_t CardIndex::locate(std::string_view raw, std::uint64_t hash) const {
    if (slots_.empty()) return kNone;
    for (std::size_t i = hash & mask_; slots_[i].used; i = (i + 1) & mask_) {
        const Slot& s = slots_[i];
        if (s.entry && s.hash == hash && s.keyLength == raw.size() &&
            std::string_view(keys_).substr(s.keyAt, s.keyLength) == raw)
            return i;
    }
    return kNone;
}

void CardIndex::add(const Entry& entry) {
    ++cards_;
    std::string raw;
    if (rawForm(entry.first, raw)) insert(rawKeyHash(raw), raw, &entry);
}

void CardIndex::remove(const std::string& key) {
    if (cards_ > 0) --cards_;
    std::string raw;
    if (!rawForm(key, raw)) return;
    // the slot stays used: keys placed after it probe past it
    if (const std::size_t i = locate(raw, rawKeyHash(raw)); i != kNone) slots_[i].entry = nullptr;
}

const Card* CardIndex::find(std::string_view cp932, std::uint64_t hash) const {
    const std::size_t i = locate(cp932, hash);
    return i == kNone ? nullptr : &slots_[i].entry->second;
}

}  // namespace tabinowa
