#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace pushnote::inbox::sqlite {

// Every failure of the store is reported as this, with SQLite's own words.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Statement;

// One open database file; closed with the object.
class Database {
public:
    explicit Database(const std::string& path);

    // Runs statements that take no parameters and return no rows.
    void Execute(const char* sql);
    Statement Prepare(std::string_view sql);
    std::int64_t LastInsertId() const { return sqlite3_last_insert_rowid(handle_.get()); }
    int Changes() const { return sqlite3_changes(handle_.get()); }
    sqlite3* Handle() const { return handle_.get(); }

private:
    struct Close {
        void operator()(sqlite3* handle) const { sqlite3_close_v2(handle); }
    };
    std::unique_ptr<sqlite3, Close> handle_;
};

// A prepared statement. Parameters are numbered from 1, columns from 0.
class Statement {
public:
    Statement(sqlite3* database, std::string_view sql);

    Statement& Bind(int index, std::int64_t value);
    Statement& Bind(int index, std::string_view text);
    Statement& BindBlob(int index, std::string_view bytes);
    Statement& BindNull(int index);

    // Moves to the next row: false once there is none.
    bool Step();
    // Steps once and makes the statement ready to run again, also when the
    // step fails: a statement left mid-run refuses every later use.
    void Run();
    void Reset() noexcept;

    // Resets the statement and clears its bindings when it ends, whatever
    // path leaves the scope: a cached statement starts every use afresh.
    class Use {
    public:
        explicit Use(Statement& statement) noexcept : statement_(statement) {}
        Use(const Use&) = delete;
        Use& operator=(const Use&) = delete;
        ~Use() { statement_.Reset(); }

    private:
        Statement& statement_;
    };

    bool IsNull(int column) const;
    std::int64_t Integer(int column) const;
    std::string Text(int column) const;
    std::string Blob(int column) const;

private:
    void Check(int code) const;

    struct Finalize {
        void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
    };
    sqlite3* database_;
    std::unique_ptr<sqlite3_stmt, Finalize> statement_;
};

// Commits at Commit(); rolls back when left without it.
class Transaction {
public:
    explicit Transaction(Database& database);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void Commit();

private:
    Database& database_;
    bool done_ = false;
};

}  // namespace pushnote::inbox::sqlite
