#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "data_folder.h"

namespace pushnote::inbox {
namespace {

namespace fs = std::filesystem;

[[noreturn]] void Fail(const char* what, const fs::path& path) {
    throw std::runtime_error(std::string("cannot ") + what + " " + path.string() + ": " +
                             std::strerror(errno));
}

// Narrows an existing file's mode to `mode`; a line when it was wider.
void Narrow(const fs::path& path, mode_t mode, std::vector<std::string>& changed) {
    struct stat status {};
    if (lstat(path.c_str(), &status) != 0) {
        if (errno == ENOENT) return;
        Fail("inspect", path);
    }
    const mode_t current = status.st_mode & 07777;
    if (current == mode) return;
    if (chmod(path.c_str(), mode) != 0) Fail("restrict", path);
    char line[32];
    std::snprintf(line, sizeof line, " was %04o, now %04o", static_cast<unsigned>(current),
                  static_cast<unsigned>(mode));
    changed.push_back(path.string() + line);
}

}  // namespace

std::vector<std::string> MakeDataFolderPrivate(const fs::path& folder, const fs::path& store) {
    std::vector<std::string> changed;
    if (fs::exists(folder)) {
        Narrow(folder, 0700, changed);
    } else {
        // A relative folder ("data") has no parent to make.
        if (!folder.parent_path().empty()) fs::create_directories(folder.parent_path());
        if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) Fail("create", folder);
    }
    const int file = open(store.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (file < 0) Fail("open", store);
    close(file);
    for (const char* suffix : {"", "-wal", "-shm"}) {
        Narrow(store.string() + suffix, 0600, changed);
    }
    return changed;
}

}  // namespace pushnote::inbox
