// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/files/load_checks.h"

#include <cerrno>
#include <cmath>
#include <optional>
#include <string_view>

#include "core/files/error.h"
#include "core/files/records.h"

namespace tabinowa {
namespace {

}  // namespace

long long checkedSize(Io& io, const std::filesystem::path& path, const std::string& repair) {
    const std::string name = displayName(path);
    if (!io.isDirectory(path.parent_path()))
        throw FileError("フォルダ" + displayName(path.parent_path()) + "がありません。" + name + "を開けませんでした。" +
                        repair);
    if (io.isDirectory(path)) throw FileError("ファイル" + name + "の場所にフォルダがあります。" + repair);
    if (!io.exists(path)) throw FileError("ファイル" + name + "がありません。" + repair);
    const int fd = io.open(path, Io::Mode::Read);
    if (fd < 0) throw FileError(notRead(path, errno));
    const long long size = io.size(fd);
    const int error = errno;
    io.close(fd);
    if (size < 0) throw FileError(notRead(path, error));
    const std::uint64_t limit = sizeLimit(path);
    if (limit != 0 && static_cast<std::uint64_t>(size) > limit)
        throw FileError(tooLarge(path, static_cast<std::uint64_t>(size), limit, repair));
    return size;
}

namespace {

int wholeRecords(Io& io, const std::filesystem::path& path, std::size_t length, const std::string& repair) {
    const long long size = checkedSize(io, path, repair);
    const auto L = static_cast<long long>(length);
    if (size % L != 0)
        throw FileError("ファイル" + displayName(path) + "が壊れています（" + std::to_string(size) + "バイトは1件" +
                        std::to_string(L) + "バイトの記録の倍数ではなく、" + std::to_string(size / L + 1) +
                        "件目が途中で切れています）。" + repair);
    return static_cast<int>(size / L);
}

// A field of a range line as a whole number, or nothing.
std::optional<long long> whole(const Value& v) {
    const auto n = v.asNumber();
    if (!n || !std::isfinite(*n) || std::fabs(*n) > 1e9 || *n != std::floor(*n)) return std::nullopt;
    return static_cast<long long>(*n);
}

}  // namespace

int checkQuestionRecords(Io& io, const AppFolders& folders) {
    const auto path = folders.questionRecords();
    const int count = wholeRecords(io, path, Mondai::kLength, questionRepair());
    // An empty file is a bank of no questions (what a build of an empty master writes).
    return count;
}

int checkCityRecords(Io& io, const AppFolders& folders) {
    const auto path = folders.cityRecords();
    const int count = wholeRecords(io, path, City::kLength, cityRepair());
    if (count == 0) throw FileError("ファイル" + displayName(path) + "が空です（市町村が1件もありません）。" + cityRepair());
    return count;
}

void checkRanges(const std::vector<KenHani>& table, int cityCount, const AppFolders& folders) {
    const std::string name = displayName(folders.rangeFile());
    const std::string cities = displayName(folders.cityRecords());
    if (table.empty()) throw FileError("ファイル" + name + "に都道府県の行が1行もありません。" + cityRepair());
    long long next = 1;  // the record the next line must start with
    for (std::size_t i = 0; i < table.size(); ++i) {
        const KenHani& k = table[i];
        const std::string line = "ファイル" + name + "の" + std::to_string(i + 1) + "行目";
        const std::pair<const Value*, const char*> fields[] = {
            {&k.KenNo, "1列目（番号）"}, {&k.StartRec, "4列目（最初の件）"}, {&k.EndRec, "5列目（最後の件）"},
            {&k.HomonSu, "6列目（訪問数）"}};
        for (const auto& [v, what] : fields)
            if (!whole(*v)) throw FileError(line + "の" + what + "が整数ではありません。" + cityRepair());
        const long long start = *whole(k.StartRec), end = *whole(k.EndRec), visits = *whole(k.HomonSu);
        const std::string range = std::to_string(start) + "～" + std::to_string(end) + "件目";
        if (start > cityCount || end > cityCount || start < 1 || end < start)
            throw FileError(line + "（" + k.name() + "）の" + range + "が、ファイル" + cities + "（" +
                            std::to_string(cityCount) + "件）の記録と合いません。" + cityRepair());
        if (start != next)
            throw FileError(line + "（" + k.name() + "）の" + range + "は、" + std::to_string(next) +
                            "件目から始まるはずです（前の行と重なるか、間が空いています）。" + cityRepair());
        if (visits < 0 || visits > end - start + 1)
            throw FileError(line + "（" + k.name() + "）の訪問数" + std::to_string(visits) + "が0～" +
                            std::to_string(end - start + 1) + "の範囲にありません。" + cityRepair());
        next = end + 1;
    }
    if (next != cityCount + 1)
        throw FileError("ファイル" + name + "の行は" + std::to_string(next - 1) + "件目までですが、ファイル" + cities +
                        "には" + std::to_string(cityCount) + "件あります。" + cityRepair());
}

std::vector<KenHani> loadRanges(Io& io, const AppFolders& folders) {
    std::vector<KenHani> table;
    try {
        table = readRanges(io, folders);
    } catch (const FileError& e) {
        // a file that is there but cannot be read is damage the rebuild mends;
        // its way out said once (a size refusal already says it)
        const std::string said = e.what();
        const std::string repair = cityRepair();
        if (!io.exists(folders.rangeFile()) || said.find(repair) != std::string::npos) throw;
        if (said.find(kUnchanged) != std::string::npos)
            throw FileError(said + repair.substr(std::string_view(kUnchanged).size()));
        throw FileError(said + repair);
    }
    checkRanges(table, checkCityRecords(io, folders), folders);
    return table;
}

std::string checkVisitMarks(Io& io, const AppFolders& folders, int cityCount) {
    const auto path = folders.visitMarks();
    const std::string name = displayName(path);
    const long long size = checkedSize(io, path, cityRepair());
    const long long want = static_cast<long long>(cityCount) * static_cast<long long>(Homon::kLength);
    if (size != want)
        throw FileError("ファイル" + name + "の大きさ（" + std::to_string(size) + "バイト）が、ファイル" +
                        displayName(folders.cityRecords()) + "の" + std::to_string(cityCount) + "件に合いません（" +
                        std::to_string(want) + "バイトのはずです）。" + cityRepair());
    std::string bytes = readWholeFile(io, path);
    if (static_cast<long long>(bytes.size()) != want)
        throw FileError("ファイル" + name + "を読む間に大きさが変わりました。");
    for (std::size_t at = 0; at < bytes.size(); at += Homon::kLength) {
        if (bytes.compare(at, Homon::kLength, std::string(Homon::kLength, '\0')) == 0)
            throw FileError("ファイル" + name + "の" + std::to_string(at / Homon::kLength + 1) +
                            "件目が0で埋まっています（訪問の印と記録の番号が消えています）。" + cityRepair());
        const std::int16_t flag = HomonView(std::string_view(bytes).substr(at)).flag();
        if (flag != 0 && flag != 1)
            throw FileError("ファイル" + name + "の" + std::to_string(at / Homon::kLength + 1) + "件目の訪問の印（" +
                            std::to_string(flag) + "）が0でも1でもありません。" +
                            cityRepair());
    }
    return bytes;
}

void checkVisitsAgree(const std::vector<KenHani>& table, std::string_view marks, const AppFolders& folders) {
    for (std::size_t i = 0; i < table.size(); ++i) {
        const KenHani& k = table[i];
        const int start = k.startRec(), end = k.endRec();
        long long marked = 0;
        for (int n = start; n <= end; ++n) marked += markVisited(marks, n);
        const long long visits = *whole(k.HomonSu);
        if (visits != marked)
            throw FileError("ファイル" + displayName(folders.rangeFile()) + "の" + std::to_string(i + 1) + "行目（" +
                            k.name() + "）の訪問数" + std::to_string(visits) + "が、ファイル" +
                            displayName(folders.visitMarks()) + "の訪問の印の数" + std::to_string(marked) +
                            "と合いません。" + cityRepair());
    }
}

}  // namespace tabinowa
