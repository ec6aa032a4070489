#pragma once

#include <curl/curl.h>

namespace pushnote::inbox {

// The calling thread's own easy handle, reset for each transfer. Its
// connection cache lets the next transfer to the same server reuse an open
// connection and its TLS session, which a delivery worker sending note
// after note to one receiver gains most from. Nullptr when curl has none.
CURL* ThreadEasyHandle();

}  // namespace pushnote::inbox
