#pragma once

#include <chrono>
#include <cstdint>

namespace pushnote::inbox {

// Milliseconds since the Unix epoch, the unit of every time in the store.
inline std::int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace pushnote::inbox
