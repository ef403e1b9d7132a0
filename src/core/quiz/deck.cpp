#include "core/quiz/deck.h"

#include <utility>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "core/base/hand_off.h"
#include "core/files/error.h"
#include "core/files/load_checks.h"
#include "core/files/record_file.h"
#include "core/files/records.h"

namespace tabinowa {
namespace {
// 100 question records: about 252 KiB a read, few reads into a buffer that stays in cache.
constexpr int kDeckBlockRecords = 100;
}  // namespace

namespace {

// One gap's sweep, four chains at a time: entries k..k+3 lie on four
// different chains when the gap is 4 or more, and each is inserted into its
// own chain exactly as one at a time would, the four walking down together;
// a lane whose entry has found its place keeps the words below it. Words are
// compared as signed: the top bit is flipped in all of them.
std::uint32_t* sweepFourChainsAtOnce(std::uint32_t* e, std::size_t gap, std::uint32_t* end) {
    std::uint32_t* k = e + 1 + gap;
#ifdef __SSE2__
    const __m128i lowHalf = _mm_set1_epi32(0xFFFF);
    for (; end - k >= 4; k += 4) {
        const __m128i held = _mm_loadu_si128(reinterpret_cast<const __m128i*>(k));
        const __m128i bound = _mm_or_si128(held, lowHalf);
        __m128i moving = _mm_set1_epi32(-1);  // lanes still walking down
        for (std::uint32_t* j = k;; j -= gap) {
            const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(j - gap));
            const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(j));
            const __m128i passes = _mm_and_si128(moving, _mm_cmpgt_epi32(before, bound));
            const __m128i stops = _mm_andnot_si128(passes, moving);
            // passes: the word before moves up; stops: the held entry lands here; others stay
            const __m128i word = _mm_or_si128(
                _mm_or_si128(_mm_and_si128(passes, before), _mm_and_si128(stops, held)),
                _mm_andnot_si128(_mm_or_si128(passes, stops), here));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(j), word);
            if (_mm_movemask_epi8(passes) == 0) break;
            moving = passes;
        }
    }
#endif
    return k;
}

}  // namespace

void shuffleSort(std::vector<std::int16_t>& records, std::vector<std::int16_t>& keys, int n) {
    if (n < 2) return;
    const auto size = static_cast<std::size_t>(n);
    // Each entry in one word: its key in the high half (moved to unsigned,
    // order kept), its record number in the low half, and the top bit flipped
    // so that words compare as signed. "Key greater than the held entry's key"
    // is then one comparison with the held word's high half and all ones below
    // it. Below e[1] lie as many of the least word as the largest gap: no entry
    // passes it, so a chain's walk stops at its start without a bounds check.
    constexpr std::uint32_t kTop = 0x80000000u;
    const std::size_t below = size / 2;
    std::vector<std::uint32_t> words(below + size + 1, kTop);
    std::uint32_t* const e = words.data() + below;
    for (std::size_t i = 1; i <= size; ++i)
        e[i] = ((static_cast<std::uint32_t>(static_cast<std::uint16_t>(keys[i]) ^ 0x8000u) << 16) |
                static_cast<std::uint16_t>(records[i])) ^
               kTop;
    const auto asSigned = [](std::uint32_t w) { return static_cast<std::int32_t>(w); };
    // Gaps n/2, n/4, ... 1. The chains i, i+gap, i+2gap ... are insertion-sorted
    // each on its own (an entry passes only strictly greater keys), so taking
    // them interleaved, in one sweep, orders them exactly as one by one.
    std::uint32_t* const end = e + size + 1;
    for (std::size_t gap = size / 2; gap >= 1; gap /= 2) {
        std::uint32_t* k = gap >= 4 ? sweepFourChainsAtOnce(e, gap, end) : e + 1 + gap;
        for (; k != end; ++k) {
            const std::uint32_t held = *k;
            const std::int32_t bound = asSigned(held | 0xFFFFu);
            std::uint32_t* j = k;
            for (std::uint32_t before; asSigned(before = *(j - gap)) > bound; j -= gap) *j = before;
            *j = held;
        }
    }
    for (std::size_t i = 1; i <= size; ++i) {
        const std::uint32_t w = e[i] ^ kTop;
        keys[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>((w >> 16) ^ 0x8000u));
        records[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(w & 0xFFFFu));
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
        RecordFile file(io, folders.questionRecords(), Mondai::kLength);
        const int count = file.count();
        if (count > kDeckCapacity)
            throw FileError("ファイル" + displayName(folders.questionRecords()) + "の問題が多すぎます（" +
                            std::to_string(count) + "件、最大" + std::to_string(kDeckCapacity) + "件）。");
        // Only the removed flag matters here: the file is read in order, in
        // blocks of whole records.
        file.readBlocks(1, count, kDeckBlockRecords, [&](int first, int n, const char* bytes) {
            for (int k = 0; k < n; ++k) {
                const bool isActive =
                    !MondaiView(std::string_view(bytes + static_cast<std::size_t>(k) * Mondai::kLength, Mondai::kLength))
                         .removed();
                ++total;
                if (isActive) {
                    ++active;
                    records[static_cast<std::size_t>(active)] = static_cast<std::int16_t>(first + k);
                    keys[static_cast<std::size_t>(active)] = drawKey(random);
                } else {
                    ++removed;
                }
            }
        });
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

std::future<QuestionDeck> buildDeckAhead(Io& io, AppFolders folders, Random& random) {
    auto job = std::make_shared<HandOffJob<QuestionDeck>>([&io, folders = std::move(folders), &random] {
        QuestionDeck deck;
        deck.build(io, folders, random);
        return deck;
    }, Priority::Background);
    return std::async(std::launch::deferred, [job] { return job->get(); });
}

}  // namespace tabinowa
