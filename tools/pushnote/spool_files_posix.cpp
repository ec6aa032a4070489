#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "spool_files.h"
#include "spool_temporary.h"

namespace pushnote::command {
namespace {

namespace fs = std::filesystem;

class Descriptor {
public:
    explicit Descriptor(int fd) noexcept : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd_ >= 0) close(fd_);
    }
    int get() const noexcept { return fd_; }
    int release() noexcept { return std::exchange(fd_, -1); }

private:
    int fd_;
};

[[noreturn]] void Fail(const std::string& what, const fs::path& path) {
    throw std::runtime_error(what + " " + path.string() + ": " + std::strerror(errno));
}

void WriteAll(int fd, std::string_view bytes, const fs::path& path) {
    while (!bytes.empty()) {
        const ssize_t written = write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) Fail("cannot write", path);
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

std::string ReadAll(int fd, const fs::path& path) {
    std::string bytes;
    char piece[64 * 1024];
    for (;;) {
        const ssize_t count = read(fd, piece, sizeof piece);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) Fail("cannot read", path);
        if (count == 0) return bytes;
        bytes.append(piece, static_cast<std::size_t>(count));
    }
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

HeldFile::HeldFile(HeldFile&& other) noexcept : handle_(std::exchange(other.handle_, -1)) {}

HeldFile::~HeldFile() {
    if (handle_ >= 0) close(static_cast<int>(handle_));
}

// The hold is a lock on the file, which moves with it to its name and ends
// with the descriptor, also when the process is killed.
HeldFile WriteFileDurably(const fs::path& directory, const std::string& name,
                          std::string_view bytes) {
    const fs::path temporary = directory / TemporaryNameFor(name);
    const fs::path target = directory / name;
    // Notes may be private: only the owner reads them.
    Descriptor file(open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (file.get() < 0) Fail("cannot create", temporary);
    try {
        if (flock(file.get(), LOCK_EX) != 0) Fail("cannot lock", temporary);
        WriteAll(file.get(), bytes, temporary);
        if (fsync(file.get()) != 0) Fail("cannot sync", temporary);
        if (rename(temporary.c_str(), target.c_str()) != 0) Fail("cannot rename", temporary);
    } catch (const std::runtime_error&) {
        unlink(temporary.c_str());
        throw;
    }
    try {
        SyncFolder(directory);
    } catch (const std::runtime_error&) {
        unlink(target.c_str());
        throw;
    }
    return HeldFile(file.release());
}

bool RemoveUnlessHeld(const fs::path& path, const std::function<bool()>& unwanted) noexcept {
    Descriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (file.get() < 0 || flock(file.get(), LOCK_EX | LOCK_NB) != 0) return false;
    // Still the file of that name, not one renamed there since it was opened.
    struct stat opened {};
    struct stat named {};
    return fstat(file.get(), &opened) == 0 && lstat(path.c_str(), &named) == 0 &&
           SameFile(opened, named) && unwanted() && unlink(path.c_str()) == 0;
}

void CreatePrivateFolder(const fs::path& folder) {
    if (fs::is_directory(folder)) return;
    fs::create_directories(folder.parent_path());
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) Fail("cannot create", folder);
}

void SyncFolder(const fs::path& folder) {
    Descriptor descriptor(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (descriptor.get() < 0 || fsync(descriptor.get()) != 0) Fail("cannot sync", folder);
}

std::optional<ClaimedFile> ClaimedFile::TryClaim(const fs::path& path) {
    Descriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) return std::nullopt;
    // The lock ends with the descriptor, also when the process is killed.
    if (flock(file.get(), LOCK_EX | LOCK_NB) != 0) return std::nullopt;
    // Another process may have finished with the file between our open and
    // our lock: it then no longer has this name.
    struct stat opened {};
    struct stat named {};
    if (fstat(file.get(), &opened) != 0 || stat(path.c_str(), &named) != 0 ||
        !SameFile(opened, named)) {
        return std::nullopt;
    }
    std::string bytes = ReadAll(file.get(), path);
    return ClaimedFile(file.release(), path, std::move(bytes));
}

ClaimedFile::ClaimedFile(std::intptr_t handle, fs::path path, std::string bytes) noexcept
    : handle_(handle), path_(std::move(path)), bytes_(std::move(bytes)) {}

ClaimedFile::ClaimedFile(ClaimedFile&& other) noexcept
    : handle_(std::exchange(other.handle_, -1)),
      path_(std::move(other.path_)),
      bytes_(std::move(other.bytes_)) {}

ClaimedFile::~ClaimedFile() {
    if (handle_ >= 0) close(static_cast<int>(handle_));
}

void ClaimedFile::Remove() {
    if (unlink(path_.c_str()) != 0) Fail("cannot remove", path_);
    SyncFolder(path_.parent_path());
}

void ClaimedFile::MoveTo(const fs::path& target) {
    if (rename(path_.c_str(), target.c_str()) != 0) Fail("cannot move", path_);
    SyncFolder(target.parent_path());
    SyncFolder(path_.parent_path());
}

std::optional<fs::path> DefaultStateDirectory() {
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state == '/') {
        return fs::path(state);
    }
    if (const char* home = std::getenv("HOME"); home && *home) {
        return fs::path(home) / ".local" / "state";
    }
    return std::nullopt;
}

}  // namespace pushnote::command
