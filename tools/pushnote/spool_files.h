#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace pushnote::command {

// A spool file that its writer holds: no flush removes it until the hold
// ends, with this object or with the process, however that ends.
class HeldFile {
public:
    explicit HeldFile(std::intptr_t handle) noexcept : handle_(handle) {}
    HeldFile(HeldFile&& other) noexcept;
    HeldFile& operator=(HeldFile&&) = delete;
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    ~HeldFile();

private:
    std::intptr_t handle_;  // -1 for none, on every platform
};

// Writes bytes to directory/name so that the name never shows a partial
// file, even after a crash or power loss: the bytes go to a hidden temporary
// name of this write's own first (see TemporaryNameFor), held from its
// creation, are synced to disk, and only then renamed; the rename is synced
// too. The file stays held under its name until the result ends: a note's
// image until the note is in place. Throws std::runtime_error on failure,
// and leaves no file behind then.
HeldFile WriteFileDurably(const std::filesystem::path& directory, const std::string& name,
                          std::string_view bytes);

// Removes the file unless a writer holds it (or it is gone) or, asked once
// the file is held here, unwanted() says no; true when it was removed.
bool RemoveUnlessHeld(const std::filesystem::path& path,
                      const std::function<bool()>& unwanted) noexcept;

// Creates the folder, and those above it, when missing: the folder itself
// for its owner alone. Throws std::runtime_error on failure.
void CreatePrivateFolder(const std::filesystem::path& folder);

// Makes the names removed from or moved into the folder so far survive a
// crash. Throws std::runtime_error on failure.
void SyncFolder(const std::filesystem::path& folder);

// A spooled file held for one process: while it is held, no other process
// can claim it, and the claim ends with the process however that ends.
class ClaimedFile {
public:
    // Claims the file and reads it whole. Nothing when another process holds
    // it or it is gone (delivered or moved by another process meanwhile).
    static std::optional<ClaimedFile> TryClaim(const std::filesystem::path& path);

    ClaimedFile(ClaimedFile&& other) noexcept;
    ClaimedFile& operator=(ClaimedFile&&) = delete;
    ClaimedFile(const ClaimedFile&) = delete;
    ClaimedFile& operator=(const ClaimedFile&) = delete;
    ~ClaimedFile();

    const std::string& bytes() const noexcept { return bytes_; }

    // Both keep the claim until this object ends, so no other process can
    // take the file in between, and sync the folders whose names changed.
    // Throw std::runtime_error on failure.
    void Remove();
    void MoveTo(const std::filesystem::path& target);

private:
    ClaimedFile(std::intptr_t handle, std::filesystem::path path, std::string bytes) noexcept;

    std::intptr_t handle_;  // -1 for none, on every platform
    std::filesystem::path path_;
    std::string bytes_;
};

// Where the user's state lives by default: nothing when the environment names
// no home.
std::optional<std::filesystem::path> DefaultStateDirectory();

}  // namespace pushnote::command
