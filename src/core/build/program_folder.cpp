// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/build/program_folder.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <system_error>

#include "core/build/builds.h"
#include "core/session/session.h"
#include "core/files/error.h"
#include "core/files/messages.h"
#include "core/files/folders.h"

namespace tabinowa {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kVersionSignature = "tabinowa-data-version 1";

fs::path fromUtf8(std::string_view s) {
    return fs::path(std::u8string(reinterpret_cast<const char8_t*>(s.data()), s.size()));
}

// The masters a data set or a program folder must hold.
bool holdsMasters(Io& io, const fs::path& folder) {
    const AppFolders f{folder};
    return io.exists(f.questionMaster()) && io.exists(f.cityMaster()) && io.exists(f.prefectureData());
}

// "2026.12" -> {2026, 12}; none when it is not numbers joined by dots.
std::optional<std::vector<long>> versionParts(std::string_view v) {
    std::vector<long> parts;
    if (v.empty()) return std::nullopt;
    std::size_t at = 0;
    while (true) {
        const std::size_t dot = v.find('.', at);
        const std::string_view part = v.substr(at, dot == std::string_view::npos ? v.size() - at : dot - at);
        long n = 0;
        if (!part.empty() && (part[0] < '0' || part[0] > '9')) return std::nullopt;  // no sign
        const auto [end, ec] = std::from_chars(part.data(), part.data() + part.size(), n);
        if (part.empty() || part.size() > 9 || ec != std::errc{} || end != part.data() + part.size()) return std::nullopt;
        parts.push_back(n);
        if (dot == std::string_view::npos) break;
        at = dot + 1;
    }
    return parts;
}

void makeFolder(const fs::path& p) {
    std::error_code ec;
    fs::create_directories(p, ec);
    if (ec || !fs::is_directory(p, ec))
        throw FileError("フォルダ" + displayName(p) + "を作れませんでした。");
}

// The regular files of a folder, sorted by name (so the copy order and the
// progress are the same on every run).
std::vector<fs::path> filesIn(const fs::path& folder) {
    std::vector<fs::path> out;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->is_regular_file(ec)) out.push_back(it->path().filename());
    }
    if (ec) throw FileError("フォルダ" + displayName(folder) + "を読めませんでした。");
    std::sort(out.begin(), out.end());
    return out;
}

// The folders of a data set that are copied: masters, then prefecture data and pictures.
struct CopyPlan {
    fs::path from, to, name;
};

std::vector<CopyPlan> copyPlan(const fs::path& shipped, const fs::path& folder) {
    std::vector<CopyPlan> plan;
    for (const char* sub : {"作業ファイル", "file1"}) {
        const fs::path s = shipped / AppFolders::u8path(sub);
        const fs::path d = folder / AppFolders::u8path(sub);
        for (const fs::path& name : filesIn(s)) plan.push_back({s / name, d / name, name});
    }
    return plan;
}

fs::path stagedName(const fs::path& to) { return to.parent_path() / (to.filename().string() + ".tmp~"); }

// Writes one copy under its temporary name, not yet flushed; on failure
// removes it and throws.
void stageCopy(Io& io, const fs::path& from, const fs::path& to) {
    const std::string bytes = readWholeFile(io, from);
    const fs::path temp = stagedName(to);
    const int fd = io.open(temp, Io::Mode::WriteTruncate);
    if (fd < 0) throw FileError(notWritten(to, errno, io.exists(to)));
    bool ok = io.writeAt(fd, bytes.data(), bytes.size(), 0) == static_cast<long>(bytes.size());
    int error = ok ? 0 : errno;
    if (!io.close(fd) && ok) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        io.remove(temp);
        throw FileError(notWritten(to, error, io.exists(to)));
    }
}

// Everything written to the folder's file system reaches the disk: one
// syncfs for all the copies instead of one fsync each.
void flushFileSystem(const fs::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool ok = fd >= 0 && ::syncfs(fd) == 0;
    if (fd >= 0) ::close(fd);
    if (!ok) throw FileError("フォルダ" + displayName(folder) + "に書いたデータを保存できませんでした。");
}

