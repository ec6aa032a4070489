#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "process_figures.h"

namespace pushnote::soak {

const char* const kHandlesLabel = "open descriptors";
const char* const kPrivateBytesLabel = "private resident bytes";

ProcessFigures ReadProcessFigures() {
    ProcessFigures figures;
    std::error_code ignored;
    for (auto it = std::filesystem::directory_iterator("/proc/self/fd", ignored);
         it != std::filesystem::directory_iterator(); it.increment(ignored)) {
        ++figures.handles;
    }
    // Pages: total, resident, shared (file-backed) resident.
    std::uint64_t total = 0, resident = 0, shared = 0;
    if (std::ifstream("/proc/self/statm") >> total >> resident >> shared && resident >= shared) {
        figures.privateBytes =
            (resident - shared) * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
    }
    return figures;
}

}  // namespace pushnote::soak
