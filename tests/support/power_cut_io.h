// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// An Io that loses its power at its k-th change to the disk (a write, flush,
// close, rename, removal or folder sync, counted together from 1): the k-th
// call does not happen, it throws Crash, and every later call fails. Unlike
// a killed process, a power cut also forgets what no folder flush made
// durable: every create, rename and removal in a folder since that folder's
// last sync is undone, newest first (a renamed file is back under its old
// name, a file the rename replaced comes back, a created file is gone, a
// removed file is back). File contents are kept (the changes under test
// flush every file before anything depends on it).
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/files/io.h"
#include "support/crash_io.h"
#include "support/temp_folder.h"

namespace tabinowa::testing {

class PowerCutIo final : public Io {
public:
    explicit PowerCutIo(int cutAt = 0) : cutAt_(cutAt) {}
    int points() const { return count_; }

    int open(const std::filesystem::path& p, Mode mode) override {
        if (dead_) return -1;
        const bool created = mode != Mode::Read && !real_.exists(p);
        const int fd = real_.open(p, mode);
        if (fd >= 0 && created) pending_.push_back({Op::Create, p, {}, std::nullopt});
        return fd;
    }
    long readAt(int fd, void* buf, std::size_t n, std::uint64_t off) override {
        return dead_ ? -1 : real_.readAt(fd, buf, n, off);
    }
    long writeAt(int fd, const void* buf, std::size_t n, std::uint64_t off) override {
        if (hit()) cut();
        return dead_ ? -1 : real_.writeAt(fd, buf, n, off);
    }
    bool flush(int fd) override {
        if (hit()) cut();
        return !dead_ && real_.flush(fd);
    }
    bool close(int fd) override {
        if (hit()) {
            real_.close(fd);
            cut();
        }
        return real_.close(fd) && !dead_;
    }
    long long size(int fd) override { return dead_ ? -1 : real_.size(fd); }
    bool truncate(int fd, std::uint64_t n) override {
        if (hit()) cut();
        return !dead_ && real_.truncate(fd, n);
    }
    bool rename(const std::filesystem::path& a, const std::filesystem::path& b) override {
        if (hit()) cut();
        if (dead_) return false;
        std::optional<std::string> replaced;
        if (real_.exists(b)) replaced = readBytes(b);
        if (!real_.rename(a, b)) return false;
        pending_.push_back({Op::Rename, b, a, replaced});
        return true;
    }
    bool remove(const std::filesystem::path& p) override {
        if (hit()) cut();
        if (dead_) return false;
        std::optional<std::string> was;
        if (real_.exists(p) && !real_.isDirectory(p)) was = readBytes(p);
        if (!real_.remove(p)) return false;
        if (was) pending_.push_back({Op::Remove, p, {}, was});
        return true;
    }
    bool exists(const std::filesystem::path& p) override { return !dead_ && real_.exists(p); }
    bool isDirectory(const std::filesystem::path& p) override { return !dead_ && real_.isDirectory(p); }
    bool syncFolder(const std::filesystem::path& folder) override {
        if (hit()) cut();
        if (dead_) return false;
        // what happened in this folder is durable now
        const auto f = folder.lexically_normal();
        std::erase_if(pending_, [&](const Pending& e) { return e.path.parent_path().lexically_normal() == f; });
        return real_.syncFolder(folder);
    }
    std::vector<std::string> listFolder(const std::filesystem::path& p) override {
        return dead_ ? std::vector<std::string>{} : real_.listFolder(p);
    }

private:
    enum class Op { Create, Rename, Remove };
    struct Pending {
        Op op;
        std::filesystem::path path;  // the name made, or removed
        std::filesystem::path from;  // a rename's old name
        std::optional<std::string> bytes;  // the file a rename replaced, or the removed file
    };
    bool hit() {
        if (dead_) return false;
        return ++count_ == cutAt_;
    }
    [[noreturn]] void cut() {
        dead_ = true;
        for (auto it = pending_.rbegin(); it != pending_.rend(); ++it) {
            switch (it->op) {
                case Op::Create: real_.remove(it->path); break;
                case Op::Rename:
                    real_.rename(it->path, it->from);
                    if (it->bytes) writeBytes(it->path, *it->bytes);
                    break;
                case Op::Remove: writeBytes(it->path, *it->bytes); break;
            }
        }
        pending_.clear();
        throw Crash{};
    }
    PosixIo real_;
    int cutAt_;
    int count_ = 0;
    bool dead_ = false;
    std::vector<Pending> pending_;
};

}  // namespace tabinowa::testing
