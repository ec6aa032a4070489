// Windows kernel file calls, the wide ones: they reach every file name.
#include <windows.h>

#include <cwchar>
#include <utility>

#include "image/file_services.h"

namespace pushnote::files {
namespace {

// ReadFile takes 32-bit counts; larger reads go in pieces.
constexpr std::size_t kMaxTransfer = 1u << 30;

HANDLE AsHandle(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

// The folder of path as GetTempFileNameW wants it: "." for a bare name, and
// "C:." for a name relative to a drive's current folder.
bool CopyFolder(const wchar_t* path, wchar_t* folder, std::size_t capacity) {
    std::size_t length = 0;
    for (std::size_t i = 0; path[i]; ++i) {
        if (path[i] == L'\\' || path[i] == L'/' || path[i] == L':') length = i + 1;
    }
    const bool needsDot = length == 0 || path[length - 1] == L':';
    if (length + (needsDot ? 2 : 1) > capacity) return false;
    std::wmemcpy(folder, path, length);
    if (needsDot) folder[length++] = L'.';
    folder[length] = L'\0';
    return true;
}

}  // namespace

ReadOnlyFile ReadOnlyFile::Open(const PathChar* path) noexcept {
    // Opening a named pipe or a device does not wait for its other end;
    // reading it would, so anything but a file on a disk is refused here.
    HANDLE file =
        CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return ReadOnlyFile();
    ReadOnlyFile reader(reinterpret_cast<std::intptr_t>(file));
    if (GetFileType(file) != FILE_TYPE_DISK) return ReadOnlyFile();
    return reader;
}

bool ReadOnlyFile::QuerySize(std::uint64_t& size) const noexcept {
    DWORD high = 0;
    const DWORD low = GetFileSize(AsHandle(handle_), &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return false;
    size = (static_cast<std::uint64_t>(high) << 32) | low;
    return true;
}

bool ReadOnlyFile::ReadExactly(char* destination, std::size_t count) noexcept {
    while (count > 0) {
        const DWORD piece = static_cast<DWORD>(count < kMaxTransfer ? count : kMaxTransfer);
        DWORD got = 0;
        if (!::ReadFile(AsHandle(handle_), destination, piece, &got, nullptr) || got == 0) {
            return false;
        }
        destination += got;
        count -= got;
    }
    return true;
}

void ReadOnlyFile::Close() noexcept {
    if (handle_ != kNoFile) CloseHandle(AsHandle(std::exchange(handle_, kNoFile)));
}

bool CreateTempFileBeside(const PathChar* target, PathChar* tempPath,
                          std::size_t capacity) noexcept {
    wchar_t folder[MAX_PATH];
    if (capacity < MAX_PATH || !CopyFolder(target, folder, MAX_PATH)) return false;
    // Creates the file under a name no other caller gets.
    return GetTempFileNameW(folder, L"pn", 0, tempPath) != 0;
}

bool FlushFileToDisk(const PathChar* path) noexcept {
    HANDLE file = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool flushed = GetFileType(file) == FILE_TYPE_DISK && FlushFileBuffers(file);
    return CloseHandle(file) && flushed;
}

bool MoveFileReplacing(const PathChar* source, const PathChar* target) noexcept {
    return MoveFileExW(source, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool RemoveFile(const PathChar* path) noexcept {
    return DeleteFileW(path) != 0;
}

}  // namespace pushnote::files
