#pragma once

#include <string>

namespace pushnote::command {

// Throws CommandFailure, with the command that fixes it, when others than
// the owner may read or write the token file. A file that cannot be examined
// is left to the reading, which reports it.
void RequirePrivateTokenFile(const std::string& path);

}  // namespace pushnote::command
