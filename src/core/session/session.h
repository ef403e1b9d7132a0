#pragma once
// All run-wide state of one run of the program. main owns the one Session and
// passes it by reference; tests make their own over a temporary folder.
#include <cstdint>
#include <filesystem>
#include <future>
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
    // A deck being built ahead (buildDeckAhead) for the first buildDeck().
    std::future<QuestionDeck> deckAhead;

    // Builds the deck from the question file, or takes the deck built ahead.
    // Throws FileError and leaves the deck as it was on failure.
    void buildDeck() {
        if (deckAhead.valid()) {
            auto ahead = std::move(deckAhead);
            quiz = ahead.get();
            return;
        }
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
    // Where the windows keep the learner's choices (how to answer): an INI
    // file in the program's folder, beside the data folders.
    std::filesystem::path settingsFile = folders.program / "tabinowa.ini";
};

}  // namespace tabinowa
