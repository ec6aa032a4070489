#pragma once

#include <httplib.h>

#include "inbox.h"

namespace pushnote::inbox {

// The page, the notes API, the chaos settings and the live events.
void InstallApiRoutes(httplib::Server& server, Inbox& inbox);

}  // namespace pushnote::inbox
