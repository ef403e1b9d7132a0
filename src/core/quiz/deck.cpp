// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/quiz/deck.h"

#include <utility>

#include "core/files/error.h"
#include "core/files/load_checks.h"
#include "core/files/record_file.h"
#include "core/files/records.h"

namespace tabinowa {

// A shell sort on the keys, gaps n/2, n/4, ... 1: each chain i, i+gap, i+2gap ...
// insertion-sorted in turn, an entry passing only strictly greater keys.
void shuffleSort(std::vector<std::int16_t>& records, std::vector<std::int16_t>& keys, int n) {
    for (int gap = n / 2; gap >= 1; gap /= 2)
        for (int i = 1; i <= gap; ++i)
            for (int k = i + gap; k <= n; k += gap)
                for (int j = k - gap; j >= 1 && keys[static_cast<std::size_t>(j)] > keys[static_cast<std::size_t>(j + gap)];
                     j -= gap) {
                    std::swap(keys[static_cast<std::size_t>(j)], keys[static_cast<std::size_t>(j + gap)]);
                    std::swap(records[static_cast<std::size_t>(j)], records[static_cast<std::size_t>(j + gap)]);
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
        // a missing or cut file is named, never created or read as fewer questions
        checkQuestionRecords(io, folders);
        const auto path = folders.questionRecords();
        const int fd = io.open(path, Io::Mode::Read);
        if (fd < 0) throw FileError("ファイル" + displayName(path) + "を開けませんでした。");
        const long long size = io.size(fd);
        const int count = size < 0 ? 0 : static_cast<int>(size / static_cast<long long>(Mondai::kLength));
        static_assert(kDeckCapacity == static_cast<int>(kMaxQuestionRecords), "one limit of questions");
        if (count > kDeckCapacity) {
            io.close(fd);
            throw FileError("ファイル" + displayName(path) + "の問題が多すぎます（" + std::to_string(count) +
                            "件、最大" + std::to_string(kDeckCapacity) + "件）。");
        }
        // Only the removed flag matters here: the file is seen whole (mapped,
        // not copied) and each record's flag read in order.
        std::string damaged;
        const bool read = size >= 0 && io.viewWhole(fd, static_cast<std::uint64_t>(size), [&](std::string_view bytes) {
            for (int k = 0; k < count; ++k) {
                const std::string_view record = bytes.substr(static_cast<std::size_t>(k) * Mondai::kLength, Mondai::kLength);
                // a record no build wrote is named now, before training shows it blank or the game pays for it
                if (const std::string damage = mondaiDamage(record); !damage.empty()) {
                    damaged = "ファイル" + displayName(path) + "の" + std::to_string(k + 1) + "件目が壊れています（" +
                              damage + "）。" + questionRepair();
                    return;
                }
                ++total;
                if (MondaiView(record).removed()) {
                    ++removed;
                    continue;
                }
                ++active;
                records[static_cast<std::size_t>(active)] = static_cast<std::int16_t>(k + 1);
                keys[static_cast<std::size_t>(active)] = drawKey(random);
            }
        });
        io.close(fd);
        if (!read) throw FileError("ファイル" + displayName(path) + "を読めませんでした。");
        if (!damaged.empty()) throw FileError(damaged);
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