// The copies of a plan: all written under temporary names, made durable
// together, then renamed one by one to their names, so that a name never
// stands for a torn or unflushed copy. On a failure the temporary files are
// removed and the copies already renamed stay (whole).
int copyAll(Io& io, const fs::path& folder, const std::vector<CopyPlan>& plan,
            const std::function<void(int done)>& step) {
    std::size_t staged = 0;
    try {
        for (const CopyPlan& c : plan) {
            if (step) step(static_cast<int>(staged));
            stageCopy(io, c.from, c.to);
            ++staged;
        }
        if (!plan.empty()) flushFileSystem(folder);
        int renamed = 0;
        for (const CopyPlan& c : plan) {
            if (!io.rename(stagedName(c.to), c.to))
                throw FileError("ファイル" + displayName(c.to) + "を書けませんでした。");
            ++renamed;
        }
        return renamed;
    } catch (...) {
        for (std::size_t i = 0; i < staged; ++i) io.remove(stagedName(plan[i].to));
        throw;
    }
}

}  // namespace

FolderChoice chooseProgramFolder(const std::optional<fs::path>& given, const fs::path& executableFolder,
                                 const fs::path& userDataFolder, Io& io) {
    if (given) return {*given, FolderSource::Given};
    if (io.isDirectory(AppFolders{executableFolder}.work())) return {executableFolder, FolderSource::Portable};
    return {userDataFolder, FolderSource::User};
}

std::optional<fs::path> findShippedData(const fs::path& executableFolder, Io& io) {
    const fs::path candidates[] = {
        executableFolder / ".." / "share" / "tabinowa",
        executableFolder / "data",
        executableFolder / ".." / "data",
    };
    for (const fs::path& c : candidates) {
        if (holdsMasters(io, c)) return c.lexically_normal();
    }
    return std::nullopt;
}

std::optional<std::string> readDataVersion(Io& io, const fs::path& folder) {
    const fs::path file = folder / kDataVersionFile;
    if (!io.exists(file)) return std::nullopt;
    std::string text = readWholeFile(io, file);
    std::erase(text, '\r');
    const std::size_t nl = text.find('\n');
    std::string version = nl == std::string::npos ? std::string{} : text.substr(nl + 1);
    while (!version.empty() && version.back() == '\n') version.pop_back();
    if (nl == std::string::npos || std::string_view(text).substr(0, nl) != kVersionSignature ||
        !versionParts(version))
        throw FileError("ファイル" + displayName(file) + "の形式が正しくありません。");
    return version;
}

std::string dataVersionBytes(const std::string& version) {
    if (!versionParts(version))
        throw FileError("データ版「" + version + "」の形式が正しくありません。");
    return std::string(kVersionSignature) + "\n" + version + "\n";
}

void writeDataVersion(Io& io, const fs::path& folder, const std::string& version) {
    writeFileAtomic(io, folder / kDataVersionFile, dataVersionBytes(version));
}

std::vector<ShippedFile> shippedFiles(const fs::path& shipped, const fs::path& folder) {
    std::vector<ShippedFile> out;
    for (const CopyPlan& c : copyPlan(shipped, folder)) out.push_back({c.from, c.to});
    return out;
}

int compareDataVersions(const std::string& a, const std::string& b) {
    const auto pa = versionParts(a);
    const auto pb = versionParts(b);
    if (!pa || !pb) return a < b ? -1 : (a == b ? 0 : 1);
    const std::size_t n = std::max(pa->size(), pb->size());
    for (std::size_t i = 0; i < n; ++i) {
        const long x = i < pa->size() ? (*pa)[i] : 0;
        const long y = i < pb->size() ? (*pb)[i] : 0;
        if (x != y) return x < y ? -1 : 1;
    }
    return 0;
}

