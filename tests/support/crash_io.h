// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// An Io that stops dead at its k-th change to the disk (a write, flush,
// close, rename, removal or folder sync, counted together from 1), as a
// process killed there would: the k-th call does not happen (a write lands
// half), it throws Crash, and every later call does nothing and fails. With
// k = 0 it only counts. Flushes are not made durable (a crash here keeps the
// page cache), which keeps thousands of runs fast.
#include <string>
#include <vector>

#include "core/files/io.h"

namespace tabinowa::testing {

struct Crash {};

class CrashIo final : public Io {
public:
    explicit CrashIo(int crashAt = 0) : crashAt_(crashAt) {}
    int points() const { return count_; }
    bool crashed() const { return dead_; }

    int open(const std::filesystem::path& p, Mode mode) override {
        if (dead_) return -1;
        return real_.open(p, mode);
    }
    long readAt(int fd, void* buf, std::size_t n, std::uint64_t off) override {
        return dead_ ? -1 : real_.readAt(fd, buf, n, off);
    }
    long writeAt(int fd, const void* buf, std::size_t n, std::uint64_t off) override {
        if (hit()) {
            real_.writeAt(fd, buf, n / 2, off);
            die();
        }
        return dead_ ? -1 : real_.writeAt(fd, buf, n, off);
    }
    bool flush(int) override {
        if (hit()) die();
        return !dead_;
    }
    bool close(int fd) override {
        if (hit()) {
            real_.close(fd);
            die();
        }
        return real_.close(fd) && !dead_;
    }
    long long size(int fd) override { return dead_ ? -1 : real_.size(fd); }
    bool truncate(int fd, std::uint64_t n) override {
        if (hit()) die();
        return !dead_ && real_.truncate(fd, n);
    }
    bool rename(const std::filesystem::path& a, const std::filesystem::path& b) override {
        if (hit()) die();
        return !dead_ && real_.rename(a, b);
    }
    bool remove(const std::filesystem::path& p) override {
        if (hit()) die();
        return !dead_ && real_.remove(p);
    }
    bool exists(const std::filesystem::path& p) override { return !dead_ && real_.exists(p); }
    bool isDirectory(const std::filesystem::path& p) override { return !dead_ && real_.isDirectory(p); }
    bool syncFolder(const std::filesystem::path&) override {
        if (hit()) die();
        return !dead_;
    }
    std::vector<std::string> listFolder(const std::filesystem::path& p) override {
        return dead_ ? std::vector<std::string>{} : real_.listFolder(p);
    }

private:
    bool hit() {
        if (dead_) return false;
        return ++count_ == crashAt_;
    }
    [[noreturn]] void die() {
        dead_ = true;
        throw Crash{};
    }
    PosixIo real_;
    int crashAt_;
    int count_ = 0;
    bool dead_ = false;
};

}  // namespace tabinowa::testing
