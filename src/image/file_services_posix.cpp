// POSIX file calls. POSIX has no share modes: "exclusive" reading is plain
// reading here.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <utility>

#include "image/file_services.h"

namespace pushnote::files {
namespace {

constexpr int kTempNameAttempts = 100;

int AsDescriptor(std::intptr_t handle) {
    return static_cast<int>(handle);
}

bool WriteAll(int descriptor, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = write(descriptor, data, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// The folder part of path with its trailing "/", or the empty text.
std::size_t FolderLength(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return slash ? static_cast<std::size_t>(slash - path) + 1 : 0;
}

}  // namespace

ReadOnlyFile ReadOnlyFile::Open(const char* path) noexcept {
    // Non-blocking so that a FIFO cannot hang the call; it is refused below.
    const int descriptor = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (descriptor < 0) return ReadOnlyFile();
    ReadOnlyFile reader(descriptor);
    struct stat status {};
    if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) return ReadOnlyFile();
    return reader;
}

bool ReadOnlyFile::QuerySize(std::uint64_t& size) const noexcept {
    struct stat status {};
    if (fstat(AsDescriptor(handle_), &status) != 0 || status.st_size < 0) return false;
    size = static_cast<std::uint64_t>(status.st_size);
    return true;
}

bool ReadOnlyFile::ReadExactly(char* destination, std::size_t count) noexcept {
    while (count > 0) {
        const ssize_t got = read(AsDescriptor(handle_), destination, count);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        destination += got;
        count -= static_cast<std::size_t>(got);
    }
    return true;
}

void ReadOnlyFile::Close() noexcept {
    if (handle_ != kNoFile) close(AsDescriptor(std::exchange(handle_, kNoFile)));
}

bool CreateTempFileBeside(const char* target, char* tempPath, std::size_t capacity) noexcept {
    static unsigned sequence = 0;
    const std::size_t folderLength = FolderLength(target);
    const auto salt = static_cast<unsigned>(std::time(nullptr));
    for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
        const int length = std::snprintf(tempPath, capacity, "%.*s.pushnote-%ld-%x%x.tmp",
                                         static_cast<int>(folderLength), target,
                                         static_cast<long>(getpid()), salt, ++sequence);
        if (length < 0 || static_cast<std::size_t>(length) >= capacity) return false;
        // 0666 lets the umask decide, as for any file the host would write.
        const int descriptor = open(tempPath, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor >= 0) return close(descriptor) == 0;
        if (errno != EEXIST) return false;
    }
    return false;
}

bool WriteWholeFile(const char* path, const void* data, std::size_t size) noexcept {
    const int descriptor = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (descriptor < 0) return false;
    const bool written = WriteAll(descriptor, static_cast<const char*>(data), size);
    return close(descriptor) == 0 && written;
}

bool FlushFileToDisk(const char* path) noexcept {
    const int descriptor = open(path, O_WRONLY | O_CLOEXEC | O_NONBLOCK);
    if (descriptor < 0) return false;
    struct stat status {};
    const bool flushed =
        fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode) && fsync(descriptor) == 0;
    return close(descriptor) == 0 && flushed;
}

bool MoveFileReplacing(const char* source, const char* target) noexcept {
    return rename(source, target) == 0;
}

bool RemoveFile(const char* path) noexcept {
    return unlink(path) == 0;
}

}  // namespace pushnote::files
