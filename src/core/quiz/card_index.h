#pragma once
// The memory's cards by the CP932 bytes of their keys, so that a question of
// "問題.ran" is matched by its raw bytes without converting them: each key is
// converted once, when the index is made or the card first enters the memory.
// A hit compares the bytes whole, so two questions are never mixed up by a
// hash collision.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace tabinowa {

struct Card;

// The hash every user of the index takes of a key's CP932 bytes.
std::uint64_t rawKeyHash(std::string_view cp932);

class CardIndex {
public:
    using Entry = std::pair<const std::string, Card>;

    CardIndex() = default;
    // Every card of `cards`; the entries must stay in the map while they are
    // indexed (add and remove follow the map's changes).
    explicit CardIndex(const std::map<std::string, Card>& cards);

    // A card the map has just taken in (not there before).
    void add(const Entry& entry);
    // A card about to leave the map.
    void remove(const std::string& key);

    // The card whose key has these CP932 bytes (with their rawKeyHash), or
    // none. Only keys held in canonical CP932 (isCanonicalCp932) are indexed:
    // look up only canonical bytes, and others by their decoded key.
    const Card* find(std::string_view cp932, std::uint64_t hash) const;
    // Asks the processor for what a later find of this hash reads: the slot
    // it starts at; then (the slot fetched by now) the key and card it holds.
    void prefetchSlot(std::uint64_t hash) const {
        if (!slots_.empty()) __builtin_prefetch(&slots_[hash & mask_]);
    }
    void prefetchCard(std::uint64_t hash) const {
        if (slots_.empty()) return;
        const Slot& s = slots_[hash & mask_];
        if (s.entry && s.hash == hash) {
            __builtin_prefetch(keys_.data() + s.keyAt);
            __builtin_prefetch(reinterpret_cast<const char*>(s.entry) + sizeof(std::string));  // its card
        }
    }

    // How many of the map's cards the index has accounted for (indexed or
    // not convertible): when it is not the map's size, the index is stale.
    std::size_t cards() const { return cards_; }

private:
    struct Slot {
        std::uint64_t hash = 0;
        std::uint32_t keyAt = 0;      // in keys_
        std::uint32_t keyLength = 0;
        const Entry* entry = nullptr;  // null: empty, or a removed card's slot when `used`
        bool used = false;
    };
    // The key's CP932 bytes when they are canonical and decode back to the key.
    static bool rawForm(const std::string& key, std::string& out);
    void grow();
    void insert(std::uint64_t hash, std::string_view raw, const Entry* entry);
    static constexpr std::size_t kNone = ~std::size_t{0};
    // The slot holding these bytes, or kNone.
    std::size_t locate(std::string_view raw, std::uint64_t hash) const;

    std::vector<Slot> slots_;
    std::string keys_;  // the indexed keys' CP932 bytes, one after another
    std::size_t mask_ = 0;
    std::size_t filled_ = 0;  // used slots, removed ones included
    std::size_t cards_ = 0;
};

}  // namespace tabinowa
