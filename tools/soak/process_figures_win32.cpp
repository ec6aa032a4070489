#include <windows.h>

// psapi.h needs the types of windows.h.
#include <psapi.h>

#include "process_figures.h"

namespace pushnote::soak {

const char* const kHandlesLabel = "GetProcessHandleCount";
const char* const kPrivateBytesLabel = "private bytes (GetProcessMemoryInfo)";

ProcessFigures ReadProcessFigures() {
    ProcessFigures figures;
    DWORD handles = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &handles)) figures.handles = handles;
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(GetCurrentProcess(),
                             reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory)) {
        figures.privateBytes = memory.PrivateUsage;
    }
    return figures;
}

}  // namespace pushnote::soak
