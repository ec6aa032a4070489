#include "user_store.h"

#include <algorithm>

#include "password_hash.h"
#include "wall_clock.h"

namespace pushnote::inbox {

UserStore::UserStore(const std::filesystem::path& file) : database_(file.string()) {
    sqlite3_busy_timeout(database_.Handle(), 5000);
}

bool UserStore::IsValidName(std::string_view name) {
    return !name.empty() && name.size() <= 64 && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '.' || c == '_' || c == '-' || c == '@';
    });
}

bool UserStore::Add(std::string_view name, std::string_view password) {
    const std::string hash = HashPassword(password);
    std::lock_guard lock(mutex_);
    sqlite::Statement insert = database_.Prepare(
        "INSERT OR IGNORE INTO users (name, password_hash, created_ms) VALUES (?1, ?2, ?3)");
    insert.Bind(1, name).Bind(2, hash).Bind(3, NowMs()).Run();
    return database_.Changes() == 1;
}

bool UserStore::Remove(std::string_view name) {
    std::lock_guard lock(mutex_);
    database_.Prepare("DELETE FROM users WHERE name = ?1").Bind(1, name).Run();
    return database_.Changes() == 1;
}

std::vector<User> UserStore::List() {
    std::lock_guard lock(mutex_);
    sqlite::Statement query = database_.Prepare("SELECT name, created_ms FROM users ORDER BY name");
    std::vector<User> users;
    while (query.Step()) users.push_back({query.Text(0), query.Integer(1)});
    return users;
}

bool UserStore::Exists(std::string_view name) {
    std::lock_guard lock(mutex_);
    sqlite::Statement query = database_.Prepare("SELECT 1 FROM users WHERE name = ?1");
    query.Bind(1, name);
    return query.Step();
}

bool UserStore::Check(std::string_view name, std::string_view password) {
    // A hash of nothing anyone knows: an unknown name costs a hash check too.
    static const std::string unknownUser = HashPassword("unknown user");
    std::string stored;
    {
        std::lock_guard lock(mutex_);
        sqlite::Statement query =
            database_.Prepare("SELECT password_hash FROM users WHERE name = ?1");
        query.Bind(1, name);
        if (query.Step()) stored = query.Text(0);
    }
    const bool known = !stored.empty();
    const bool matches = PasswordMatches(password, known ? stored : unknownUser);
    return known && matches;
}

}  // namespace pushnote::inbox
