#include "sqlite.h"

namespace pushnote::inbox::sqlite {

Database::Database(const std::string& path) {
    sqlite3* handle = nullptr;
    const int code =
        sqlite3_open_v2(path.c_str(), &handle, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    handle_.reset(handle);
    if (code != SQLITE_OK) {
        throw Error(handle ? sqlite3_errmsg(handle) : sqlite3_errstr(code));
    }
    sqlite3_extended_result_codes(handle, 1);
}

void Database::Execute(const char* sql) {
    char* message = nullptr;
    if (sqlite3_exec(handle_.get(), sql, nullptr, nullptr, &message) != SQLITE_OK) {
        const std::string text = message ? message : sqlite3_errmsg(handle_.get());
        sqlite3_free(message);
        throw Error(text);
    }
}

Statement Database::Prepare(std::string_view sql) {
    return Statement(handle_.get(), sql);
}

Statement::Statement(sqlite3* database, std::string_view sql) : database_(database) {
    sqlite3_stmt* statement = nullptr;
    const int code =
        sqlite3_prepare_v2(database, sql.data(), static_cast<int>(sql.size()), &statement, nullptr);
    statement_.reset(statement);
    Check(code);
}

void Statement::Check(int code) const {
    if (code != SQLITE_OK && code != SQLITE_ROW && code != SQLITE_DONE) {
        throw Error(sqlite3_errmsg(database_));
    }
}

Statement& Statement::Bind(int index, std::int64_t value) {
    Check(sqlite3_bind_int64(statement_.get(), index, value));
    return *this;
}

Statement& Statement::Bind(int index, std::string_view text) {
    Check(sqlite3_bind_text64(statement_.get(), index, text.data(), text.size(), SQLITE_TRANSIENT,
                              SQLITE_UTF8));
    return *this;
}

Statement& Statement::BindBlob(int index, std::string_view bytes) {
    Check(
        sqlite3_bind_blob64(statement_.get(), index, bytes.data(), bytes.size(), SQLITE_TRANSIENT));
    return *this;
}

Statement& Statement::BindNull(int index) {
    Check(sqlite3_bind_null(statement_.get(), index));
    return *this;
}

bool Statement::Step() {
    const int code = sqlite3_step(statement_.get());
    Check(code);
    return code == SQLITE_ROW;
}

void Statement::Run() {
    const Use use(*this);
    Step();
}

void Statement::Reset() noexcept {
    sqlite3_reset(statement_.get());
    sqlite3_clear_bindings(statement_.get());
}

bool Statement::IsNull(int column) const {
    return sqlite3_column_type(statement_.get(), column) == SQLITE_NULL;
}

std::int64_t Statement::Integer(int column) const {
    return sqlite3_column_int64(statement_.get(), column);
}

std::string Statement::Text(int column) const {
    const auto* text = sqlite3_column_text(statement_.get(), column);
    const int size = sqlite3_column_bytes(statement_.get(), column);
    return text ? std::string(reinterpret_cast<const char*>(text), size) : std::string();
}

std::string Statement::Blob(int column) const {
    const void* bytes = sqlite3_column_blob(statement_.get(), column);
    const int size = sqlite3_column_bytes(statement_.get(), column);
    return bytes ? std::string(static_cast<const char*>(bytes), size) : std::string();
}

Transaction::Transaction(Database& database) : database_(database) {
    database_.Execute("BEGIN IMMEDIATE");
}

Transaction::~Transaction() {
    if (done_) return;
    try {
        database_.Execute("ROLLBACK");
    } catch (const Error&) {
        // Nothing more can be done; the connection rolls back when closed.
    }
}

void Transaction::Commit() {
    database_.Execute("COMMIT");
    done_ = true;
}

}  // namespace pushnote::inbox::sqlite
