#include "quiz/deck.h"

#include <utility>

#include "files/error.h"
#include "files/record_file.h"
#include "files/records.h"

namespace tabinowa {

void shuffleSort(std::vector<std::int16_t>& records, std::vector<std::int16_t>& keys, int n) {
    int gap = n;
    while (gap >= 1) {
        gap /= 2;
        for (int i = 1; i <= gap; ++i) {
            for (int k = i + gap; k <= n; k += gap) {
                for (int j = k - gap; j >= 1; j -= gap) {
                    if (keys[static_cast<std::size_t>(j)] > keys[static_cast<std::size_t>(j + gap)]) {
                        std::swap(keys[static_cast<std::size_t>(j)], keys[static_cast<std::size_t>(j + gap)]);
                        std::swap(records[static_cast<std::size_t>(j)], records[static_cast<std::size_t>(j + gap)]);
                    } else {
                        break;
                    }
                }
            }
        }
    }
}

std::int16_t drawKey(Random& random) { return static_cast<std::int16_t>(drawScaled(random, kDeckCapacity)); }

QuestionDeck::QuestionDeck()
    : recordColumn(kDeckCapacity + 1, 0), keyColumn(kDeckCapacity + 1, 0), deck_(1, 0) {}

void QuestionDeck::build(Io& io, const AppFolders& folders, Random& random) {
    // Work on copies, so a failure leaves the deck as it was.
    std::vector<std::int16_t> records(kDeckCapacity + 1, 0), keys(kDeckCapacity + 1, 0);
    int total = 0, active = 0, removed = 0;
    {
        RecordFile file(io, folders.questionRecords(), Mondai::kLength);
        const int count = file.count();
        if (count > kDeckCapacity)
            throw FileError("ファイル" + displayName(folders.questionRecords()) + "の問題が多すぎます（" +
                            std::to_string(count) + "件、最大" + std::to_string(kDeckCapacity) + "件）。");
        for (int r = 1; r <= count; ++r) {
            std::string bytes = file.get(r);
            // Syokyo is the last field of the record
            auto lo = static_cast<unsigned char>(bytes[Mondai::kLength - 2]);
            auto hi = static_cast<unsigned char>(bytes[Mondai::kLength - 1]);
            const bool isActive = lo == 0 && hi == 0;
            ++total;
            if (isActive) {
                ++active;
                records[static_cast<std::size_t>(active)] = static_cast<std::int16_t>(r);
                keys[static_cast<std::size_t>(active)] = drawKey(random);
            } else {
                ++removed;
            }
        }
    }
    shuffleSort(records, keys, active);
    recordColumn = std::move(records);
    keyColumn = std::move(keys);
    deck_.assign(recordColumn.begin(), recordColumn.begin() + active + 1);
    deck_[0] = 0;
    totalCount = static_cast<std::int16_t>(total);
    deckLength = static_cast<std::int16_t>(active);
    startupActiveCount = static_cast<std::int16_t>(active);
    removedCount = static_cast<std::int16_t>(removed);
    trainingCursor = 1;
    visitCursor = 1;
}

std::int16_t QuestionDeck::entry(std::int32_t i) const {
    if (i < 1 || i > deckLength || static_cast<std::size_t>(i) >= deck_.size()) return 0;
    return deck_[static_cast<std::size_t>(i)];
}

void QuestionDeck::shuffleFullBank(Random& random) {
    for (int i = 1; i <= totalCount; ++i) {
        keyColumn[static_cast<std::size_t>(i)] = drawKey(random);
        recordColumn[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(i);
    }
    shuffleSort(recordColumn, keyColumn, totalCount);
}

std::int16_t QuestionDeck::fullBankEntry(std::int32_t i) const {
    if (i < 1 || i > totalCount) return 0;
    return recordColumn[static_cast<std::size_t>(i)];
}

}  // namespace tabinowa
