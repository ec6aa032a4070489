#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace pushnote::inbox {

// Makes the data folder private to its owner before anything is kept in it:
// the folder 0700 and the store's files 0600, the store made empty with that
// mode when missing (SQLite gives its journal files the store's mode).
// Returns one line for each folder or file that was readable by others.
std::vector<std::string> MakeDataFolderPrivate(const std::filesystem::path& folder,
                                               const std::filesystem::path& store);

}  // namespace pushnote::inbox
