#include "spool_temporary.h"

#include <cstdio>
#include <random>

#include "spool_files.h"

namespace pushnote::command {

namespace fs = std::filesystem;

std::string TemporaryNameFor(const std::string& name) {
    std::random_device random;
    char unique[24];
    std::snprintf(unique, sizeof unique, ".%08x%08x", static_cast<unsigned>(random()),
                  static_cast<unsigned>(random()));
    return std::string(kTemporaryPrefix) + name + unique;
}

unsigned RemoveStaleTemporaries(const fs::path& folder, std::chrono::seconds age) noexcept {
    unsigned removed = 0;
    std::error_code error;
    const auto cutoff = fs::file_time_type::clock::now() - age;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        if (!entry->path().filename().string().starts_with(kTemporaryPrefix)) continue;
        std::error_code ignored;
        const auto written = fs::last_write_time(entry->path(), ignored);
        if (!ignored && written < cutoff && RemoveUnlessHeld(entry->path(), [] { return true; })) {
            ++removed;
        }
    }
    return removed;
}

}  // namespace pushnote::command
