#pragma once

#include <optional>
#include <string>

namespace pushnote::inbox {

// A new password: asked twice without echo on a terminal, else the first
// line of standard input. Nothing when the two differ or none came.
std::optional<std::string> ReadNewPassword(const std::string& prompt);

}  // namespace pushnote::inbox
