// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/files/visit_state.h"

#include "core/files/error.h"
#include "core/files/load_checks.h"
#include "core/files/record_file.h"
#include "core/files/records.h"
#include "core/files/text_file.h"

namespace tabinowa {

std::int32_t readPoints(Io& io, const AppFolders& folders) {
    auto path = folders.pointFile();
    std::string bytes = readWholeFile(io, path);
    // the field reader's own refusals first (an empty file, bytes that are not CP932, out of range)
    std::int32_t total = 0;
    try {
        FieldReader r(bytes, displayName(path));
        total = r.readInt32();
    } catch (const FileError& e) {
        throw FileError(e.what() + questionRepair());
    }
    // then the whole file must be that one number: text read as 0, or a second
    // number, would be written over at the next right answer
    std::size_t end = bytes.size();
    while (end > 0 && (bytes[end - 1] == '\r' || bytes[end - 1] == '\n')) --end;
    if (!parseNumber(std::string_view(bytes).substr(0, end)))
        throw FileError("ファイル" + displayName(path) +
                        "が壊れています（整数一つではありません）。" + questionRepair());
    return total;
}

std::string pointBytes(const AppFolders& folders, std::int32_t total) {
    TextWriter w(displayName(folders.pointFile()));
    w.printNumber(total);
    return w.bytes();
}

void writePoints(Io& io, const AppFolders& folders, std::int32_t total, const std::optional<Companion>& along) {
    if (!along) {
        writeFileAtomic(io, folders.pointFile(), pointBytes(folders, total));
        return;
    }
    FileSet set(io, folders.journal());
    set.stage(folders.pointFile(), pointBytes(folders, total));
    set.stage(along->target, along->bytes);
    set.commit();
}

std::string readMarkBytes(Io& io, const AppFolders& folders) {
    auto path = folders.visitMarks();
    if (io.exists(path)) return readWholeFile(io, path);
    if (!io.isDirectory(path.parent_path()))
        throw FileError("フォルダ" + displayName(path.parent_path()) + "がありません。");
    return {};
}

std::string withVisited(std::string marks, int n) {
    if (n < 1) throw FileError("訪問した市町村の番号" + std::to_string(n) + "が正しくありません。");
    const std::size_t at = static_cast<std::size_t>(n - 1) * Homon::kLength;
    if (marks.size() < at + Homon::kLength) {
        // a slot partly beyond the end reads as zero bytes, whole
        if (marks.size() > at) marks.resize(at);
        marks.resize(at + Homon::kLength, '\0');
    }
    Homon h = Homon::decode(std::string_view(marks).substr(at, Homon::kLength));
    h.Homon = 1;
    marks.replace(at, Homon::kLength, h.encode());
    return marks;
}

std::string withNoVisits(std::string bytes) {
    const std::size_t whole = bytes.size() / Homon::kLength * Homon::kLength;
    for (std::size_t at = 0; at < whole; at += Homon::kLength) {
        bytes[at + homon::Homon.offset] = 0;
        bytes[at + homon::Homon.offset + 1] = 0;
    }
    return bytes;
}

bool readMark(Io& io, const AppFolders& folders, int n) {
    // read only: a missing file holds no visit and is not created
    if (n < 1 || !io.exists(folders.visitMarks())) return false;
    const int fd = io.open(folders.visitMarks(), Io::Mode::Read);
    if (fd < 0) throw FileError("ファイル" + displayName(folders.visitMarks()) + "を開けませんでした。");
    char bytes[Homon::kLength] = {};
    const long r = io.readAt(fd, bytes, Homon::kLength, static_cast<std::uint64_t>(n - 1) * Homon::kLength);
    io.close(fd);
    if (r < 0) throw FileError("ファイル" + displayName(folders.visitMarks()) + "を読めませんでした。");
    return r == static_cast<long>(Homon::kLength) && HomonView(std::string_view(bytes, Homon::kLength)).visited();
}

void setVisited(Io& io, const AppFolders& folders, int n) {
    RecordFile f(io, folders.visitMarks(), Homon::kLength);
    Homon h = Homon::decode(f.get(n));
    h.Homon = 1;
    f.put(n, h.encode());
}

void resetMarks(Io& io, const AppFolders& folders) {
    writeFileAtomic(io, folders.visitMarks(), withNoVisits(readMarkBytes(io, folders)));
}

}  // namespace tabinowa
