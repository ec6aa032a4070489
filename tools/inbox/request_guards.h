#pragma once

#include <httplib.h>

#include <string_view>

#include "inbox.h"

namespace pushnote::inbox {

// Before every route: the Host guard against DNS rebinding, and no
// compression. After every route: the headers every answer carries.
void InstallRequestGuards(httplib::Server& server, Inbox& inbox);

// Whether a Host header names this machine's loopback exactly: localhost,
// an IPv4 address in 127.0.0.0/8 or [::1], each with an optional port.
bool IsLoopbackHost(std::string_view host);

// Whether a request that changes the inbox shows it was not sent by a form
// or a plain fetch of another site.
bool CarriesInboxMark(const httplib::Request& request);
void RefuseUnmarked(httplib::Response& response);

}  // namespace pushnote::inbox
