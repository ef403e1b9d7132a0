// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/files/database.h"

#include <sqlite3.h>

#include <atomic>
#include <cstring>

#include "core/files/folders.h"

namespace tabinowa {

// ------------------------------------------------------------------ the VFS
//
// SQLite's files go through the Io. Every Io call is wrapped: an exception
// (a test's crash) must not pass through SQLite's C frames, so it is caught,
// kept, and thrown again by Database once SQLite has returned.

struct Database::Vfs {
    sqlite3_vfs vfs{};
    Io* io = nullptr;
    std::string name;
    std::exception_ptr caught;

    void keep(std::exception_ptr e) {
        if (!caught) caught = std::move(e);
    }
};

namespace {

struct File {
    sqlite3_file base;
    Database::Vfs* owner;
    int fd;
    bool syncFolderNext;  // created by this open: its name is flushed with its first flush
    bool deleteOnClose;
    std::string* path;  // UTF-8
};

std::filesystem::path pathOf(const char* utf8) {
    return std::filesystem::path(std::u8string(reinterpret_cast<const char8_t*>(utf8)));
}

Database::Vfs* ownerOf(sqlite3_vfs* v) { return static_cast<Database::Vfs*>(v->pAppData); }

template <class F>
int guarded(Database::Vfs* owner, int onError, F&& f) {
    try {
        return f();
    } catch (...) {
        owner->keep(std::current_exception());
        return onError;
    }
}

int xClose(sqlite3_file* f) {
    auto* file = reinterpret_cast<File*>(f);
    const int rc = guarded(file->owner, SQLITE_IOERR_CLOSE, [&] {
        const bool ok = file->owner->io->close(file->fd);
        if (file->deleteOnClose) file->owner->io->remove(pathOf(file->path->c_str()));
        return ok ? SQLITE_OK : SQLITE_IOERR_CLOSE;
    });
    delete file->path;
    file->path = nullptr;
    return rc;
}

int xRead(sqlite3_file* f, void* buf, int n, sqlite3_int64 offset) {
    auto* file = reinterpret_cast<File*>(f);
    return guarded(file->owner, SQLITE_IOERR_READ, [&] {
        const long got = file->owner->io->readAt(file->fd, buf, static_cast<std::size_t>(n), static_cast<std::uint64_t>(offset));
        if (got < 0) return SQLITE_IOERR_READ;
        if (got < n) {
            std::memset(static_cast<char*>(buf) + got, 0, static_cast<std::size_t>(n - got));
            return SQLITE_IOERR_SHORT_READ;
        }
        return SQLITE_OK;
    });
}

int xWrite(sqlite3_file* f, const void* buf, int n, sqlite3_int64 offset) {
    auto* file = reinterpret_cast<File*>(f);
    return guarded(file->owner, SQLITE_IOERR_WRITE, [&] {
        return file->owner->io->writeAt(file->fd, buf, static_cast<std::size_t>(n), static_cast<std::uint64_t>(offset)) == n
                   ? SQLITE_OK
                   : SQLITE_IOERR_WRITE;
    });
}

int xTruncate(sqlite3_file* f, sqlite3_int64 size) {
    auto* file = reinterpret_cast<File*>(f);
    return guarded(file->owner, SQLITE_IOERR_TRUNCATE, [&] {
        return file->owner->io->truncate(file->fd, static_cast<std::uint64_t>(size)) ? SQLITE_OK : SQLITE_IOERR_TRUNCATE;
    });
}

int xSync(sqlite3_file* f, int) {
    auto* file = reinterpret_cast<File*>(f);
    return guarded(file->owner, SQLITE_IOERR_FSYNC, [&] {
        if (!file->owner->io->flush(file->fd)) return SQLITE_IOERR_FSYNC;
        if (file->syncFolderNext) {
            // A new file's name is durable only once its folder is flushed:
            // a journal whose name a power cut forgot could not roll back.
            if (!file->owner->io->syncFolder(pathOf(file->path->c_str()).parent_path())) return SQLITE_IOERR_DIR_FSYNC;
            file->syncFolderNext = false;
        }
        return SQLITE_OK;
    });
}

int xFileSize(sqlite3_file* f, sqlite3_int64* size) {
    auto* file = reinterpret_cast<File*>(f);
    return guarded(file->owner, SQLITE_IOERR_FSTAT, [&] {
        const long long s = file->owner->io->size(file->fd);
        if (s < 0) return SQLITE_IOERR_FSTAT;
        *size = s;
        return SQLITE_OK;
    });
}

int xLock(sqlite3_file*, int) { return SQLITE_OK; }
int xUnlock(sqlite3_file*, int) { return SQLITE_OK; }
int xCheckReservedLock(sqlite3_file*, int* out) {
    *out = 0;
    return SQLITE_OK;
}
int xFileControl(sqlite3_file*, int, void*) { return SQLITE_NOTFOUND; }
int xSectorSize(sqlite3_file*) { return 4096; }
// No promise about the device: SQLite then assumes the least of it.
int xDeviceCharacteristics(sqlite3_file*) { return 0; }

const sqlite3_io_methods kMethods = {
    1, xClose, xRead, xWrite, xTruncate, xSync, xFileSize, xLock, xUnlock, xCheckReservedLock,
    xFileControl, xSectorSize, xDeviceCharacteristics, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};

int xOpen(sqlite3_vfs* v, const char* name, sqlite3_file* f, int flags, int* outFlags) {
    auto* owner = ownerOf(v);
    auto* file = reinterpret_cast<File*>(f);
    file->base.pMethods = nullptr;
    // Temporary files stay in memory (temp_store=MEMORY): a file without a name is refused.
    if (!name) return SQLITE_CANTOPEN;
    return guarded(owner, SQLITE_CANTOPEN, [&] {
        Io& io = *owner->io;
        const auto path = pathOf(name);
        const bool existed = io.exists(path);
        const bool readOnly = (flags & SQLITE_OPEN_READONLY) != 0;
        if (!existed && (readOnly || !(flags & SQLITE_OPEN_CREATE))) return SQLITE_CANTOPEN;
        const int fd = io.open(path, readOnly ? Io::Mode::Read : Io::Mode::ReadWriteCreate);
        if (fd < 0) return SQLITE_CANTOPEN;
        file->owner = owner;
        file->fd = fd;
        file->syncFolderNext = !existed;
        file->deleteOnClose = (flags & SQLITE_OPEN_DELETEONCLOSE) != 0;
        file->path = new std::string(name);
        file->base.pMethods = &kMethods;
        if (outFlags) *outFlags = flags;
        return SQLITE_OK;
    });
}

int xDelete(sqlite3_vfs* v, const char* name, int syncFolder) {
    auto* owner = ownerOf(v);
    return guarded(owner, SQLITE_IOERR_DELETE, [&] {
        const auto path = pathOf(name);
        if (!owner->io->remove(path)) return SQLITE_IOERR_DELETE;
        if (syncFolder && !owner->io->syncFolder(path.parent_path())) return SQLITE_IOERR_DIR_FSYNC;
        return SQLITE_OK;
    });
}

int xAccess(sqlite3_vfs* v, const char* name, int, int* out) {
    auto* owner = ownerOf(v);
    return guarded(owner, SQLITE_IOERR_ACCESS, [&] {
        // As SQLite's own: an empty file counts as none (an empty journal is no hot journal).
        Io& io = *owner->io;
        const auto path = pathOf(name);
        *out = 0;
        if (!io.exists(path)) return SQLITE_OK;
        const int fd = io.open(path, Io::Mode::Read);
        if (fd < 0) return SQLITE_OK;
        *out = io.size(fd) > 0;
        io.close(fd);
        return SQLITE_OK;
    });
}

int xFullPathname(sqlite3_vfs*, const char* name, int n, char* out) {
    const std::size_t len = std::strlen(name);
    if (len + 1 > static_cast<std::size_t>(n)) return SQLITE_CANTOPEN;
    std::memcpy(out, name, len + 1);
    return SQLITE_OK;
}

sqlite3_vfs* base() { return sqlite3_vfs_find(nullptr); }
int xRandomness(sqlite3_vfs*, int n, char* out) { return base()->xRandomness(base(), n, out); }
int xSleep(sqlite3_vfs*, int us) { return base()->xSleep(base(), us); }
int xCurrentTime(sqlite3_vfs*, double* t) { return base()->xCurrentTime(base(), t); }
int xGetLastError(sqlite3_vfs*, int, char*) { return 0; }

std::atomic<unsigned> vfsCount{0};

// SQLite's own text is English: the learner reads what happened, in Japanese, and what to do.
MemoryFault faultOf(int code) {
    switch (code & 0xff) {
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB: return MemoryFault::Damaged;
        case SQLITE_BUSY:
        case SQLITE_LOCKED: return MemoryFault::Locked;
        case SQLITE_FULL: return MemoryFault::DiskFull;
        case SQLITE_READONLY:
        case SQLITE_PERM:
        case SQLITE_CANTOPEN: return MemoryFault::Unwritable;
        default: return MemoryFault::Failed;
    }
}

DatabaseError failure(int code, const std::filesystem::path& file) {
    return DatabaseError(memoryProblem(file, faultOf(code)), faultOf(code));
}

}  // namespace

// ------------------------------------------------------------ the database

Database::Database(Io& io, std::filesystem::path file, bool create)
    : io_(io), file_(std::filesystem::absolute(file)), vfs_(std::make_unique<Vfs>()) {
    vfs_->io = &io;
    vfs_->name = "tabinowa-io-" + std::to_string(vfsCount++);
    sqlite3_vfs& v = vfs_->vfs;
    v.iVersion = 1;
    v.szOsFile = sizeof(File);
    v.mxPathname = 4096;
    v.zName = vfs_->name.c_str();
    v.pAppData = vfs_.get();
    v.xOpen = xOpen;
    v.xDelete = xDelete;
    v.xAccess = xAccess;
    v.xFullPathname = xFullPathname;
    v.xRandomness = xRandomness;
    v.xSleep = xSleep;
    v.xCurrentTime = xCurrentTime;
    v.xGetLastError = xGetLastError;
    sqlite3_vfs_register(&v, 0);

    auto u8 = file_.u8string();
    const std::string name(u8.begin(), u8.end());
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0) | SQLITE_OPEN_NOMUTEX;
    const int rc = sqlite3_open_v2(name.c_str(), &db_, flags, v.zName);
    if (rc != SQLITE_OK) {
        sqlite3_close(db_);
        db_ = nullptr;
        sqlite3_vfs_unregister(&v);
        if (vfs_->caught) std::rethrow_exception(vfs_->caught);
        throw failure(rc, file_);
    }
    try {
        // EXTRA: the journal's removal (the commit) is flushed in its folder too.
        exec("PRAGMA journal_mode=DELETE; PRAGMA synchronous=EXTRA; PRAGMA temp_store=MEMORY;");
    } catch (...) {
        sqlite3_close(db_);
        db_ = nullptr;
        sqlite3_vfs_unregister(&v);
        throw;
    }
}

