// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// An Io over files held in memory: fast and hermetic, for fuzzing the builds
// and for tests that make many runs.
#include <map>
#include <set>
#include <string>

#include "core/files/io.h"

namespace tabinowa::testing {

class MemoryIo final : public Io {
public:
    void addFolder(const std::filesystem::path& p) { folders_.insert(p.lexically_normal()); }
    void setFile(const std::filesystem::path& p, std::string bytes) { files_[p.lexically_normal()] = std::move(bytes); }
    const std::map<std::filesystem::path, std::string>& files() const { return files_; }

    int open(const std::filesystem::path& p, Mode mode) override {
        auto key = p.lexically_normal();
        if (!folders_.count(key.parent_path())) return -1;
        auto it = files_.find(key);
        if (mode == Mode::Read && it == files_.end()) return -1;
        if (mode == Mode::WriteTruncate || it == files_.end()) files_[key].clear();
        int fd = next_++;
        open_[fd] = key;
        return fd;
    }
    long readAt(int fd, void* buf, std::size_t n, std::uint64_t off) override {
        auto it = open_.find(fd);
        if (it == open_.end()) return -1;
        const std::string& f = files_[it->second];
        if (off >= f.size()) return 0;
        std::size_t take = std::min<std::size_t>(n, f.size() - off);
        f.copy(static_cast<char*>(buf), take, off);
        return static_cast<long>(take);
    }
    long writeAt(int fd, const void* buf, std::size_t n, std::uint64_t off) override {
        auto it = open_.find(fd);
        if (it == open_.end()) return -1;
        std::string& f = files_[it->second];
        if (f.size() < off + n) f.resize(off + n, '\0');
        f.replace(off, n, static_cast<const char*>(buf), n);
        return static_cast<long>(n);
    }
    bool flush(int fd) override { return open_.count(fd) != 0; }
    bool close(int fd) override { return open_.erase(fd) != 0; }
    long long size(int fd) override {
        auto it = open_.find(fd);
        return it == open_.end() ? -1 : static_cast<long long>(files_[it->second].size());
    }
    bool truncate(int fd, std::uint64_t n) override {
        auto it = open_.find(fd);
        if (it == open_.end()) return false;
        files_[it->second].resize(n, '\0');
        return true;
    }
    bool rename(const std::filesystem::path& a, const std::filesystem::path& b) override {
        auto it = files_.find(a.lexically_normal());
        if (it == files_.end() || !folders_.count(b.lexically_normal().parent_path())) return false;
        std::string bytes = std::move(it->second);
        files_.erase(it);
        files_[b.lexically_normal()] = std::move(bytes);
        return true;
    }
    bool remove(const std::filesystem::path& p) override {
        files_.erase(p.lexically_normal());
        return true;
    }
    bool exists(const std::filesystem::path& p) override {
        auto key = p.lexically_normal();
        return files_.count(key) || folders_.count(key);
    }
    bool isDirectory(const std::filesystem::path& p) override { return folders_.count(p.lexically_normal()) != 0; }

private:
    std::map<std::filesystem::path, std::string> files_;
    std::set<std::filesystem::path> folders_;
    std::map<int, std::filesystem::path> open_;
    int next_ = 3;
};

}  // namespace tabinowa::testing
