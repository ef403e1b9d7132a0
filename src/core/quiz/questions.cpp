// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/quiz/questions.h"

#include <cmath>

#include "core/base/random.h"
#include "core/files/cp932.h"
#include "core/files/error.h"
#include "core/files/load_checks.h"

namespace tabinowa {
namespace {
// The question file's path once it is known to be there with whole records.
std::filesystem::path checkedQuestionFile(Io& io, const AppFolders& folders) {
    checkQuestionRecords(io, folders);
    return folders.questionRecords();
}
}  // namespace

QuestionFile::QuestionFile(Io& io, const AppFolders& folders)
    : io_(io), journal_(folders.journal()), file_(io, checkedQuestionFile(io, folders), Mondai::kLength) {}

Mondai QuestionFile::get(int n) const {
    const std::string bytes = file_.get(n);
    try {
        return Mondai::decode(bytes, "ファイル" + displayName(file_.path()) + "の" + std::to_string(n) + "件目");
    } catch (const FileError& e) {
        throw FileError(e.what() + questionRepair());
    }
}

void QuestionFile::put(int n, const Mondai& m) {
    file_.put(n, m.encode("ファイル" + displayName(file_.path()) + "の" + std::to_string(n) + "件目"));
}

namespace {
// One byte of record n's removed flag, alone or with a companion through the journal.
void writeFlagByte(Io& io, RecordFile& file, const std::filesystem::path& journal, int n, char value,
                   const std::optional<Companion>& along) {
    const std::string_view flag(&value, 1);
    if (!along) {
        file.putAt(n, mondai::kRemovedByteAt, flag);
        return;
    }
    if (n < 1 || n > file.count())
        throw FileError("ファイル" + displayName(file.path()) + "の" + std::to_string(n) + "件目を書けませんでした。");
    FileSet set(io, journal);
    set.stage(along->target, along->bytes);
    set.patch(file.path(), static_cast<std::uint64_t>(n - 1) * Mondai::kLength + mondai::kRemovedByteAt, flag);
    set.commit();
}
}  // namespace

void QuestionFile::markRemoved(int n, const std::optional<Companion>& along) {
    // The removed flag's low byte set to 1 marks the record removed (any
    // value but 0 does). One byte cannot be written half.
    writeFlagByte(io_, file_, journal_, n, mondai::kRemovedByte, along);
}

void QuestionFile::unmarkRemoved(int n, const std::optional<Companion>& along) {
    writeFlagByte(io_, file_, journal_, n, '\0', along);
}

void reviveAll(Io& io, const AppFolders& folders, int total, const std::optional<Companion>& along) {
    auto path = folders.questionRecords();
    // a missing or cut file is refused: revival never makes a question file of its own
    checkQuestionRecords(io, folders);
    std::string bytes = readWholeFile(io, path);
    // a record beyond the end reads as zeros and is written back as such
    const std::size_t count = static_cast<std::size_t>(total < 0 ? 0 : total);
    if (count * Mondai::kLength > bytes.size()) bytes.resize(count * Mondai::kLength, '\0');
    clearRemovedFlags(bytes, count);
    if (!along) {
        writeFileAtomic(io, path, bytes);
        return;
    }
    FileSet set(io, folders.journal());
    set.stage(path, bytes);
    set.stage(along->target, along->bytes);
    set.commit();
}

std::string achievementLine(int removed, int total, bool afterRemoval) {
    long long percent = 0;
    if (total != 0) percent = static_cast<long long>(std::floor(static_cast<double>(removed) / total * 100.0));
    return "現在の達成率は\u3000" + std::to_string(removed) + (afterRemoval ? "件\u3000" : "件 ") +
           std::to_string(percent) + "％";
}

bool hasHint(const Mondai& m) { return leftChars(m.Sentaku[0], 4) != "    "; }

std::string hintText(const Mondai& m, Random& random) {
    std::array<std::string, 4> choice = m.Sentaku;
    std::array<int, 4> key{};
    for (auto& k : key) k = drawScaled(random, 10);
    for (int j = 0; j < 3; ++j)
        for (int k = j + 1; k < 4; ++k)
            if (key[j] > key[k]) {
                std::swap(key[j], key[k]);
                std::swap(choice[j], choice[k]);
            }
    std::string out = "《ヒント》\u3000" + leftChars(choice[0], 20);
    for (int i = 1; i < 4; ++i) out += "\r\n\u3000\u3000\u3000\u3000\u3000\u3000" + leftChars(choice[i], 20);
    return out;
}

}  // namespace tabinowa
