#include <windows.h>

#include "support/open_handles.h"

namespace pushnote::testing {

std::size_t OpenHandleCount() {
    DWORD count = 0;
    GetProcessHandleCount(GetCurrentProcess(), &count);
    return count;
}

}  // namespace pushnote::testing
