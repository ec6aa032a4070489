#include <windows.h>

// psapi.h needs the types of windows.h.
#include <psapi.h>

#include <cstdint>

#include "process_figures.h"

namespace pushnote::soak {
namespace {

// Handle values are multiples of 4; a process of this size stays far below.
constexpr std::uintptr_t kHandleProbeLimit = 1u << 16;

std::uint64_t CountValidHandles() {
    std::uint64_t count = 0;
    for (std::uintptr_t value = 4; value < kHandleProbeLimit; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
    }
    return count;
}

}  // namespace

// Some Windows layers (Wine 8) answer GetProcessHandleCount with 0 and leave
// PrivateUsage 0: the handles are then counted one by one, and the commit
// charge is taken from PagefileUsage, which Windows reports equal to it.
ProcessFigures ReadProcessFigures() {
    ProcessFigures figures;
    DWORD handles = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &handles) && handles > 0) {
        figures.handles = handles;
        figures.handlesFrom = "GetProcessHandleCount";
    } else {
        figures.handles = CountValidHandles();
        figures.handlesFrom = "valid handle values (GetProcessHandleCount gave 0)";
    }
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(GetCurrentProcess(),
                             reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory)) {
        if (memory.PrivateUsage > 0) {
            figures.privateBytes = memory.PrivateUsage;
            figures.privateBytesFrom = "GetProcessMemoryInfo PrivateUsage";
        } else {
            figures.privateBytes = memory.PagefileUsage;
            figures.privateBytesFrom = "GetProcessMemoryInfo PagefileUsage (PrivateUsage gave 0)";
        }
    }
    return figures;
}

}  // namespace pushnote::soak
