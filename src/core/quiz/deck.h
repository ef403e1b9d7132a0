// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The run-wide question deck: the active questions of "問題.ran" in random
// order, the question counters and the training and visit cursors, and the
// shuffle sort that orders record numbers by random keys.
#include <cstdint>
#include <future>
#include <vector>

#include "core/base/random.h"
#include "core/files/folders.h"
#include "core/files/io.h"

namespace tabinowa {

constexpr int kDeckCapacity = 20000;

// Sorts entries 1..n of the two columns together, ascending by key: Shell
// sort with halving gaps, keys compared as signed 16-bit numbers. Index 0 is
// unused; both columns must hold at least n + 1 entries.
void shuffleSort(std::vector<std::int16_t>& records, std::vector<std::int16_t>& keys, int n);

// A fresh key 1..20000.
std::int16_t drawKey(Random& random);

class QuestionDeck {
public:
    QuestionDeck();

    // Reads "問題.ran" once through (a missing file is created empty), counts
    // active and removed questions, shuffles the active ones into the deck and
    // sets both cursors to 1. Throws FileError (and changes nothing) on a file
    // error or more than 20,000 records.
    void build(Io& io, const AppFolders& folders, Random& random);

    // Deck entry i (1-based), 0 outside 1..deckLength.
    std::int16_t entry(std::int32_t i) const;

    // The visit game's full-bank order: records 1..totalCount with fresh keys, shuffled.
    void shuffleFullBank(Random& random);
    // Entry i of the full-bank order, 0 outside 1..totalCount.
    std::int16_t fullBankEntry(std::int32_t i) const;

    std::int16_t totalCount = 0;
    std::int16_t deckLength = 0;
    std::int16_t startupActiveCount = 0;
    std::int16_t removedCount = 0;
    std::int32_t trainingCursor = 1;
    std::int32_t visitCursor = 1;

    // The shuffle columns (record numbers and keys), entries 1..20000.
    std::vector<std::int16_t> recordColumn;
    std::vector<std::int16_t> keyColumn;

private:
    std::vector<std::int16_t> deck_;  // entries 1..deckLength
};

}  // namespace tabinowa