namespace {

// The working files of each build: a build runs only where none of them is
// there, and a folder holding only some of them is noted.
std::vector<fs::path> questionOutputs(const AppFolders& f) { return {f.questionRecords(), f.pointFile()}; }
std::vector<fs::path> cityOutputs(const AppFolders& f) { return {f.cityRecords(), f.rangeFile(), f.visitMarks()}; }

int present(Io& io, const std::vector<fs::path>& files) {
    return static_cast<int>(std::count_if(files.begin(), files.end(), [&](const fs::path& p) { return io.exists(p); }));
}

}  // namespace

bool folderIsReady(const fs::path& folder, const std::optional<fs::path>& shipped, Io& io) {
    const AppFolders f{folder};
    if (!io.isDirectory(f.data()) || !io.isDirectory(f.map()) || !io.isDirectory(f.work())) return false;
    if (!holdsMasters(io, folder)) return false;
    const auto q = questionOutputs(f), c = cityOutputs(f);
    if (present(io, q) != static_cast<int>(q.size()) || present(io, c) != static_cast<int>(c.size())) return false;
    if (shipped) {
        try {
            for (const CopyPlan& p : copyPlan(*shipped, folder))
                if (!io.exists(p.to)) return false;
        } catch (const FileError&) {
            return false;  // the shipped data cannot be listed: the preparation says why
        }
    }
    return true;
}

SetupReport prepareProgramFolder(const fs::path& folder, const std::optional<fs::path>& shipped, Io& io,
                                 Random& random, const std::function<void(const SetupProgress&)>& progress) {
    SetupReport report;
    const AppFolders f{folder};
    auto tell = [&](const std::string& text, int done, int total) {
        if (progress) progress({text, done, total});
    };

    makeFolder(f.data());
    makeFolder(f.map());
    makeFolder(f.work());

    if (shipped) {
        // A folder without any master takes the shipped data set whole: its
        // version is written first, so a start stopped halfway still knows it.
        const bool noMaster = !io.exists(f.questionMaster()) && !io.exists(f.cityMaster()) &&
                              !io.exists(f.prefectureData());
        if (noMaster && !io.exists(folder / kDataVersionFile)) {
            if (const auto v = readDataVersion(io, *shipped)) writeDataVersion(io, folder, *v);
        }
        std::vector<CopyPlan> plan = copyPlan(*shipped, folder);
        std::erase_if(plan, [&](const CopyPlan& c) { return io.exists(c.to); });
        const int total = static_cast<int>(plan.size());
        report.copied = copyAll(io, folder, plan, [&](int i) {
            tell("データをコピーしています（" + std::to_string(i + 1) + "/" + std::to_string(total) + "）", i, total);
        });
    }
    if (!holdsMasters(io, folder)) {
        if (!shipped)
            throw FileError("同梱のデータが見つかりません。フォルダ" + displayName(folder) +
                            "に「作業ファイル」と「file1」のデータを置いてください。");
        throw FileError("フォルダ" + displayName(f.work()) + "のマスターがそろっていません。");
    }

    // A build runs only where none of its outputs is there: a learner's
    // progress (removed questions, points, visits) is never made again.
    const int questionFiles = present(io, questionOutputs(f));
    const int cityFiles = present(io, cityOutputs(f));
    Session session(folder, io, random);
    if (questionFiles == 0) {
        tell("問題ファイルを作成しています", 0, 2);
        buildQuestionFile(session);
        report.questionsBuilt = true;
    } else if (questionFiles < 2) {
        report.notes.push_back("問題ファイルの一部がありません。環境作成の「ランダムファイル作成」で作り直してください。");
    }
    if (cityFiles == 0) {
        tell("市町村ファイルを作成しています", 1, 2);
        buildCityFiles(session);
        report.citiesBuilt = true;
    } else if (cityFiles < 3) {
        report.notes.push_back("市町村ファイルの一部がありません。環境作成の「市町村ランダムファイル作成」で作り直してください。");
    }
    tell("準備ができました", 2, 2);
    return report;
}

}  // namespace tabinowa
