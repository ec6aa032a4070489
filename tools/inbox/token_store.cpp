#include "token_store.h"

#include <openssl/rand.h>

#include <array>
#include <stdexcept>

#include "text_encoding.h"
#include "wall_clock.h"

namespace pushnote::inbox {
namespace {

constexpr std::chrono::minutes kUseWritten{1};

}  // namespace

TokenStore::TokenStore(const std::filesystem::path& file) : database_(file.string()) {
    sqlite3_busy_timeout(database_.Handle(), 5000);
}

std::optional<std::string> TokenStore::Add(std::string_view name) {
    std::array<unsigned char, 32> random{};
    if (RAND_bytes(random.data(), static_cast<int>(random.size())) != 1) {
        throw std::runtime_error("no random bytes for a token");
    }
    std::string token = "pn_" + Hex({reinterpret_cast<const char*>(random.data()), random.size()});
    std::lock_guard lock(mutex_);
    database_.Prepare("INSERT OR IGNORE INTO tokens (name, sha256, created_ms) VALUES (?1, ?2, ?3)")
        .Bind(1, name)
        .Bind(2, Sha256Hex(token))
        .Bind(3, NowMs())
        .Run();
    if (database_.Changes() != 1) return std::nullopt;
    return token;
}

bool TokenStore::Remove(std::string_view name) {
    std::lock_guard lock(mutex_);
    database_.Prepare("DELETE FROM tokens WHERE name = ?1").Bind(1, name).Run();
    return database_.Changes() == 1;
}

std::vector<NamedToken> TokenStore::List() {
    std::lock_guard lock(mutex_);
    sqlite::Statement query =
        database_.Prepare("SELECT name, created_ms, last_used_ms FROM tokens ORDER BY name");
    std::vector<NamedToken> tokens;
    while (query.Step()) {
        NamedToken token{query.Text(0), query.Integer(1), std::nullopt};
        if (!query.IsNull(2)) token.lastUsedMs = query.Integer(2);
        tokens.push_back(std::move(token));
    }
    return tokens;
}

bool TokenStore::Empty() {
    std::lock_guard lock(mutex_);
    sqlite::Statement query = database_.Prepare("SELECT 1 FROM tokens LIMIT 1");
    return !query.Step();
}

std::optional<std::string> TokenStore::NameOf(std::string_view token) {
    const std::string digest = Sha256Hex(token);
    std::lock_guard lock(mutex_);
    sqlite::Statement query = database_.Prepare("SELECT name FROM tokens WHERE sha256 = ?1");
    query.Bind(1, digest);
    if (!query.Step()) return std::nullopt;
    std::string name = query.Text(0);
    const auto now = std::chrono::steady_clock::now();
    auto& written = lastWritten_[name];
    if (written.time_since_epoch().count() == 0 || now - written >= kUseWritten) {
        written = now;
        database_.Prepare("UPDATE tokens SET last_used_ms = ?2 WHERE name = ?1")
            .Bind(1, name)
            .Bind(2, NowMs())
            .Run();
    }
    return name;
}

}  // namespace pushnote::inbox
