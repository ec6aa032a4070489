#pragma once

#include <cstddef>

namespace pushnote {

inline constexpr std::size_t kMaxAccessTokenLength = 256;

// Stores the process-wide bearer token. Refuses (and keeps the previous token)
// a token over 256 bytes or one holding a control byte, which would inject
// header lines. An empty token empties the store.
bool SetAccessToken(const char* token) noexcept;

// The stored token; the empty text when none is set.
const char* AccessToken() noexcept;

}  // namespace pushnote
