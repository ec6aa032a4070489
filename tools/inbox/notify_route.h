#pragma once

#include <httplib.h>

#include "inbox.h"

namespace pushnote::inbox {

// POST /api/notify: checks the request strictly, stores the note with the
// answer chaos chose, tells the listening pages and answers.
void InstallNotifyRoute(httplib::Server& server, Inbox& inbox);

}  // namespace pushnote::inbox
