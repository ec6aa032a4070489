#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include "image/native_path.h"

// The platform's file calls that image preparation needs, one file per
// platform behind this header. Paths are zero-terminated native paths.
namespace pushnote::files {

// A regular file opened for reading alone; where the platform has share modes
// (Windows), no other opener may read or write it while it is open. Closed
// when destroyed.
class ReadOnlyFile {
public:
    ReadOnlyFile() = default;
    // Empty when the file cannot be opened or is no regular file on a disk:
    // a folder, a FIFO or named pipe, a device or a socket is refused without
    // waiting for a peer, so opening never blocks. What it holds can be read
    // to its end without blocking either.
    static ReadOnlyFile Open(const PathChar* path) noexcept;

    ReadOnlyFile(ReadOnlyFile&& other) noexcept : handle_(std::exchange(other.handle_, kNoFile)) {}
    ReadOnlyFile& operator=(ReadOnlyFile&& other) noexcept {
        if (this != &other) {
            Close();
            handle_ = std::exchange(other.handle_, kNoFile);
        }
        return *this;
    }
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
    ~ReadOnlyFile() { Close(); }

    explicit operator bool() const noexcept { return handle_ != kNoFile; }
    // The descriptor (POSIX) or HANDLE (Windows), for a decoder that reads
    // from it itself; still owned by this object.
    std::intptr_t native() const noexcept { return handle_; }
    bool QuerySize(std::uint64_t& size) const noexcept;
    // Reads exactly count bytes; false when a read fails or the file ends first.
    bool ReadExactly(char* destination, std::size_t count) noexcept;
    void Close() noexcept;

private:
    // A HANDLE on Windows, a descriptor on POSIX; both use -1 for none.
    static constexpr std::intptr_t kNoFile = -1;
    explicit ReadOnlyFile(std::intptr_t handle) noexcept : handle_(handle) {}
    std::intptr_t handle_ = kNoFile;
};

// Creates a new empty file with a unique name in the folder of target and
// writes its path to tempPath (capacity units), so that a file can be written
// whole before it takes target's place. False when none could be created.
bool CreateTempFileBeside(const PathChar* target, PathChar* tempPath,
                          std::size_t capacity) noexcept;

// Writes size bytes as the whole content of path, creating or truncating it.
// False on any failure. POSIX only: the WIC encoder writes its file through
// its own stream.
bool WriteWholeFile(const char* path, const void* data, std::size_t size) noexcept;

// Waits until what was written to the regular file at path is on the disk,
// so that a file renamed into place afterwards survives a crash whole.
bool FlushFileToDisk(const PathChar* path) noexcept;

// Renames source to target in the same folder, replacing any file at target.
bool MoveFileReplacing(const PathChar* source, const PathChar* target) noexcept;

bool RemoveFile(const PathChar* path) noexcept;

}  // namespace pushnote::files
