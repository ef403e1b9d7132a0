// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Every byte the program reads or writes goes through an Io. PosixIo is the
// real one; tests hand in their own to make the k-th write, flush, rename or
// close fail and check that no file is ever left torn.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tabinowa {

class Io {
public:
    virtual ~Io() = default;
    enum class Mode { Read, ReadWriteCreate, WriteTruncate };
    // Returns a descriptor, or -1 with errno set.
    virtual int open(const std::filesystem::path& p, Mode mode) = 0;
    // pread/pwrite semantics; return bytes done or -1.
    virtual long readAt(int fd, void* buf, std::size_t n, std::uint64_t offset) = 0;
    virtual long writeAt(int fd, const void* buf, std::size_t n, std::uint64_t offset) = 0;
    virtual bool flush(int fd) = 0;
    virtual bool close(int fd) = 0;
    virtual long long size(int fd) = 0;  // -1 on error
    // Cuts or extends the file to `size` bytes (the database's files need it).
    virtual bool truncate(int, std::uint64_t) { return false; }
    virtual bool rename(const std::filesystem::path& from, const std::filesystem::path& to) = 0;
    virtual bool remove(const std::filesystem::path& p) = 0;  // false when it fails (a missing file is no failure)
    virtual bool exists(const std::filesystem::path& p) = 0;
    virtual bool isDirectory(const std::filesystem::path& p) = 0;
    // Makes the folder's entries (names created, renamed or removed in it)
    // durable. An Io without folders of its own has nothing to do.
    virtual bool syncFolder(const std::filesystem::path&) { return true; }
    // The names of the plain files in a folder (no order); empty when the
    // folder cannot be read.
    virtual std::vector<std::string> listFolder(const std::filesystem::path&) { return {}; }
    // The first `size` bytes of an open file, seen by `use` while it runs;
    // false (with nothing seen) when they cannot be read. This one reads
    // them into memory; PosixIo maps the file instead, without a copy.
    virtual bool viewWhole(int fd, std::uint64_t size, const std::function<void(std::string_view)>& use);
};

class PosixIo final : public Io {
public:
    int open(const std::filesystem::path& p, Mode mode) override;
    long readAt(int fd, void* buf, std::size_t n, std::uint64_t offset) override;
    long writeAt(int fd, const void* buf, std::size_t n, std::uint64_t offset) override;
    bool flush(int fd) override;
    bool close(int fd) override;
    long long size(int fd) override;
    bool truncate(int fd, std::uint64_t size) override;
    bool rename(const std::filesystem::path& from, const std::filesystem::path& to) override;
    bool remove(const std::filesystem::path& p) override;
    bool exists(const std::filesystem::path& p) override;
    bool isDirectory(const std::filesystem::path& p) override;
    bool syncFolder(const std::filesystem::path& p) override;
    std::vector<std::string> listFolder(const std::filesystem::path& p) override;
    bool viewWhole(int fd, std::uint64_t size, const std::function<void(std::string_view)>& use) override;
};

// Reads a whole file. Throws FileError (Japanese, naming the file) when the
// folder or the file is missing or unreadable.
std::string readWholeFile(Io& io, const std::filesystem::path& p);

// Replaces a whole file: writes a temporary file in the same folder, flushes
// it and renames it over the old one. On any failure the old file is left as
// it was, the temporary file is removed, and FileError is thrown.
void writeFileAtomic(Io& io, const std::filesystem::path& p, std::string_view bytes);

}  // namespace tabinowa
