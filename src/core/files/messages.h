// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The texts a learner reads when a file cannot be used, made in one place:
// each says which file, what is wrong with it in the learner's words (missing,
// a folder in its place, the disk full, not allowed to write, too large, a file
// of another program, damaged), that nothing was changed, and what to do.
// Readers and writers throw FileError with these texts; every window shows
// them whole in its own message label.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace tabinowa {

// The most records the program reads: the deck holds 20000 questions, and a
// municipality's record number is a 16-bit integer (the data has about 1,900).
inline constexpr std::uint64_t kMaxQuestionRecords = 20000;
inline constexpr std::uint64_t kMaxCityRecords = 10000;

// "ファイルは変えていません。"
extern const char* const kUnchanged;

// The ways out. Each begins with kUnchanged.
// "問題.ran" and "point.csv": the question build (points to 0, every removed question back).
std::string questionRepair();
// "市町村.ran", "県範囲.csv", "訪問消去.ran": the municipality build (every visit undone).
std::string cityRepair();
// A master the learner keeps in "作業ファイル": mend it or take the shipped one again.
std::string masterRepair();

// What a system error number means to a learner when a file could not be
// written or read: "ディスクがいっぱいです", "書き込みが許されていません
// （読み取り専用の場所です）" and so on; empty when there is nothing to add.
std::string causeOf(int error);
// What to do about that cause ("空きを作ってから、もう一度してください。" …).
std::string wayOutOf(int error);

// A file that could not be written: the file, the cause, that the old file is
// as it was (or, where there was none, that nothing was made), and what to do.
std::string notWritten(const std::filesystem::path& file, int error, bool hadOld);
// A file that could not be read (not missing, not a folder): the file and the cause.
std::string notRead(const std::filesystem::path& file, int error);

// The one size limit of each file the program reads, in bytes; 0 for a file it
// does not know (no limit beyond the memory).
std::uint64_t sizeLimit(const std::filesystem::path& file);
// "ファイル…が大きすぎます（…、上限…）。" with the way out `repair`.
std::string tooLarge(const std::filesystem::path& file, std::uint64_t size, std::uint64_t limit,
                     const std::string& repair);
// Bytes as a learner reads them: "1,234バイト", "2.0 GiB" …
std::string sizeText(std::uint64_t bytes);

// The way out for a file by its name: the build that makes it again, the
// master's repair, the memory's repair, or nothing.
std::string repairFor(const std::filesystem::path& file);

// What is wrong with one of the learner's own memory files ("記憶.db", the
// old "記憶.txt", "記憶.step").
enum class MemoryFault {
    Damaged,       // unreadable as a memory: cut short, overwritten, bytes that make no sense
    NotOurs,       // another program's database
    OtherVersion,  // a memory of another version of the program
    Locked,        // another program holds the database
    Unwritable,    // not allowed to write, a read-only place
    DiskFull,
    Failed,        // reading or writing failed (a disk's error)
};
// The way out of a damaged memory (begins with kUnchanged): 環境作成's
// "記憶を作り直す" sets the file aside under another name and the memory
// starts afresh.
std::string memoryRepair();
// The fault in the learner's words, that nothing was changed, and what to do.
// `version`: the other version's number (OtherVersion).
std::string memoryProblem(const std::filesystem::path& file, MemoryFault fault, long long version = 0);
// The old text memory saved in Shift-JIS (CP932) by an editor: it says so, and
// that saving it again as UTF-8 makes it readable (or the memory's repair).
std::string memoryInCp932(const std::filesystem::path& file);

}  // namespace tabinowa
