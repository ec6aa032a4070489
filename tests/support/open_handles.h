#pragma once

#include <cstddef>

namespace pushnote::testing {

// The handles the process holds: its open file descriptors, sockets included
// (POSIX), or its kernel handles (Windows).
std::size_t OpenHandleCount();

}  // namespace pushnote::testing
