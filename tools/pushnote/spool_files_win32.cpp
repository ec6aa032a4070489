#include <windows.h>

#include <cstdlib>
#include <stdexcept>
#include <utility>

#include "spool_files.h"
#include "spool_temporary.h"

namespace pushnote::command {
namespace {

namespace fs = std::filesystem;

class FileHandle {
public:
    explicit FileHandle(HANDLE handle) noexcept : handle_(handle) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    HANDLE get() const noexcept { return handle_; }
    HANDLE release() noexcept { return std::exchange(handle_, INVALID_HANDLE_VALUE); }

private:
    HANDLE handle_;
};

[[noreturn]] void Fail(const std::string& what, const fs::path& path) {
    throw std::runtime_error(what + " " + path.string() + " (Windows error " +
                             std::to_string(GetLastError()) + ")");
}

std::string ReadAll(HANDLE file, const fs::path& path) {
    std::string bytes;
    char piece[64 * 1024];
    for (;;) {
        DWORD count = 0;
        if (!ReadFile(file, piece, sizeof piece, &count, nullptr)) Fail("cannot read", path);
        if (count == 0) return bytes;
        bytes.append(piece, count);
    }
}

}  // namespace

void WriteFileDurably(const fs::path& directory, const std::string& name, std::string_view bytes) {
    const fs::path temporary = directory / TemporaryNameFor(name);
    const fs::path target = directory / name;
    {
        FileHandle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.get() == INVALID_HANDLE_VALUE) Fail("cannot create", temporary);
        while (!bytes.empty()) {
            const DWORD piece =
                bytes.size() > 0x10000000 ? 0x10000000 : static_cast<DWORD>(bytes.size());
            DWORD written = 0;
            if (!WriteFile(file.get(), bytes.data(), piece, &written, nullptr) || written == 0) {
                Fail("cannot write", temporary);
            }
            bytes.remove_prefix(written);
        }
        if (!FlushFileBuffers(file.get())) Fail("cannot sync", temporary);
    }
    if (!MoveFileExW(temporary.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        Fail("cannot rename", temporary);
    }
}

// Opened without sharing reads or writes, the file cannot be opened again
// until this handle closes; sharing deletion lets this process remove or
// move it while holding it.
std::optional<ClaimedFile> ClaimedFile::TryClaim(const fs::path& path) {
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ | DELETE, FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) return std::nullopt;
    std::string bytes = ReadAll(file.get(), path);
    return ClaimedFile(reinterpret_cast<std::intptr_t>(file.release()), path, std::move(bytes));
}

ClaimedFile::ClaimedFile(std::intptr_t handle, fs::path path, std::string bytes) noexcept
    : handle_(handle), path_(std::move(path)), bytes_(std::move(bytes)) {}

ClaimedFile::ClaimedFile(ClaimedFile&& other) noexcept
    : handle_(std::exchange(other.handle_, -1)),
      path_(std::move(other.path_)),
      bytes_(std::move(other.bytes_)) {}

ClaimedFile::~ClaimedFile() {
    if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

void ClaimedFile::Remove() {
    if (!DeleteFileW(path_.c_str())) Fail("cannot remove", path_);
}

void ClaimedFile::MoveTo(const fs::path& target) {
    if (!MoveFileExW(path_.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) {
        Fail("cannot move", path_);
    }
}

// The folder takes the access list of the one above it; the default outbox
// lies in the user's profile, which only its user can read.
void CreatePrivateFolder(const fs::path& folder) {
    fs::create_directories(folder);
}

// NTFS journals its names, and every rename here asks MOVEFILE_WRITE_THROUGH.
void SyncFolder(const fs::path&) {}

std::optional<fs::path> DefaultStateDirectory() {
    if (const char* local = std::getenv("LOCALAPPDATA"); local && *local) return fs::path(local);
    return std::nullopt;
}

}  // namespace pushnote::command
