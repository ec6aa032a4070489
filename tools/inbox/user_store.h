#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "sqlite.h"

namespace pushnote::inbox {

struct User {
    std::string name;
    std::int64_t createdMs = 0;
};

// The people who may log in to the page, with their passwords' slow hashes,
// in the inbox's store (which NoteStore has made and brought up to date).
class UserStore {
public:
    explicit UserStore(const std::filesystem::path& file);

    // False when the name is taken.
    bool Add(std::string_view name, std::string_view password);
    // False when there is no such user.
    bool Remove(std::string_view name);
    std::vector<User> List();
    bool Exists(std::string_view name);
    // Takes as long for an unknown name as for a wrong password.
    bool Check(std::string_view name, std::string_view password);

    // 1 to 64 of letters, digits, '.', '_', '-' and '@'.
    static bool IsValidName(std::string_view name);

private:
    std::mutex mutex_;
    sqlite::Database database_;
};

}  // namespace pushnote::inbox
