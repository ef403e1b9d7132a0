// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/files/record_file.h"

#include <algorithm>
#include <cerrno>
#include <memory>

#include "core/files/error.h"
#include "core/files/folders.h"
#include "core/files/messages.h"

namespace tabinowa {

RecordFile::RecordFile(Io& io, std::filesystem::path p, std::size_t recordLength)
    : io_(io), path_(std::move(p)), length_(recordLength) {
    fd_ = io_.open(path_, Io::Mode::ReadWriteCreate);
    if (fd_ < 0) {
        const int error = errno;
        if (!io_.isDirectory(path_.parent_path()))
            throw FileError("フォルダ" + displayName(path_.parent_path()) + "がありません。" + displayName(path_) +
                            "を開けませんでした。" + kUnchanged);
        if (io_.isDirectory(path_))
            throw FileError("ファイル" + displayName(path_) + "の場所に同じ名前のフォルダがあります。" +
                            (repairFor(path_).empty() ? std::string(kUnchanged) : repairFor(path_)));
        if ((error == EACCES || error == EPERM || error == EROFS) && io_.exists(path_)) {
            fd_ = io_.open(path_, Io::Mode::Read);
            if (fd_ >= 0) {
                writeError_ = error;
                return;
            }
        }
        throw FileError(notRead(path_, error));
    }
}

RecordFile::~RecordFile() { close(); }

void RecordFile::close() {
    if (fd_ >= 0) io_.close(fd_);
    fd_ = -1;
}

int RecordFile::count() const {
    if (fd_ < 0) return 0;
    long long size = io_.size(fd_);
    if (size < 0) throw FileError("ファイル" + displayName(path_) + "の大きさを読めませんでした。");
    return static_cast<int>(static_cast<unsigned long long>(size) / length_);
}

std::string RecordFile::get(int n) const {
    std::string record(length_, '\0');
    if (fd_ < 0 || n < 1) return record;
    long r = io_.readAt(fd_, record.data(), length_, static_cast<std::uint64_t>(n - 1) * length_);
    if (r < 0) throw FileError("ファイル" + displayName(path_) + "の" + std::to_string(n) + "件目を読めませんでした。");
    // A slot partly beyond the end reads as zero bytes, whole.
    if (static_cast<std::size_t>(r) < length_) std::fill(record.begin(), record.end(), '\0');
    return record;
}

void RecordFile::readBlocks(int first, int last, int perBlock,
                            const std::function<void(int from, int n, const char* bytes)>& block) const {
    if (first < 1) first = 1;
    if (perBlock < 1) perBlock = 1;
    if (last < first) return;
    const int most = std::min(perBlock, last - first + 1);
    // Not zero-filled: every block is filled by the read or by the zeros below.
    std::unique_ptr<char[]> buffer(new char[static_cast<std::size_t>(most) * length_]);
    for (int from = first; from <= last; from += most) {
        const int n = std::min(most, last - from + 1);
        const std::size_t want = static_cast<std::size_t>(n) * length_;
        long r = fd_ < 0 ? 0 : io_.readAt(fd_, buffer.get(), want, static_cast<std::uint64_t>(from - 1) * length_);
        if (r < 0)
            throw FileError("ファイル" + displayName(path_) + "の" + std::to_string(from) + "件目を読めませんでした。");
        // A record read only in part counts as not read at all.
        const std::size_t whole = static_cast<std::size_t>(r) / length_ * length_;
        std::fill(buffer.get() + whole, buffer.get() + want, '\0');
        block(from, n, buffer.get());
    }
}

namespace {
[[noreturn]] void recordNotWritten(const std::filesystem::path& path, int n, int error) {
    const std::string cause = causeOf(error);
    throw FileError("ファイル" + displayName(path) + "の" + std::to_string(n) + "件目を書けませんでした" +
                    (cause.empty() ? std::string() : "（" + cause + "）") + "。" + kUnchanged + wayOutOf(error));
}
}  // namespace

void RecordFile::put(int n, std::string_view record) {
    if (record.size() > length_)
        throw FileError("ファイル" + displayName(path_) + "の" + std::to_string(n) + "件目が長すぎます。");
    if (writeError_ != 0) recordNotWritten(path_, n, writeError_);
    errno = 0;
    if (fd_ < 0 || n < 1 ||
        io_.writeAt(fd_, record.data(), record.size(), static_cast<std::uint64_t>(n - 1) * length_) !=
            static_cast<long>(record.size()))
        recordNotWritten(path_, n, errno);
}

void RecordFile::putAt(int n, std::size_t offset, std::string_view bytes) {
    if (offset + bytes.size() > length_)
        throw FileError("ファイル" + displayName(path_) + "の" + std::to_string(n) + "件目が長すぎます。");
    if (writeError_ != 0) recordNotWritten(path_, n, writeError_);
    errno = 0;
    if (fd_ < 0 || n < 1 ||
        io_.writeAt(fd_, bytes.data(), bytes.size(), static_cast<std::uint64_t>(n - 1) * length_ + offset) !=
            static_cast<long>(bytes.size()))
        recordNotWritten(path_, n, errno);
}

}  // namespace tabinowa
