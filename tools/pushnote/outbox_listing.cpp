// What `pushnote outbox` shows: the waiting notes with their age, size and
// the start of their message, and how many were refused for good.
#include <algorithm>
#include <stdexcept>

#include "note_file.h"
#include "outbox.h"

namespace pushnote::command {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono;

constexpr std::size_t kPreviewLength = 40;

std::string Preview(std::string message) {
    std::replace_if(
        message.begin(), message.end(), [](char c) { return c == '\n' || c == '\r' || c == '\t'; },
        ' ');
    if (message.size() > kPreviewLength) message = message.substr(0, kPreviewLength - 3) + "...";
    return message;
}

}  // namespace

std::vector<Outbox::Entry> Outbox::List() const {
    std::vector<Entry> entries;
    const auto now = system_clock::now();
    for (const std::string& name : Waiting()) {
        const fs::path notePath = directory_ / (name + std::string(kNoteSuffix));
        std::error_code gone;
        std::uintmax_t bytes = fs::file_size(notePath, gone);
        if (gone) continue;  // delivered meanwhile
        Note note;
        try {
            note = DecodeNote(ReadWholeFile(notePath), directory_, notePath);
        } catch (const std::runtime_error&) {
            continue;  // gone meanwhile, or not a note
        }
        for (const fs::path& image : ImagesOf(note)) {
            const std::uintmax_t size = fs::file_size(image, gone);
            if (!gone) bytes += size;
        }
        entries.push_back(
            {name, duration_cast<seconds>(now - QueuedAt(name)), bytes, Preview(note.message)});
    }
    return entries;
}

unsigned Outbox::FailedCount() const {
    unsigned count = 0;
    std::error_code missing;
    for (const auto& entry : fs::directory_iterator(directory_ / kFailedFolder, missing)) {
        if (entry.path().filename().string().ends_with(kNoteSuffix)) ++count;
    }
    return count;
}

}  // namespace pushnote::command
