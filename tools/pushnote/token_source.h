#pragma once

#include <optional>
#include <string>

namespace pushnote::command {

// The environment variable read when no token file is given.
inline constexpr const char* kTokenVariable = "PUSHNOTE_TOKEN";

// The access token: the first line of tokenFile when given, else the value of
// PUSHNOTE_TOKEN; nothing when neither is there. Throws CommandFailure when
// the file cannot be read.
std::optional<std::string> ReadToken(const std::optional<std::string>& tokenFile);

}  // namespace pushnote::command
