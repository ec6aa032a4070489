#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "process_figures.h"

namespace pushnote::soak {

ProcessFigures ReadProcessFigures() {
    ProcessFigures figures;
    figures.handlesFrom = "entries of /proc/self/fd";
    figures.privateBytesFrom = "resident minus shared pages of /proc/self/statm";
    std::error_code ignored;
    for (auto it = std::filesystem::directory_iterator("/proc/self/fd", ignored);
         it != std::filesystem::directory_iterator(); it.increment(ignored)) {
        ++figures.handles;
    }
    std::uint64_t total = 0, resident = 0, shared = 0;
    if (std::ifstream("/proc/self/statm") >> total >> resident >> shared && resident >= shared) {
        figures.privateBytes =
            (resident - shared) * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
    }
    return figures;
}

}  // namespace pushnote::soak
