#pragma once

#include <filesystem>
#include <string>

namespace pushnote::inbox {

// A file that may hold secrets, read whole. Throws std::runtime_error when
// it cannot be read, or when others than its owner and group may read or
// write it: then its secrets are not secret, and it is not used.
std::string ReadPrivateFile(const std::filesystem::path& file);

}  // namespace pushnote::inbox
