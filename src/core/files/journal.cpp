// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/files/journal.h"

#include <cerrno>
#include "core/files/checksum.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <set>

#include "core/files/error.h"
#include "core/files/messages.h"
#include "core/files/folders.h"

namespace tabinowa {
namespace {

constexpr std::string_view kHeader = "tabinowa journal 1\n";
constexpr std::string_view kHeader2 = "tabinowa journal 2\n";  // the same length
constexpr std::size_t kMaxEntries = 64;

std::filesystem::path withSuffix(const std::filesystem::path& p, const char* suffix) {
    return p.parent_path() / (p.filename().string() + suffix);
}
std::filesystem::path tempOf(const std::filesystem::path& p) { return withSuffix(p, ".tmp~"); }
std::filesystem::path backupOf(const std::filesystem::path& p) { return withSuffix(p, ".old~"); }

std::string hex8(std::uint32_t v) {
    char buf[9];
    std::snprintf(buf, sizeof buf, "%08x", v);
    return buf;
}

std::string toHex(std::string_view bytes) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::optional<std::string> fromHex(std::string_view hex) {
    auto value = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    if (hex.size() % 2 != 0) return std::nullopt;
    std::string out;
    out.reserve(hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int hi = value(hex[i]), lo = value(hex[i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out += static_cast<char>(hi * 16 + lo);
    }
    return out;
}

std::string utf8(const std::filesystem::path& p) {
    auto u8 = p.generic_u8string();
    return std::string(u8.begin(), u8.end());
}

std::filesystem::path fromUtf8(const std::string& s) {
    return std::filesystem::path(std::u8string(reinterpret_cast<const char8_t*>(s.data()), s.size()));
}

// A path in a journal: relative, below the journal's folder, plain components.
bool plainRelative(const std::string& s) {
    if (s.empty() || s.front() == '/' || s.back() == '/') return false;
    for (unsigned char c : s)
        if (c < 0x20 || c == 0x7F || c == '\\') return false;
    std::size_t start = 0;
    while (start <= s.size()) {
        std::size_t end = s.find('/', start);
        if (end == std::string::npos) end = s.size();
        const std::string_view part(s.data() + start, end - start);
        if (part.empty() || part == "." || part == "..") return false;
        start = end + 1;
    }
    return true;
}

std::vector<std::filesystem::path> distinctFolders(const std::vector<std::filesystem::path>& files) {
    std::vector<std::filesystem::path> out;
    for (const auto& f : files)
        if (std::find(out.begin(), out.end(), f.parent_path()) == out.end()) out.push_back(f.parent_path());
    return out;
}

// Syncs every folder; the first that failed, or an empty path.
std::filesystem::path syncAll(Io& io, const std::vector<std::filesystem::path>& folders) {
    std::filesystem::path failed;
    for (const auto& f : folders)
        if (!io.syncFolder(f) && failed.empty()) failed = f;
    return failed;
}

[[noreturn]] void notReplaced(const std::filesystem::path& target) {
    throw FileError("ファイル" + displayName(target) + "を置き換えられませんでした。元のファイルはそのままです。");
}

[[noreturn]] void folderNotSynced(const std::filesystem::path& folder) {
    throw FileError("フォルダ" + displayName(folder) + "の書き込みを確定できませんでした。元のファイルはそのままです。");
}

[[noreturn]] void staleTemp(const std::filesystem::path& target) {
    throw FileError("ファイル" + displayName(target) + "を書けませんでした。元のファイルはそのままです。");
}

[[noreturn]] void journalNotWritten(const std::filesystem::path& journal) {
    throw FileError("変更の記録" + displayName(journal) + "を書けませんでした。元のファイルはそのままです。");
}

// Writes a fresh file and leaves it open, not yet flushed; -1 (the file
// removed) on failure.
int writeOpen(Io& io, const std::filesystem::path& p, std::string_view bytes) {
    const int fd = io.open(p, Io::Mode::WriteTruncate);
    if (fd < 0) return -1;
    if (io.writeAt(fd, bytes.data(), bytes.size(), 0) == static_cast<long>(bytes.size())) return fd;
    const int error = errno;  // the cause the message names (ENOSPC …), not the clean-up's
    io.close(fd);
    io.remove(p);
    errno = error;
    return -1;
}

// Flushes and closes a file written by writeOpen; false when either fails.
bool flushClose(Io& io, int fd) {
    const bool ok = io.flush(fd);
    return io.close(fd) && ok;
}

struct Target {
    std::filesystem::path path;
    bool hadOld;
};

struct InPlace {
    std::filesystem::path path;
    std::uint64_t offset;
    std::string before, after;
};

// Writes bytes in place inside an existing file and flushes them.
bool writeInPlace(Io& io, const std::filesystem::path& p, std::uint64_t offset, std::string_view bytes) {
    if (!io.exists(p)) return false;
    int fd = io.open(p, Io::Mode::ReadWriteCreate);
    if (fd < 0) return false;
    bool ok = io.writeAt(fd, bytes.data(), bytes.size(), offset) == static_cast<long>(bytes.size());
    ok = ok && io.flush(fd);
    ok = io.close(fd) && ok;
    return ok;
}

// Every in-place write of a change undone: its old bytes back.
bool writeOldInPlace(Io& io, const std::vector<InPlace>& patches) {
    bool ok = true;
    for (const auto& p : patches) ok = writeInPlace(io, p.path, p.offset, p.before) && ok;
    return ok;
}

// Every new file is in place: a crash after the last rename counts as done.
bool allInPlace(Io& io, const std::vector<Target>& targets) {
    return std::all_of(targets.begin(), targets.end(),
                       [&](const Target& t) { return !io.exists(tempOf(t.path)) && io.exists(t.path); });
}

// Finishing: the backups go. Always succeeds in effect: a backup left behind
// is removed by the next recovery's sweep.
void finish(Io& io, const std::vector<Target>& targets) {
    for (const auto& t : targets) io.remove(backupOf(t.path));
}

// Undoing: every old file back in place (its backup renamed over the new
// one), every new file that had no old one removed, and only then the
// temporary files removed. Repeating it after a crash half way is harmless.
bool undo(Io& io, const std::vector<Target>& targets) {
    bool ok = true;
    for (auto it = targets.rbegin(); it != targets.rend(); ++it) {
        const auto backup = backupOf(it->path), temp = tempOf(it->path);
        if (io.exists(backup)) ok = io.rename(backup, it->path) && ok;
        else if (!it->hadOld && !io.exists(temp)) ok = io.remove(it->path) && ok;
    }
    std::vector<std::filesystem::path> paths;
    for (const auto& t : targets) paths.push_back(t.path);
    ok = syncAll(io, distinctFolders(paths)).empty() && ok;
    if (!ok) return false;
    for (const auto& t : targets) io.remove(tempOf(t.path));
    return true;
}

// Ends a journalled change either way. True when it finished (the new files
// are in place), false when it was undone; throws FileError when the undoing
// failed (the journal then stays for the next start). The renames decide:
// the bytes in place were written and flushed before the first rename, so a
// change whose renames are all done has them already. Undoing writes their
// old bytes first and removes the temporary files last; once it has, the
// files look "in place" again, and finishing then has nothing left to do.
// A change without a whole file to rename is undone.
bool settle(Io& io, const std::filesystem::path& journal, const std::vector<Target>& targets,
            const std::vector<InPlace>& patches) {
    const bool forward = !targets.empty() && allInPlace(io, targets);
    if (forward) {
        finish(io, targets);
    } else if (!writeOldInPlace(io, patches) || !undo(io, targets)) {
        throw FileError("ファイルを元に戻せませんでした。" + displayName(journal) +
                        "に記録してあるので、次に起動したときに元に戻します。");
    }
    io.remove(journal);
    io.syncFolder(journal.parent_path());
    return forward;
}

std::string damagedJournal(const std::filesystem::path& journal, const std::string& why) {
    return "ファイル" + displayName(journal) + "が壊れています（" + why +
           "）。中断された変更の記録なので、どのファイルも変えずに残しました。" + kJournalWayOut;
}

// Everything the journal would have recovery do, checked before any of it is
// done: each whole file a file (not a folder) in a folder that is there, each
// in-place write inside its file, and the bytes there now either the old or
// the new ones (a write cut short leaves each byte one or the other). A
// journal that passes its checksum yet fails here was not written by a change.
void checkJournalWork(Io& io, const std::filesystem::path& journal, const std::vector<Target>& targets,
                      const std::vector<InPlace>& patches) {
    for (const auto& t : targets) {
        if (!io.isDirectory(t.path.parent_path()))
            throw FileError(damagedJournal(journal, "フォルダ" + displayName(t.path.parent_path()) + "がありません"));
        for (const auto& p : {t.path, tempOf(t.path), backupOf(t.path)})
            if (io.isDirectory(p))
                throw FileError(damagedJournal(journal, displayName(p) + "はフォルダです"));
    }
    for (const auto& p : patches) {
        const std::string at = displayName(p.path) + "の" + std::to_string(p.offset) + "バイト目";
        if (io.isDirectory(p.path) || !io.exists(p.path))
            throw FileError(damagedJournal(journal, "書き換えるファイル" + displayName(p.path) + "がありません"));
        const int fd = io.open(p.path, Io::Mode::Read);
        if (fd < 0) throw FileError(damagedJournal(journal, displayName(p.path) + "を読めません"));
        const long long size = io.size(fd);
        std::string now(p.before.size(), '\0');
        const bool inside = size >= 0 && p.offset <= static_cast<std::uint64_t>(size) &&
                            p.before.size() <= static_cast<std::uint64_t>(size) - p.offset;
        const bool read = inside && io.readAt(fd, now.data(), now.size(), p.offset) == static_cast<long>(now.size());
        io.close(fd);
        if (!inside)
            throw FileError(damagedJournal(journal, at + "はファイルの外です（" + std::to_string(size < 0 ? 0 : size) +
                                                        "バイトのファイル）"));
        if (!read) throw FileError(damagedJournal(journal, displayName(p.path) + "を読めません"));
        for (std::size_t i = 0; i < now.size(); ++i)
            if (now[i] != p.before[i] && now[i] != p.after[i])
                throw FileError(damagedJournal(journal, at + "が、記録の変更前とも変更後とも違います"));
    }
}

// Settles the change the journal file describes; true when it finished.
bool settleJournal(Io& io, const std::filesystem::path& journal) {
    if (const std::uint64_t limit = sizeLimit(journal); limit != 0) {
        const int fd = io.open(journal, Io::Mode::Read);
        const long long size = fd < 0 ? -1 : io.size(fd);
        if (fd >= 0) io.close(fd);
        if (size > static_cast<long long>(limit)) throw FileError(damagedJournal(journal, "大きすぎます"));
    }
    const std::string bytes = readWholeFile(io, journal);
    const auto change = decodeJournalChange(bytes, displayName(journal));
    std::vector<Target> targets;
    for (const auto& e : change.files) targets.push_back({journal.parent_path() / fromUtf8(e.path), e.hadOld});
    std::vector<InPlace> patches;
    for (const auto& p : change.patches)
        patches.push_back({journal.parent_path() / fromUtf8(p.path), p.offset, p.before, p.after});
    checkJournalWork(io, journal, targets, patches);
    return settle(io, journal, targets, patches);
}

bool endsWith(const std::string& s, std::string_view suffix) {
    return s.size() > suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

// ---------------------------------------------------------------- format

std::string encodeJournal(const std::vector<JournalEntry>& entries) { return encodeJournal(JournalChange{entries, {}}); }

std::string encodeJournal(const JournalChange& change) {
    std::string out(change.patches.empty() ? kHeader : kHeader2);
    out += "files " + std::to_string(change.files.size()) + "\n";
    for (const auto& e : change.files) {
        if (!plainRelative(e.path)) throw FileError("ファイル「" + e.path + "」は記録できない名前です。");
        out += e.hadOld ? "1 " : "0 ";
        out += e.path;
        out += '\n';
    }
    if (!change.patches.empty()) {
        out += "patches " + std::to_string(change.patches.size()) + "\n";
        for (const auto& p : change.patches) {
            if (!plainRelative(p.path)) throw FileError("ファイル「" + p.path + "」は記録できない名前です。");
            if (p.before.size() != p.after.size() || p.after.empty() || p.after.size() > FileSet::kMaxPatch)
                throw FileError("ファイル「" + p.path + "」の書き換えは記録できない長さです。");
            out += std::to_string(p.offset) + " " + toHex(p.before) + " " + toHex(p.after) + " " + p.path + "\n";
        }
    }
    out += "check " + hex8(fnv1a32(out)) + "\n";
    return out;
}

std::vector<JournalEntry> decodeJournal(std::string_view bytes, const std::string& fileName) {
    return decodeJournalChange(bytes, fileName).files;
}

JournalChange decodeJournalChange(std::string_view bytes, const std::string& fileName) {
    auto bad = [&](const char* why) -> FileError {
        return FileError("ファイル" + fileName + "が壊れています（" + why +
                         "）。中断された変更の記録なので、どのファイルも変えずに残しました。" + kJournalWayOut);
    };
    const bool v2 = bytes.substr(0, kHeader2.size()) == kHeader2;
    if (!v2 && bytes.substr(0, kHeader.size()) != kHeader) throw bad("この形式の記録ではありません");
    std::size_t pos = kHeader.size();
    auto line = [&]() -> std::string_view {
        std::size_t end = bytes.find('\n', pos);
        if (end == std::string_view::npos) throw bad("途中で終わっています");
        std::string_view l = bytes.substr(pos, end - pos);
        pos = end + 1;
        return l;
    };
    // "<word> <n>", n ≤ 64
    auto count = [&](std::string_view word, std::size_t least) {
        std::string_view l = line();
        if (l.substr(0, word.size()) != word || l.size() <= word.size() || l[word.size()] != ' ')
            throw bad("件数がありません");
        std::string_view digits = l.substr(word.size() + 1);
        std::size_t n = 0;
        if (digits.empty() || digits.size() > 3) throw bad("件数が正しくありません");
        for (char c : digits) {
            if (c < '0' || c > '9') throw bad("件数が正しくありません");
            n = n * 10 + static_cast<std::size_t>(c - '0');
        }
        if (n < least || n > kMaxEntries) throw bad("件数が正しくありません");
        return n;
    };
    JournalChange change;
    const std::size_t n = count("files", v2 ? 0 : 1);
    auto& entries = change.files;
    for (std::size_t i = 0; i < n; ++i) {
        std::string_view l = line();
        if (l.size() < 3 || (l[0] != '0' && l[0] != '1') || l[1] != ' ') throw bad("ファイルの行が正しくありません");
        JournalEntry e{std::string(l.substr(2)), l[0] == '1'};
        if (!plainRelative(e.path)) throw bad("ファイルの名前が正しくありません");
        for (const auto& seen : entries)
            if (seen.path == e.path) throw bad("同じファイルが二度あります");
        entries.push_back(std::move(e));
    }
    if (v2) {
        const std::size_t m = count("patches", 1);
        for (std::size_t i = 0; i < m; ++i) {
            std::string_view l = line();
            JournalPatch p;
            const std::size_t s1 = l.find(' ');
            const std::size_t s2 = s1 == std::string_view::npos ? s1 : l.find(' ', s1 + 1);
            const std::size_t s3 = s2 == std::string_view::npos ? s2 : l.find(' ', s2 + 1);
            if (s3 == std::string_view::npos) throw bad("書き換えの行が正しくありません");
            const std::string_view offset = l.substr(0, s1);
            if (offset.empty() || offset.size() > 15) throw bad("書き換えの位置が正しくありません");
            for (char c : offset) {
                if (c < '0' || c > '9') throw bad("書き換えの位置が正しくありません");
                p.offset = p.offset * 10 + static_cast<std::uint64_t>(c - '0');
            }
            auto before = fromHex(l.substr(s1 + 1, s2 - s1 - 1));
            auto after = fromHex(l.substr(s2 + 1, s3 - s2 - 1));
            if (!before || !after || before->size() != after->size() || after->empty() ||
                after->size() > FileSet::kMaxPatch)
                throw bad("書き換えのバイトが正しくありません");
            p.before = std::move(*before);
            p.after = std::move(*after);
            p.path = std::string(l.substr(s3 + 1));
            if (!plainRelative(p.path)) throw bad("ファイルの名前が正しくありません");
            for (const auto& e : entries)
                if (e.path == p.path) throw bad("同じファイルが二度あります");
            change.patches.push_back(std::move(p));
        }
    }
    const std::size_t checked = pos;
    std::string_view check = line();
    if (check != "check " + hex8(fnv1a32(bytes.substr(0, checked)))) throw bad("検査値が合いません");
    if (pos != bytes.size()) throw bad("後ろに余分なものがあります");
    return change;
}

// -------------------------------------------------------------- file sets

FileSet::FileSet(Io& io, std::filesystem::path journal) : io_(io), journal_(std::move(journal)) {
    // A journal left by a change that could not be undone is settled first,
    // before any temporary file of this set could be taken for one of its own.
    if (io_.exists(journal_)) settleJournal(io_, journal_);
}

FileSet::~FileSet() {
    closeAll();
    if (!committed_)
        for (auto& e : entries_) io_.remove(e.temp);
}

void FileSet::closeAll() {
    for (auto& e : entries_)
        if (e.fd >= 0) {
            io_.close(e.fd);
            e.fd = -1;
        }
}

const std::filesystem::path* FileSet::flushAll() {
    const std::filesystem::path* failed = nullptr;
    for (auto& e : entries_) {
        const bool ok = e.fd >= 0 && flushClose(io_, e.fd);
        e.fd = -1;
        if (!ok && !failed) failed = &e.target;
    }
    return failed;
}

void FileSet::stage(const std::filesystem::path& target, std::string_view bytes) {
    // The journal names at most this many files; one more would make a
    // journal that no start could read back.
    if (entries_.size() == kMaxEntries)
        throw FileError("一度に書き換えられるファイルは" + std::to_string(kMaxEntries) + "個までです。" +
                        displayName(target) + "を書けませんでした。どのファイルも変えていません。");
    Entry e{target, tempOf(target)};
    entries_.push_back(e);
    entries_.back().fd = writeOpen(io_, e.temp, bytes);
    if (entries_.back().fd < 0) {
        const int error = errno;
        if (!io_.isDirectory(target.parent_path()))
            throw FileError("フォルダ" + displayName(target.parent_path()) + "がありません。" + displayName(target) +
                            "を書けませんでした。");
        // the cause (the disk full, read-only …); at a first start there is no old file to speak of
        bool hadOld = false;
        for (const Entry& staged : entries_) hadOld = hadOld || io_.exists(staged.target);
        throw FileError(notWritten(target, error, hadOld));
    }
}

void FileSet::patch(const std::filesystem::path& target, std::uint64_t offset, std::string_view bytes) {
    if (bytes.empty() || bytes.size() > kMaxPatch)
        throw FileError("ファイル" + displayName(target) + "の書き換えが長すぎます。");
    std::string before(bytes.size(), '\0');
    int fd = io_.exists(target) ? io_.open(target, Io::Mode::Read) : -1;
    if (fd < 0) throw FileError("ファイル" + displayName(target) + "を開けませんでした。元のファイルはそのままです。");
    const long r = io_.readAt(fd, before.data(), before.size(), offset);
    io_.close(fd);
    if (r != static_cast<long>(before.size()))
        throw FileError("ファイル" + displayName(target) + "を読めませんでした。元のファイルはそのままです。");
    patches_.push_back({target, offset, std::move(before), std::string(bytes)});
}

void FileSet::commit() {
    if (entries_.empty() && patches_.empty()) {
        committed_ = true;
        return;
    }
    if (entries_.size() == 1 && patches_.empty()) {
        // one rename is all or nothing by itself
        const Entry& e = entries_.front();
        if (flushAll()) staleTemp(e.target);
        if (!io_.rename(e.temp, e.target)) notReplaced(e.target);
        committed_ = true;
        io_.syncFolder(e.target.parent_path());
        return;
    }
    std::vector<Target> targets;
    JournalChange recorded;
    std::vector<std::filesystem::path> paths;
    const auto base = journal_.parent_path();
    auto relative = [&](const std::filesystem::path& target) {
        const auto rel = target.lexically_relative(base);
        if (rel.empty() || utf8(rel).rfind("..", 0) == 0)
            throw FileError("ファイル" + displayName(target) + "は" + displayName(base) + "の外にあります。");
        return utf8(rel);
    };
    for (const auto& e : entries_) {
        targets.push_back({e.target, io_.exists(e.target)});
        recorded.files.push_back({relative(e.target), targets.back().hadOld});
        paths.push_back(e.target);
    }
    std::vector<InPlace> inPlace;
    for (const auto& p : patches_) {
        recorded.patches.push_back({relative(p.target), p.offset, p.before, p.after});
        inPlace.push_back({p.target, p.offset, p.before, p.after});
    }
    const auto folders = distinctFolders(paths);
    // Every new file and the journal under its temporary name are written
    // before any of them is flushed, then flushed one after the other: the
    // file system can put them all on the disk in one go, and the later
    // flushes find their work done. Then the temporary files' names are
    // flushed in their folders (the program folder's with the journal's
    // rename below): after the commit point a temporary file that is gone
    // must mean it was renamed over its target. Were its name lost to a power
    // cut, the target would still hold its old file with no temporary file
    // beside it - "in place" to the recovery, which would then finish a
    // change whose other files (bytes in place, other folders) are new.
    const auto journalTemp = tempOf(journal_);
    const int journalFd = writeOpen(io_, journalTemp, encodeJournal(recorded));
    if (journalFd < 0) journalNotWritten(journal_);
    const std::filesystem::path* unflushed = flushAll();
    const bool journalFlushed = flushClose(io_, journalFd);
    // The temporary files' names reach their folders before the journal's own.
    std::filesystem::path unsynced;
    for (const auto& folder : folders)
        if (folder.lexically_normal() != base.lexically_normal() && !io_.syncFolder(folder) && unsynced.empty())
            unsynced = folder;
    if (unflushed || !journalFlushed || !unsynced.empty()) {
        io_.remove(journalTemp);
        if (unflushed) staleTemp(*unflushed);
        if (!journalFlushed) journalNotWritten(journal_);
        folderNotSynced(unsynced);
    }
    if (!io_.rename(journalTemp, journal_)) {
        io_.remove(journalTemp);
        journalNotWritten(journal_);
    }
    // From here on the change is finished or undone as a whole, now or at the next start.
    std::filesystem::path failedFolder;
    bool ok = io_.syncFolder(base);
    if (!ok) failedFolder = base;
    // The bytes in place first: until the last rename a recovery writes their old bytes back.
    const InPlace* failedPatch = nullptr;
    for (std::size_t i = 0; ok && i < inPlace.size(); ++i) {
        ok = writeInPlace(io_, inPlace[i].path, inPlace[i].offset, inPlace[i].after);
        if (!ok) failedPatch = &inPlace[i];
    }
    const Entry* failed = nullptr;
    for (std::size_t i = 0; ok && i < entries_.size(); ++i) {
        const Entry& e = entries_[i];
        ok = (!targets[i].hadOld || io_.rename(e.target, backupOf(e.target))) && io_.rename(e.temp, e.target);
        if (!ok) failed = &e;
    }
    if (ok) {
        failedFolder = syncAll(io_, folders);
        ok = failedFolder.empty();
    }
    if (ok) {
        committed_ = true;
        finish(io_, targets);
        io_.remove(journal_);
        io_.syncFolder(base);
        return;
    }
    if (settle(io_, journal_, targets, inPlace)) {
        // every new file had reached its place: the change is done
        committed_ = true;
        return;
    }
    if (failedPatch) notReplaced(failedPatch->path);
    if (failed) notReplaced(failed->target);
    folderNotSynced(failedFolder);
}

// --------------------------------------------------------------- recovery

RecoveryReport recover(Io& io, const std::filesystem::path& journal, const std::vector<std::filesystem::path>& folders) {
    RecoveryReport report;
    if (io.exists(journal))
        report.outcome = settleJournal(io, journal) ? RecoveryReport::Outcome::Finished : RecoveryReport::Outcome::Undone;
    std::vector<std::filesystem::path> sweep = folders;
    if (std::find(sweep.begin(), sweep.end(), journal.parent_path()) == sweep.end())
        sweep.push_back(journal.parent_path());
    for (const auto& folder : sweep) {
        bool changed = false;
        for (const auto& name : io.listFolder(folder)) {
            const auto path = folder / fromUtf8(name);
            if (endsWith(name, ".tmp~")) {
                changed = io.remove(path) || changed;
                ++report.removed;
            } else if (endsWith(name, ".old~")) {
                // Without a journal a backup is only put back when its file is gone.
                const auto original = folder / fromUtf8(name.substr(0, name.size() - 5));
                if (!io.exists(original)) changed = io.rename(path, original) || changed;
                else changed = io.remove(path) || changed;
                ++report.removed;
            }
        }
        if (changed) io.syncFolder(folder);
    }
    switch (report.outcome) {
        case RecoveryReport::Outcome::Finished:
            report.message = "前回中断された変更を最後まで済ませました。";
            break;
        case RecoveryReport::Outcome::Undone:
            report.message = "前回中断された変更を取り消しました。ファイルは変更前のままです。";
            break;
        case RecoveryReport::Outcome::Nothing:
            if (report.removed > 0) report.message = "前回中断された書き込みの一時ファイルを片付けました。";
            break;
    }
    return report;
}

RestoreReport restoreWithoutJournal(Io& io, const std::filesystem::path& journal,
                                    const std::vector<std::filesystem::path>& folders,
                                    const std::vector<std::filesystem::path>& stepFiles) {
    RestoreReport report;
    std::vector<std::filesystem::path> sweep = folders;
    if (std::find(sweep.begin(), sweep.end(), journal.parent_path()) == sweep.end())
        sweep.push_back(journal.parent_path());
    bool ok = true;
    // every file moved aside goes back over what replaced it; then nothing new is left half made
    for (const auto& folder : sweep)
        for (const auto& name : io.listFolder(folder))
            if (endsWith(name, ".old~")) {
                const auto original = folder / fromUtf8(name.substr(0, name.size() - 5));
                if (io.isDirectory(original)) {
                    ok = false;
                    continue;
                }
                if (io.rename(folder / fromUtf8(name), original)) ++report.restored;
                else ok = false;
            }
    for (const auto& step : stepFiles)
        if (io.exists(step) && !io.isDirectory(step)) ok = io.remove(step) && ok;
    for (const auto& folder : sweep) ok = io.syncFolder(folder) && ok;
    if (!ok) throw FileError("中断された変更を取り消せませんでした。" + displayName(journal) + "は残してあります。" + kUnchanged);
    for (const auto& folder : sweep)
        for (const auto& name : io.listFolder(folder))
            if (endsWith(name, ".tmp~")) {
                io.remove(folder / fromUtf8(name));
                ++report.removed;
            }
    if (!io.remove(journal)) throw FileError(displayName(journal) + "を消せませんでした。");
    io.syncFolder(journal.parent_path());
    return report;
}

}  // namespace tabinowa