Database::~Database() {
    if (db_) sqlite3_close_v2(db_);
    sqlite3_vfs_unregister(&vfs_->vfs);
}

void Database::rethrowCaught() {
    if (vfs_->caught) {
        auto e = vfs_->caught;
        vfs_->caught = nullptr;
        std::rethrow_exception(e);
    }
}

void Database::fail(int code, const std::string&) {
    rethrowCaught();
    throw failure(code, file_);
}

void Database::exec(std::string_view sql) {
    char* message = nullptr;
    const int rc = sqlite3_exec(db_, std::string(sql).c_str(), nullptr, nullptr, &message);
    const std::string what = message ? message : "";
    sqlite3_free(message);
    if (rc != SQLITE_OK) fail(rc, what);
    rethrowCaught();
}

Database::Statement::Statement(Database& db, std::string_view sql) : db_(db) {
    const int rc = sqlite3_prepare_v2(db.db_, sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr);
    if (rc != SQLITE_OK) db.fail(rc, sqlite3_errmsg(db.db_));
}

Database::Statement::~Statement() { sqlite3_finalize(stmt_); }

Database::Statement& Database::Statement::bind(int i, std::int64_t v) {
    sqlite3_bind_int64(stmt_, i, v);
    return *this;
}
Database::Statement& Database::Statement::bind(int i, double v) {
    sqlite3_bind_double(stmt_, i, v);
    return *this;
}
Database::Statement& Database::Statement::bind(int i, std::string_view v) {
    sqlite3_bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    return *this;
}
Database::Statement& Database::Statement::bindNull(int i) {
    sqlite3_bind_null(stmt_, i);
    return *this;
}

