// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Whole files replaced together, all or nothing, across failed calls and
// across a crash or a power cut at any moment.
//
// A change writes each new file under a temporary name ("x.tmp~"), and the
// journal, a small file that names every file of the change, under its own;
// it makes them all durable and renames the journal into place: from that moment the change will be
// finished or undone as a whole. Only then are the old files moved aside
// ("x.old~") and the new ones renamed into place; at the end the backups and
// the journal go. A change may also write a few bytes in place inside a file
// (a record's flag): the journal holds both their old and their new bytes,
// so that either can be written again, and they are written before the
// renames, so that the renames decide whether the change went through. `recover` runs at every start, before anything reads a file:
// it finishes or undoes what a journal left, and removes every temporary and
// backup file. A change of one file needs no journal (one rename is atomic).
//
// The journal's format is in docs/ARCHITECTURE.md ("The journal").
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "core/files/io.h"

namespace tabinowa {

class FileSet {
public:
    // `journal`: the journal file; every target must lie in its folder or below.
    // A journal still there (a change whose undoing failed) is settled first;
    // FileError when it cannot be read.
    FileSet(Io& io, std::filesystem::path journal);
    ~FileSet();  // an uncommitted set removes its temporary files
    FileSet(const FileSet&) = delete;
    FileSet& operator=(const FileSet&) = delete;

    // Writes the new bytes of `target` under its temporary name (commit
    // flushes them). Throws FileError (the target's old file untouched).
    void stage(const std::filesystem::path& target, std::string_view bytes);
    // Writes `bytes` over the bytes at `offset` of the existing file `target`
    // (no more than kMaxPatch bytes) as part of the change. Reads the old bytes
    // now; throws FileError when they cannot be read whole.
    void patch(const std::filesystem::path& target, std::uint64_t offset, std::string_view bytes);
    static constexpr std::size_t kMaxPatch = 4096;
    // Puts every staged file in place, all or nothing. On a failure it undoes
    // what was done and throws FileError; should even that fail, the journal
    // stays and the next start finishes the undoing.
    void commit();

private:
    struct Entry {
        std::filesystem::path target, temp;
        int fd = -1;  // the temporary file, written and still open until commit flushes it
    };
    // Flushes and closes every open temporary file; the target of the first that failed, or null.
    const std::filesystem::path* flushAll();
    void closeAll();
    Io& io_;
    std::filesystem::path journal_;
    std::vector<Entry> entries_;
    struct Patch {
        std::filesystem::path target;
        std::uint64_t offset;
        std::string before, after;
    };
    std::vector<Patch> patches_;
    bool committed_ = false;
};

// A whole file that is to change together with the next change of another
// file (the learner's memory with a point file or a record's flag): both go
// into one FileSet, or only the companion's file changes when it goes alone.
struct Companion {
    std::filesystem::path target;
    std::string bytes;
};

struct RecoveryReport {
    enum class Outcome { Nothing, Finished, Undone };
    Outcome outcome = Outcome::Nothing;
    int removed = 0;  // temporary and backup files removed
    // For the user: what recovery did (empty when there was nothing to do).
    std::string message;
};

// Finishes or undoes the change a journal describes, then removes every
// "*.tmp~" and "*.old~" file in `folders` (a backup whose file is missing is
// put back instead). A journal it cannot read is left in place with every
// file untouched, and FileError names it.
RecoveryReport recover(Io& io, const std::filesystem::path& journal, const std::vector<std::filesystem::path>& folders);

// What a damaged journal's message offers: the choice that puts every file
// moved aside back in place (restoreWithoutJournal).
inline constexpr const char* kJournalWayOut =
    "「環境作成」の「中断された変更を取り消す」で、変更前のファイルに戻せます。";

// The way out of a journal that cannot be trusted: every "x.old~" in `folders`
// renamed back over "x" (the files as they were before the change), the
// memory's step files of the change removed, every "*.tmp~" removed, and the
// journal removed last. A byte written in place (a removal's flag) cannot be
// told apart without the journal and stays as it is. Throws FileError when a
// file cannot be put back; the journal then stays.
struct RestoreReport {
    int restored = 0;  // files put back
    int removed = 0;   // temporary files removed
};
RestoreReport restoreWithoutJournal(Io& io, const std::filesystem::path& journal,
                                    const std::vector<std::filesystem::path>& folders,
                                    const std::vector<std::filesystem::path>& stepFiles);

// The journal's bytes for a change of these targets (paths relative to the
// journal's folder, each with whether an old file existed); and the reverse.
// Exposed for the tests of the format.
struct JournalEntry {
    std::string path;  // UTF-8, '/' between components
    bool hadOld = false;
    bool operator==(const JournalEntry&) const = default;
};
struct JournalPatch {
    std::string path;  // as above
    std::uint64_t offset = 0;
    std::string before, after;  // the same length, 1..FileSet::kMaxPatch bytes
    bool operator==(const JournalPatch&) const = default;
};
struct JournalChange {
    std::vector<JournalEntry> files;
    std::vector<JournalPatch> patches;
    bool operator==(const JournalChange&) const = default;
};
// Version 1 when there is no patch (the bytes every earlier program wrote), else version 2.
std::string encodeJournal(const JournalChange& change);
std::string encodeJournal(const std::vector<JournalEntry>& entries);
// Throws FileError naming `fileName` when the bytes are not a whole journal.
JournalChange decodeJournalChange(std::string_view bytes, const std::string& fileName);
// The files of a journal (version 1 or 2).
std::vector<JournalEntry> decodeJournal(std::string_view bytes, const std::string& fileName);

}  // namespace tabinowa
