// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A file of fixed-length records addressed by number (from 1). Record n lies at
// bytes (n-1)*L .. n*L-1. Reading a record that lies wholly or partly beyond
// the end gives zero bytes; writing beyond the end extends the file. Each owner
// holds its own RecordFile; it is closed when the object goes.
#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "core/files/io.h"

namespace tabinowa {

class RecordFile {
public:
    // Opens for reading and writing; creates the file empty when it is missing
    // (the folder must exist). A file that may only be read (read-only place or
    // rights) is opened for reading: it reads as usual, and a write names the
    // cause. Throws FileError.
    RecordFile(Io& io, std::filesystem::path p, std::size_t recordLength);
    ~RecordFile();
    RecordFile(const RecordFile&) = delete;
    RecordFile& operator=(const RecordFile&) = delete;

    // Whole records in the file: its length divided by L, rounded down.
    int count() const;
    std::string get(int n) const;  // L bytes
    // Records first..last in order, `perBlock` at a time through one buffer:
    // `block(from, n, bytes)` sees records from..from+n-1 as n*L bytes. What
    // lies beyond the end when a block is read (the file shrank meanwhile)
    // reads as zero bytes, whole records, as with get(). Throws FileError
    // naming the first record of a block that cannot be read.
    void readBlocks(int first, int last, int perBlock,
                    const std::function<void(int from, int n, const char* bytes)>& block) const;
    void put(int n, std::string_view record);
    // Writes `bytes` at `offset` inside record n and nothing else.
    void putAt(int n, std::size_t offset, std::string_view bytes);
    void close();  // closing twice does nothing
    const std::filesystem::path& path() const { return path_; }
    std::size_t recordLength() const { return length_; }

private:
    Io& io_;
    std::filesystem::path path_;
    std::size_t length_;
    int fd_ = -1;
    int writeError_ = 0;  // why the file could only be opened for reading (errno), or 0
};

}  // namespace tabinowa