bool Database::Statement::step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) {
        db_.rethrowCaught();
        return false;
    }
    const std::string what = sqlite3_errmsg(db_.db_);
    sqlite3_reset(stmt_);
    db_.fail(rc, what);
}

void Database::Statement::reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

std::int64_t Database::Statement::integer(int c) const { return sqlite3_column_int64(stmt_, c); }
double Database::Statement::real(int c) const { return sqlite3_column_double(stmt_, c); }
std::string Database::Statement::text(int c) const {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, c));
    return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, c))) : std::string();
}
bool Database::Statement::isNull(int c) const { return sqlite3_column_type(stmt_, c) == SQLITE_NULL; }

Database::Transaction::Transaction(Database& db) : db_(db) { db_.exec("BEGIN IMMEDIATE"); }

Database::Transaction::~Transaction() {
    if (!open_) return;
    char* message = nullptr;
    sqlite3_exec(db_.db_, "ROLLBACK", nullptr, nullptr, &message);
    sqlite3_free(message);
    db_.vfs_->caught = nullptr;
}

void Database::Transaction::commit() {
    open_ = false;
    try {
        db_.exec("COMMIT");
    } catch (...) {
        char* message = nullptr;
        sqlite3_exec(db_.db_, "ROLLBACK", nullptr, nullptr, &message);
        sqlite3_free(message);
        throw;
    }
}

}  // namespace tabinowa
