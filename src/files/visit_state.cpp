#include "files/visit_state.h"

#include "files/error.h"
#include "files/record_file.h"
#include "files/records.h"
#include "files/text_file.h"

namespace tabinowa {

std::int32_t readPoints(Io& io, const AppFolders& folders) {
    auto path = folders.pointFile();
    FieldReader r(readWholeFile(io, path), displayName(path));
    return r.readInt32();
}

void writePoints(Io& io, const AppFolders& folders, std::int32_t total) {
    auto path = folders.pointFile();
    TextWriter w(displayName(path));
    w.printNumber(total);
    writeFileAtomic(io, path, w.bytes());
}

bool readMark(Io& io, const AppFolders& folders, int n) {
    RecordFile f(io, folders.visitMarks(), Homon::kLength);
    return Homon::decode(f.get(n)).Homon != 0;
}

void setVisited(Io& io, const AppFolders& folders, int n) {
    RecordFile f(io, folders.visitMarks(), Homon::kLength);
    Homon h = Homon::decode(f.get(n));
    h.Homon = 1;
    f.put(n, h.encode());
}

void resetMarks(Io& io, const AppFolders& folders) {
    auto path = folders.visitMarks();
    std::string bytes;
    if (io.exists(path)) bytes = readWholeFile(io, path);
    else if (!io.isDirectory(path.parent_path()))
        throw FileError("フォルダ" + displayName(path.parent_path()) + "がありません。");
    const std::size_t whole = bytes.size() / Homon::kLength * Homon::kLength;
    for (std::size_t at = 0; at < whole; at += Homon::kLength) {
        bytes[at] = 0;
        bytes[at + 1] = 0;
    }
    writeFileAtomic(io, path, bytes);
}

}  // namespace tabinowa
