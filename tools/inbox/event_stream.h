#pragma once

#include <httplib.h>

#include "inbox.h"

namespace pushnote::inbox {

// GET /api/events: the live events, as server-sent events.
void InstallEventStream(httplib::Server& server, Inbox& inbox);

}  // namespace pushnote::inbox
