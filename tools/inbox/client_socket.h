#pragma once

#include <httplib.h>

namespace pushnote::inbox {

// Leaves the request unanswered until the client leaves or a minute passes,
// then shuts the connection down, so that no answer at all is sent.
void HoldWithoutAnswer(const httplib::Request& request);

}  // namespace pushnote::inbox
