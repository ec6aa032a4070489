#pragma once

#include <curl/curl.h>

namespace pushnote::http {

// The multi handle that every notify request of the process runs on. It keeps
// finished sender connections (and TLS sessions) alive between calls, as the
// platform client's keep-alive pool does, so consecutive notifications to the
// service skip the handshakes. Senders never overlap (the host serialises
// them); the URL reader, which may run beside them, does not use it.
// Null when libcurl could not make one.
CURLM* SenderMulti() noexcept;

}  // namespace pushnote::http
