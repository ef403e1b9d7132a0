// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/files/messages.h"

#include <cerrno>
#include <cstdio>
#include <utility>

#include "core/files/folders.h"

namespace tabinowa {

const char* const kUnchanged = "ファイルは変えていません。";

std::string questionRepair() {
    return std::string(kUnchanged) +
           "「環境作成」の「ランダムファイル作成」で作り直せます（ポイントは0に、消去済みの問題は全て復活します）。";
}

std::string cityRepair() {
    return std::string(kUnchanged) + "「環境作成」の「市町村ランダムファイル作成」で作り直せます（訪問の記録は全て消えます）。";
}

std::string masterRepair() {
    return std::string(kUnchanged) + "ファイルを直すか、配布されたものに置き換えてから、もう一度してください。";
}

std::string causeOf(int error) {
    switch (error) {
        case ENOSPC:
        case EDQUOT: return "ディスクがいっぱいです";
        case EROFS: return "読み取り専用の場所なので書き込めません";
        case EACCES:
        case EPERM: return "書き込みが許されていません";
        case EISDIR: return "同じ名前のフォルダがあります";
        case ENOTDIR: return "フォルダのあるべき所にファイルがあります";
        case ENAMETOOLONG: return "名前が長すぎます";
        case EIO: return "ディスクを読み書きできませんでした";
        case EFBIG: return "ファイルが大きすぎます";
        default: return {};
    }
}

std::string wayOutOf(int error) {
    switch (error) {
        case ENOSPC:
        case EDQUOT: return "ディスクに空きを作ってから、もう一度してください。";
        case EROFS:
        case EACCES:
        case EPERM: return "書き込めるようにしてから、もう一度してください。";
        case EISDIR: return "そのフォルダを別の場所に移してから、もう一度してください。";
        case ENOTDIR: return "そのファイルを別の場所に移してから、もう一度してください。";
        default: return "もう一度してください。";
    }
}

namespace {
std::string causeSentence(int error) {
    const std::string cause = causeOf(error);
    return cause.empty() ? std::string() : "（" + cause + "）";
}
}  // namespace

std::string notWritten(const std::filesystem::path& file, int error, bool hadOld) {
    return "ファイル" + displayName(file) + "を書けませんでした" + causeSentence(error) + "。" +
           (hadOld ? "元のファイルはそのままです。" : "何も作っていません。") + wayOutOf(error);
}

std::string notRead(const std::filesystem::path& file, int error) {
    std::string cause = causeSentence(error);
    if (error == EACCES || error == EPERM) cause = "（読むことが許されていません）";
    return "ファイル" + displayName(file) + "を読めませんでした" + cause + "。" + kUnchanged;
}

namespace {
constexpr std::uint64_t KiB = 1024, MiB = 1024 * KiB;

std::string rawName(const std::filesystem::path& p) {
    const auto u8 = p.filename().u8string();
    return std::string(u8.begin(), u8.end());
}

bool endsWith(const std::string& s, std::string_view tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}
}  // namespace

std::uint64_t sizeLimit(const std::filesystem::path& file) {
    // Each at many times what the shipped data needs (問題.csv 6 MB, 市町村.csv
    // 0.9 MB, 区域.dat 1 MB, a picture 40 KB), and low enough that a file
    // beyond it is refused at once instead of read for seconds.
    static const std::pair<const char*, std::uint64_t> kLimits[] = {
        {"問題.ran", kMaxQuestionRecords * 2578ull},
        {"市町村.ran", kMaxCityRecords * 8128ull},
        {"訪問消去.ran", kMaxCityRecords * 6ull},
        {"point.csv", 1 * KiB},
        {"県範囲.csv", 64 * KiB},
        {"都道府県データ.csv", 64 * KiB},
        {"問題.csv", 64 * MiB},
        {"市町村.csv", 64 * MiB},
        {"問題難度.csv", 16 * MiB},
        {"区域.dat", 64 * MiB},
        {"記憶.txt", 64 * MiB},
        {"tabinowa.journal", 4 * MiB},
        {"tabinowa-data-version.txt", 4 * KiB},
    };
    const std::string name = rawName(file);
    for (const auto& [n, limit] : kLimits)
        if (name == n) return limit;
    if (!name.empty() && name[0] == 'k' && endsWith(name, ".jpg")) return 32 * MiB;
    return 0;
}

std::string sizeText(std::uint64_t bytes) {
    char buf[64];
    if (bytes >= 10 * MiB) {
        std::snprintf(buf, sizeof buf, "%.1fメガバイト", static_cast<double>(bytes) / 1e6);
        return buf;
    }
    std::string digits = std::to_string(bytes), out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out + "バイト";
}

std::string tooLarge(const std::filesystem::path& file, std::uint64_t size, std::uint64_t limit,
                     const std::string& repair) {
    return "ファイル" + displayName(file) + "が大きすぎます（" + sizeText(size) + "、上限" + sizeText(limit) +
           "）。読まずに止めました。" + (repair.empty() ? std::string(kUnchanged) : repair);
}

namespace {
// 環境作成's repair of the memory, without the sentence before it. A
// database set aside is made again from an old 記憶.txt, when there is one.
const char* const kMemoryRebuild =
    "「環境作成」の「記憶を作り直す」で、このファイルを別の名前にして残し、記憶を新しく始められます。";
const char* const kDatabaseRebuild =
    "「環境作成」の「記憶を作り直す」で、このファイルを別の名前にして残し、記憶を新しく始められます"
    "（古い「記憶.txt」があれば、その内容から始めます）。";
}  // namespace

std::string memoryRepair() { return std::string(kUnchanged) + kMemoryRebuild; }

std::string memoryProblem(const std::filesystem::path& file, MemoryFault fault, long long version) {
    const std::string name = displayName(file);
    const auto u8 = file.filename().u8string();
    const char* const rebuild = u8 == u8"記憶.db" ? kDatabaseRebuild : kMemoryRebuild;
    const std::string repair = kUnchanged + std::string(rebuild);
    switch (fault) {
        case MemoryFault::Damaged:
            return "記憶のファイル" + name + "が壊れていて読めません。" + repair;
        case MemoryFault::NotOurs:
            return "ファイル" + name + "は、このプログラムの記憶ではありません（ほかのプログラムのファイルです）。" +
                   repair;
        case MemoryFault::OtherVersion:
            return "記憶のファイル" + name + "は、ほかの版のプログラムの形式（" + std::to_string(version) +
                   "版）で、この版では読めません。" + kUnchanged + "その版のプログラムで使うか、" + rebuild;
        case MemoryFault::Locked:
            return "記憶のファイル" + name + "は、ほかのプログラムが使っています。" + kUnchanged +
                   "そのプログラムを閉じてから、起動し直してください。";
        case MemoryFault::Unwritable:
            return "記憶のファイル" + name + "に書き込めません（書き込みが許されていないか、読み取り専用の場所です）。" +
                   kUnchanged + "書き込めるようにしてから、起動し直してください。";
        case MemoryFault::DiskFull:
            return "ディスクがいっぱいで、記憶のファイル" + name + "に書き込めません。" + kUnchanged +
                   "ディスクに空きを作ってから、起動し直してください。";
        case MemoryFault::Failed:
            break;
    }
    return "記憶のファイル" + name + "を読み書きできませんでした。" + kUnchanged +
           "起動し直しても直らなければ、" + rebuild;
}

std::string memoryInCp932(const std::filesystem::path& file) {
    return "記憶のファイル" + displayName(file) +
           "がシフトJISで保存されていて読めません（UTF-8で書かれるファイルです）。" + kUnchanged +
           "エディタで文字コードをUTF-8にして保存し直してから起動し直すと、そのまま読めます。記憶なしで始めるなら、" +
           kMemoryRebuild;
}

std::string repairFor(const std::filesystem::path& file) {
    const std::string name = rawName(file);
    if (name == "記憶.db" || name == "記憶.txt" || name == "記憶.step") return memoryRepair();
    if (name == "問題.ran" || name == "point.csv") return questionRepair();
    if (name == "市町村.ran" || name == "県範囲.csv" || name == "訪問消去.ran") return cityRepair();
    if (name == "問題.csv" || name == "市町村.csv" || name == "都道府県データ.csv" || name == "問題難度.csv" ||
        name == "区域.dat" || (!name.empty() && name[0] == 'k' && endsWith(name, ".jpg")))
        return masterRepair();
    return {};
}

}  // namespace tabinowa
