// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The visit game's state on disk: the point file "point.csv" and the visit
// marks "訪問消去.ran" (record n belongs to municipality record n).
#include <cstdint>
#include <optional>

#include "core/files/folders.h"
#include "core/files/io.h"
#include "core/files/journal.h"

namespace tabinowa {

// Reads the point total (one number). Throws FileError when the file is
// missing, empty, holds a number outside the 32-bit range, or holds anything
// but that one number (the message says how to rebuild it).
std::int32_t readPoints(Io& io, const AppFolders& folders);

// Replaces the point file with the total, printed as " 1500" CR LF; with a
// companion, both files change together through the journal.
void writePoints(Io& io, const AppFolders& folders, std::int32_t total,
                 const std::optional<Companion>& along = std::nullopt);
// The point file's bytes for a total.
std::string pointBytes(const AppFolders& folders, std::int32_t total);

// The visit marks' bytes as they are now ("" when the file is missing and its folder is there).
std::string readMarkBytes(Io& io, const AppFolders& folders);
// Those bytes with record n visited (Homon 1, the record's other fields kept;
// a record beyond the end extends the file with zero bytes).
std::string withVisited(std::string marks, int n);
// Those bytes with Homon 0 in every whole record.
std::string withNoVisits(std::string marks);

// True when record n of the visit marks has Homon not 0 (a record beyond the end reads as not visited).
bool readMark(Io& io, const AppFolders& folders, int n);

// Sets Homon of record n to 1, keeping the record's other fields.
void setVisited(Io& io, const AppFolders& folders, int n);

// Sets Homon of every whole record to 0; the number of records and the record
// numbers stay. The file is replaced atomically.
void resetMarks(Io& io, const AppFolders& folders);

}  // namespace tabinowa
