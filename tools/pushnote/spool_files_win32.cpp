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

HeldFile::HeldFile(HeldFile&& other) noexcept : handle_(std::exchange(other.handle_, -1)) {}

HeldFile::~HeldFile() {
    if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

// The hold is the handle, opened sharing nothing: no other process can open
// or delete the file while it is open. It renames the file itself, so the
// hold never lapses between the write and the rename.
HeldFile WriteFileDurably(const fs::path& directory, const std::string& name,
                          std::string_view bytes) {
    const fs::path temporary = directory / TemporaryNameFor(name);
    FileHandle file(CreateFileW(temporary.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) Fail("cannot create", temporary);
    // A bare name: renamed within its folder.
    const std::wstring targetName = fs::path(name).wstring();
    std::string rename(sizeof(FILE_RENAME_INFO) + targetName.size() * sizeof(wchar_t), '\0');
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(rename.data());
    info->ReplaceIfExists = TRUE;
    info->FileNameLength = static_cast<DWORD>(targetName.size() * sizeof(wchar_t));
    targetName.copy(info->FileName, targetName.size());
    try {
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
        if (!SetFileInformationByHandle(file.get(), FileRenameInfo, info,
                                        static_cast<DWORD>(rename.size()))) {
            Fail("cannot rename", temporary);
        }
    } catch (const std::runtime_error&) {
        FILE_DISPOSITION_INFO remove{TRUE};
        SetFileInformationByHandle(file.get(), FileDispositionInfo, &remove, sizeof remove);
        throw;
    }
    return HeldFile(reinterpret_cast<std::intptr_t>(file.release()));
}

bool RemoveUnlessHeld(const fs::path& path, const std::function<bool()>& unwanted) noexcept {
    const FileHandle file(CreateFileW(path.c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                                      nullptr));
    if (file.get() == INVALID_HANDLE_VALUE || !unwanted()) return false;
    FILE_DISPOSITION_INFO remove{TRUE};
    return SetFileInformationByHandle(file.get(), FileDispositionInfo, &remove, sizeof remove) != 0;
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
    if (const wchar_t* local = _wgetenv(L"LOCALAPPDATA"); local && *local) return fs::path(local);
    return std::nullopt;
}

}  // namespace pushnote::command
