#pragma once

#include <httplib.h>

#include "inbox.h"

namespace pushnote::inbox {

// Before every route: the Host guard against DNS rebinding, and no
// compression. After every route: the headers every answer carries.
void InstallRequestGuards(httplib::Server& server, Inbox& inbox);

// Whether a request that changes the inbox shows it was not sent by a form
// or a plain fetch of another site.
bool CarriesInboxMark(const httplib::Request& request);
void RefuseUnmarked(httplib::Response& response);

}  // namespace pushnote::inbox
