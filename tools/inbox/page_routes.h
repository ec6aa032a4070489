#pragma once

#include <httplib.h>

namespace pushnote::inbox {

// The page's files, built into the program, under their content policy.
void InstallPageRoutes(httplib::Server& server);

}  // namespace pushnote::inbox
