// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// All run-wide state of one run of the program. main owns the one Session and
// passes it by reference; tests make their own over a temporary folder.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "core/base/random.h"
#include "core/files/folders.h"
#include "core/files/io.h"
#include "core/quiz/deck.h"
#include "core/quiz/memory.h"

namespace tabinowa {

struct Session {
    Session(std::filesystem::path programFolder, Io& io, Random& random)
        : folders{std::move(programFolder)}, io(io), random(random), memory(io, folders.memoryFile()) {}

    AppFolders folders;
    Io& io;
    Random& random;

    // The question deck, the full-bank order, counters and cursors.
    QuestionDeck quiz;
    // The start's deck is built once the main menu is on screen; until then
    // every item of the menu builds it first (takeDeck).
    bool deckPending = false;

    // Builds the deck from the question file.
    // Throws FileError and leaves the deck as it was on failure.
    void buildDeck() {
        deckPending = false;
        quiz.build(io, folders, random);
    }

    // Unset until the first menu item use or the first return to the menu; then 1.
    std::optional<int> startupFlag;
    bool startupDone() const { return startupFlag == 1; }
    void setStartupFlag() { startupFlag = 1; }

    // What the start-up recovery has to tell (shown once by the main menu).
    std::string startupNotice;

    // The visit game's point total.
    std::int32_t points = 0;

    // The memory of every answer ("記憶.txt"), read on first use.
    MemoryStore memory;
    // Today's day number in local time; a test may fix it.
    std::optional<std::int32_t> fixedDay;
    std::int32_t today() const { return fixedDay ? *fixedDay : localDay(std::time(nullptr)); }
};

}  // namespace tabinowa
