// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// An Io that fails at the k-th write, flush, rename, close or folder sync (counted
// together, from 1), and otherwise does what the real one does. With k = 0 it
// only counts, so a test can learn how many such points an operation has.
#include "core/files/io.h"

namespace tabinowa::testing {

class FaultyIo final : public Io {
public:
    explicit FaultyIo(int failAt = 0) : failAt_(failAt) {}
    int points() const { return count_; }
    bool failed() const { return failed_; }

    int open(const std::filesystem::path& p, Mode mode) override { return real_.open(p, mode); }
    long readAt(int fd, void* buf, std::size_t n, std::uint64_t off) override { return real_.readAt(fd, buf, n, off); }
    long writeAt(int fd, const void* buf, std::size_t n, std::uint64_t off) override {
        if (hit()) {
            // a torn write: half of it reaches the disk
            real_.writeAt(fd, buf, n / 2, off);
            return -1;
        }
        return real_.writeAt(fd, buf, n, off);
    }
    bool flush(int fd) override { return !hit() && real_.flush(fd); }
    bool close(int fd) override {
        bool fail = hit();
        bool ok = real_.close(fd);
        return ok && !fail;
    }
    long long size(int fd) override { return real_.size(fd); }
    bool truncate(int fd, std::uint64_t n) override { return !hit() && real_.truncate(fd, n); }
    bool rename(const std::filesystem::path& a, const std::filesystem::path& b) override {
        return !hit() && real_.rename(a, b);
    }
    bool remove(const std::filesystem::path& p) override { return real_.remove(p); }
    bool exists(const std::filesystem::path& p) override { return real_.exists(p); }
    bool isDirectory(const std::filesystem::path& p) override { return real_.isDirectory(p); }
    bool syncFolder(const std::filesystem::path& p) override { return !hit() && real_.syncFolder(p); }
    std::vector<std::string> listFolder(const std::filesystem::path& p) override { return real_.listFolder(p); }

private:
    bool hit() {
        ++count_;
        if (count_ == failAt_) {
            failed_ = true;
            return true;
        }
        return false;
    }
    PosixIo real_;
    int failAt_;
    int count_ = 0;
    bool failed_ = false;
};

}  // namespace tabinowa::testing
