// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Access to the question records "問題.ran" and the training rules that need
// no window.
#include <cstdint>
#include <optional>
#include <string>

#include "core/files/folders.h"
#include "core/files/io.h"
#include "core/files/journal.h"
#include "core/files/record_file.h"
#include "core/files/records.h"

namespace tabinowa {

// "問題.ran" opened as a record file and held by one window from its load to
// its return. A missing file or one with a record cut short is refused
// (FileError), never created or read short.
class QuestionFile {
public:
    QuestionFile(Io& io, const AppFolders& folders);
    int count() const { return file_.count(); }
    Mondai get(int n) const;
    void put(int n, const Mondai& m);
    // Marks record n removed: writes the low byte of its Syokyo field (1) and no other byte,
    // so a record written by another program keeps its own bytes. With a
    // companion, the byte and the companion's file change together through
    // the journal, all or nothing across a crash.
    void markRemoved(int n, const std::optional<Companion>& along = std::nullopt);
    // Takes back a removal made by markRemoved: writes that one byte back to 0,
    // with a companion through the journal as above.
    void unmarkRemoved(int n, const std::optional<Companion>& along = std::nullopt);
    // Closes the file; count() is 0 and get() gives an empty record afterwards.
    void close() { file_.close(); }

private:
    Io& io_;
    std::filesystem::path journal_;
    RecordFile file_;
};

// Sets Syokyo to 0 in records 1..total and leaves every other byte as it was;
// the file is replaced atomically (a record file held open elsewhere keeps
// seeing the old file: reopen it afterwards).
// With a companion, both files change together through the journal.
void reviveAll(Io& io, const AppFolders& folders, int total, const std::optional<Companion>& along = std::nullopt);

// "現在の達成率は　" + removed + ("件 " at load | "件　" after a removal) +
// floor(removed / total * 100) + "％". A total of 0 gives 0 %.
std::string achievementLine(int removed, int total, bool afterRemoval);

// The hint text for a question: the four whole choices ordered by random keys
// 1..10 (exchange sort), "《ヒント》　" + the first 20 characters of the
// first, then for each further choice CR LF, six U+3000 and its first 20 characters.
class Random;
std::string hintText(const Mondai& m, Random& random);
// True when the question offers a hint: the first 4 characters of Sentaku1 are not four blanks.
bool hasHint(const Mondai& m);

}  // namespace tabinowa
