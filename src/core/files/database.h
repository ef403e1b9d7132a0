// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// An SQLite database file read and written through an Io, like every other
// file of the program: the tests' crash models stop it at any write, flush,
// truncation, rename or removal, and a power cut forgets what no folder flush
// made durable. Rollback journal ("-journal" beside the file) with
// synchronous=EXTRA: a transaction is durable once commit returns, the
// journal's name included (see docs/ARCHITECTURE.md, "The learner's database").
//
// One program owns a program folder (its lock), so the database takes no
// locks of its own beyond SQLite's in-process ones.
#include <cstdint>
#include <exception>
#include <stdexcept>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/files/error.h"
#include "core/files/io.h"
#include "core/files/messages.h"

struct sqlite3;
struct sqlite3_stmt;

namespace tabinowa {

// A failure of the database (it cannot be opened, read or written). The
// message is Japanese, names the file and says what to do; `fault` tells a
// damaged file (which only its repair mends) from one that cannot be used now.
class DatabaseError : public FileError {
public:
    DatabaseError(const std::string& message, MemoryFault fault) : FileError(message), fault_(fault) {}
    MemoryFault fault() const { return fault_; }
    // Damaged, another program's or another version's: nothing but setting it aside helps.
    bool damaged() const {
        return fault_ == MemoryFault::Damaged || fault_ == MemoryFault::NotOurs || fault_ == MemoryFault::OtherVersion;
    }

private:
    MemoryFault fault_;
};

class Database {
public:
    // Opens (creating when `create`) the database file. Throws DatabaseError.
    Database(Io& io, std::filesystem::path file, bool create);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    const std::filesystem::path& file() const { return file_; }

    class Statement {
    public:
        Statement(Database& db, std::string_view sql);
        ~Statement();
        Statement(const Statement&) = delete;
        Statement& operator=(const Statement&) = delete;
        Statement& bind(int i, std::int64_t v);
        Statement& bind(int i, double v);
        Statement& bind(int i, std::string_view v);
        Statement& bindNull(int i);
        // True while there is a row; throws DatabaseError on a failure.
        bool step();
        void reset();
        std::int64_t integer(int column) const;
        double real(int column) const;
        std::string text(int column) const;
        bool isNull(int column) const;

    private:
        Database& db_;
        sqlite3_stmt* stmt_ = nullptr;
    };

    // Runs statements without results. Throws DatabaseError.
    void exec(std::string_view sql);
    // BEGIN IMMEDIATE ... COMMIT; a destroyed transaction not committed rolls back.
    class Transaction {
    public:
        explicit Transaction(Database& db);
        ~Transaction();
        void commit();

    private:
        Database& db_;
        bool open_ = true;
    };

    // Throws what an Io call inside SQLite threw (a test's crash), else DatabaseError for `code`.
    [[noreturn]] void fail(int code, const std::string& what);
    // Rethrows an exception an Io call inside SQLite caught, if any.
    void rethrowCaught();

    struct Vfs;

private:
    Io& io_;
    std::filesystem::path file_;
    std::unique_ptr<Vfs> vfs_;
    sqlite3* db_ = nullptr;
};

}  // namespace tabinowa
