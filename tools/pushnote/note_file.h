#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "delivery.h"

namespace pushnote::command {

// How a queued note lies in the outbox: NAME.note, its image copy beside it
// as NAME.image.EXT, and for a note refused for good NAME.reason in failed/.
constexpr std::string_view kNoteSuffix = ".note";
constexpr std::string_view kImageInfix = ".image";
constexpr std::string_view kReasonSuffix = ".reason";
constexpr const char* kFailedFolder = "failed";

// A new note's name: when it was queued, so that names sort oldest first,
// and a random part so that notes queued in the same instant keep apart.
std::string NewNoteName();
std::chrono::system_clock::time_point QueuedAt(const std::string& name);

// The whole content of a file; a CommandFailure (bad input) when unreadable.
std::string ReadWholeFile(const std::filesystem::path& path);

// An image to queue follows the library's rule: a regular file, opened
// without blocking. Anything else (a folder, a FIFO, a device) is a
// CommandFailure (bad input) at once, as is a file that cannot be read.
void RequireImageFile(const std::string& path);
std::string ReadImageFile(const std::string& path);

// "pushnote note 1", then "image NAME" when there is one, an empty line and
// the message to the end of the file.
std::string EncodeNote(const Note& note, const std::string& imageName);
// Throws std::runtime_error when the text is no note.
Note DecodeNote(const std::string& text, const std::filesystem::path& directory,
                const std::filesystem::path& file);

// The note's image copy and, for a GIF, the JPEG the sender converted it to
// beside it: those of them that exist.
std::vector<std::filesystem::path> ImagesOf(const Note& note);

}  // namespace pushnote::command
