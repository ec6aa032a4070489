#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sqlite.h"

namespace pushnote::inbox {

struct NamedToken {
    std::string name;
    std::int64_t createdMs = 0;
    std::optional<std::int64_t> lastUsedMs;
};

// The access tokens hosts send, each under a name, in the inbox's store
// (which NoteStore has made and brought up to date). Only a token's SHA-256
// is kept: the token itself is shown once, when it is made.
class TokenStore {
public:
    explicit TokenStore(const std::filesystem::path& file);

    // A new random token under the name; nothing when the name is taken.
    std::optional<std::string> Add(std::string_view name);
    // False when there is no such name.
    bool Remove(std::string_view name);
    std::vector<NamedToken> List();
    bool Empty();
    // The name a token was made under, noting that it was used (written at
    // most once a minute for each token, to keep notes cheap).
    std::optional<std::string> NameOf(std::string_view token);

private:
    std::mutex mutex_;
    sqlite::Database database_;
    std::map<std::string, std::chrono::steady_clock::time_point> lastWritten_;
};

}  // namespace pushnote::inbox
