// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/files/io.h"

#include <sys/mman.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/files/error.h"
#include "core/files/messages.h"
#include "core/files/folders.h"

namespace tabinowa {

std::string displayName(const std::filesystem::path& p) {
    auto u8 = p.filename().u8string();
    return "「" + std::string(u8.begin(), u8.end()) + "」";
}

int PosixIo::open(const std::filesystem::path& p, Mode mode) {
    int flags = O_CLOEXEC;
    switch (mode) {
        case Mode::Read: flags |= O_RDONLY; break;
        case Mode::ReadWriteCreate: flags |= O_RDWR | O_CREAT; break;
        case Mode::WriteTruncate: flags |= O_WRONLY | O_CREAT | O_TRUNC; break;
    }
    return ::open(p.c_str(), flags, 0644);
}

long PosixIo::readAt(int fd, void* buf, std::size_t n, std::uint64_t offset) {
    std::size_t done = 0;
    while (done < n) {
        ssize_t r = ::pread(fd, static_cast<char*>(buf) + done, n - done, static_cast<off_t>(offset + done));
        if (r < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (r == 0) break;
        done += static_cast<std::size_t>(r);
    }
    return static_cast<long>(done);
}

long PosixIo::writeAt(int fd, const void* buf, std::size_t n, std::uint64_t offset) {
    std::size_t done = 0;
    while (done < n) {
        ssize_t r = ::pwrite(fd, static_cast<const char*>(buf) + done, n - done, static_cast<off_t>(offset + done));
        if (r < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        done += static_cast<std::size_t>(r);
    }
    return static_cast<long>(done);
}

bool PosixIo::flush(int fd) { return ::fsync(fd) == 0; }
bool PosixIo::close(int fd) { return ::close(fd) == 0; }

long long PosixIo::size(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return -1;
    return static_cast<long long>(st.st_size);
}

bool PosixIo::truncate(int fd, std::uint64_t size) { return ::ftruncate(fd, static_cast<off_t>(size)) == 0; }

bool PosixIo::rename(const std::filesystem::path& from, const std::filesystem::path& to) {
    return ::rename(from.c_str(), to.c_str()) == 0;
}

bool PosixIo::remove(const std::filesystem::path& p) {
    return ::unlink(p.c_str()) == 0 || errno == ENOENT;
}

bool PosixIo::exists(const std::filesystem::path& p) {
    std::error_code ec;
    return std::filesystem::exists(p, ec);
}

bool PosixIo::isDirectory(const std::filesystem::path& p) {
    std::error_code ec;
    return std::filesystem::is_directory(p, ec);
}

bool PosixIo::syncFolder(const std::filesystem::path& p) {
    int fd = ::open(p.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = ::fsync(fd) == 0;
    return ::close(fd) == 0 && ok;
}

std::vector<std::string> PosixIo::listFolder(const std::filesystem::path& p) {
    std::vector<std::string> names;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(p, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code ec2;
        if (!it->is_regular_file(ec2)) continue;
        auto u8 = it->path().filename().u8string();
        names.emplace_back(u8.begin(), u8.end());
    }
    return names;
}

namespace {

[[noreturn]] void missingOrUnreadable(Io& io, const std::filesystem::path& p, bool writing) {
    const int error = errno;
    if (!io.isDirectory(p.parent_path()))
        throw FileError("フォルダ" + displayName(p.parent_path()) + "がありません。" + displayName(p) +
                        (writing ? "を書けませんでした。" : "を読めませんでした。") + kUnchanged);
    if (writing) throw FileError(notWritten(p, error, io.exists(p)));
    if (io.isDirectory(p))
        throw FileError("ファイル" + displayName(p) + "の場所に同じ名前のフォルダがあります。" +
                        (repairFor(p).empty() ? std::string(kUnchanged) : repairFor(p)));
    if (!io.exists(p))
        throw FileError("ファイル" + displayName(p) + "がありません。" +
                        (repairFor(p).empty() ? std::string(kUnchanged) : repairFor(p)));
    throw FileError(notRead(p, error));
}

std::filesystem::path tempNameFor(const std::filesystem::path& p) {
    return p.parent_path() / (p.filename().string() + ".tmp~");
}

// Writes bytes to a fresh file and flushes it; on failure removes it and throws.
void writeFresh(Io& io, const std::filesystem::path& temp, const std::filesystem::path& target,
                std::string_view bytes) {
    int fd = io.open(temp, Io::Mode::WriteTruncate);
    if (fd < 0) missingOrUnreadable(io, target, true);
    errno = 0;
    bool ok = io.writeAt(fd, bytes.data(), bytes.size(), 0) == static_cast<long>(bytes.size());
    ok = ok && io.flush(fd);
    const int error = errno;
    ok = io.close(fd) && ok;
    if (!ok) {
        io.remove(temp);
        throw FileError(notWritten(target, error, io.exists(target)));
    }
}

}  // namespace

bool Io::viewWhole(int fd, std::uint64_t size, const std::function<void(std::string_view)>& use) {
    std::string bytes(static_cast<std::size_t>(size), '\0');
    if (size > 0 && readAt(fd, bytes.data(), bytes.size(), 0) != static_cast<long>(bytes.size())) return false;
    use(bytes);
    return true;
}

bool PosixIo::viewWhole(int fd, std::uint64_t size, const std::function<void(std::string_view)>& use) {
    if (size == 0) return Io::viewWhole(fd, size, use);
    // Only this program writes its folder's files (the folder lock), and not
    // while it reads one, so the mapping never outlives the bytes under it.
    void* at = ::mmap(nullptr, static_cast<std::size_t>(size), PROT_READ, MAP_PRIVATE, fd, 0);
    if (at == MAP_FAILED) return Io::viewWhole(fd, size, use);
    ::madvise(at, static_cast<std::size_t>(size), MADV_SEQUENTIAL);
    struct Unmap {
        void* at;
        std::size_t size;
        ~Unmap() { ::munmap(at, size); }
    } unmap{at, static_cast<std::size_t>(size)};
    use(std::string_view(static_cast<const char*>(at), static_cast<std::size_t>(size)));
    return true;
}

std::string readWholeFile(Io& io, const std::filesystem::path& p) {
    // a folder opens for reading too: named as such, not measured as a file
    if (io.isDirectory(p)) missingOrUnreadable(io, p, false);
    int fd = io.open(p, Io::Mode::Read);
    if (fd < 0) missingOrUnreadable(io, p, false);
    long long size = io.size(fd);
    std::string bytes;
    bool ok = size >= 0;
    // the limit checked before a byte is read: a huge file is refused at once
    if (const std::uint64_t limit = sizeLimit(p); ok && limit != 0 && static_cast<std::uint64_t>(size) > limit) {
        io.close(fd);
        throw FileError(tooLarge(p, static_cast<std::uint64_t>(size), limit, repairFor(p)));
    }
    if (ok) {
        bytes.resize(static_cast<std::size_t>(size));
        ok = io.readAt(fd, bytes.data(), bytes.size(), 0) == static_cast<long>(bytes.size());
    }
    const int error = errno;
    io.close(fd);
    if (!ok) throw FileError(notRead(p, error));
    return bytes;
}

void writeFileAtomic(Io& io, const std::filesystem::path& p, std::string_view bytes) {
    auto temp = tempNameFor(p);
    writeFresh(io, temp, p, bytes);
    if (!io.rename(temp, p)) {
        io.remove(temp);
        throw FileError("ファイル" + displayName(p) + "を置き換えられませんでした。元のファイルはそのままです。");
    }
    // The new name is in place; making it durable is all that is left.
    io.syncFolder(p.parent_path());
}

}  // namespace tabinowa
