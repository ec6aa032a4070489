#include "token_file_access.h"

namespace pushnote::command {

// A Windows file is guarded by its access list, which the user's profile
// folders already keep private; there are no owner, group and other bits to
// check here.
void RequirePrivateTokenFile(const std::string&) {}

}  // namespace pushnote::command
