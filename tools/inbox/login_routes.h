#pragma once

#include <httplib.h>

#include "inbox.h"

namespace pushnote::inbox {

// GET and POST /login, POST /logout.
void InstallLoginRoutes(httplib::Server& server, Inbox& inbox);

// Before every route: whether the request may go on. The page and the API
// need a login from other machines, or from anywhere with page = password;
// /api/notify and /api/health never do, and with page = off nothing else is
// served. False when the answer (401, 404 or a way to the login form) is set.
bool PassesPageLock(const httplib::Request& request, httplib::Response& response, Inbox& inbox);

}  // namespace pushnote::inbox
