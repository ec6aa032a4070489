#include <filesystem>

#include "support/open_handles.h"

namespace pushnote::testing {

std::size_t OpenHandleCount() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/fd")) {
        ++count;
    }
    return count - 1;  // the listing's own descriptor
}

}  // namespace pushnote::testing
