#pragma once

#include <string>
#include <string_view>

namespace pushnote::inbox {

// A password kept as a slow, salted hash: "scrypt:N:r:p:SALT:HASH" (hex),
// about 32 MiB and a tenth of a second to make or check.
std::string HashPassword(std::string_view password);
// False as well for a stored text that is not such a hash.
bool PasswordMatches(std::string_view password, std::string_view stored);

}  // namespace pushnote::inbox
