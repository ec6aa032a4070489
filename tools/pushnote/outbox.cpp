#include "outbox.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string_view>

#include "command_failure.h"
#include "spool_files.h"

namespace pushnote::command {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono;

constexpr std::string_view kNoteSuffix = ".note";
constexpr std::string_view kImageInfix = ".image";
constexpr std::string_view kReasonSuffix = ".reason";
constexpr std::string_view kFirstLine = "pushnote note 1\n";
constexpr std::string_view kImageKey = "image ";
constexpr const char* kFailedFolder = "failed";
constexpr std::size_t kPreviewLength = 40;

// Nanoseconds since the epoch, zero-padded so that names sort by time, and
// a random part so that notes queued in the same instant keep apart.
std::string NewName() {
    const auto stamp = duration_cast<nanoseconds>(system_clock::now().time_since_epoch());
    std::random_device random;
    char name[48];
    std::snprintf(name, sizeof name, "%020lld-%08x", static_cast<long long>(stamp.count()),
                  static_cast<unsigned>(random()));
    return name;
}

system_clock::time_point QueuedAt(const std::string& name) {
    return system_clock::time_point(
        duration_cast<system_clock::duration>(nanoseconds(std::stoll(name.substr(0, 20)))));
}

std::string ReadWholeFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw CommandFailure("cannot read the image file " + path.string(), kBadInput);
    }
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// "pushnote note 1", then "image NAME" when there is one, an empty line and
// the message to the end of the file.
std::string Encode(const Note& note, const std::string& imageName) {
    std::string text(kFirstLine);
    if (!imageName.empty()) text += std::string(kImageKey) + imageName + "\n";
    return text + "\n" + note.message;
}

Note Decode(const std::string& text, const fs::path& directory, const fs::path& file) {
    const std::size_t headEnd = text.find("\n\n");
    if (!text.starts_with(kFirstLine) || headEnd == std::string::npos) {
        throw std::runtime_error("not a note: " + file.string());
    }
    Note note;
    note.message = text.substr(headEnd + 2);
    const std::string_view extra =
        std::string_view(text).substr(kFirstLine.size(), headEnd + 1 - kFirstLine.size());
    if (extra.starts_with(kImageKey)) {
        const std::string imageName(
            extra.substr(kImageKey.size(), extra.find('\n') - kImageKey.size()));
        note.imagePath = (directory / imageName).string();
    }
    return note;
}

// The note's image copy and, for a GIF, the JPEG the sender converted it to
// beside it: those of them that exist.
std::vector<fs::path> ImagesOf(const Note& note) {
    std::vector<fs::path> images;
    if (!note.imagePath) return images;
    const fs::path copy = *note.imagePath;
    fs::path converted = copy;
    converted.replace_extension(".jpg");
    for (const fs::path& image : {copy, converted}) {
        if (std::find(images.begin(), images.end(), image) == images.end() && fs::exists(image)) {
            images.push_back(image);
        }
    }
    return images;
}

std::string Preview(std::string message) {
    std::replace_if(
        message.begin(), message.end(), [](char c) { return c == '\n' || c == '\r' || c == '\t'; },
        ' ');
    if (message.size() > kPreviewLength) message = message.substr(0, kPreviewLength - 3) + "...";
    return message;
}

}  // namespace

Outbox::Outbox(fs::path directory) : directory_(std::move(directory)) {}

fs::path Outbox::DefaultDirectory() {
    const auto state = DefaultStateDirectory();
    if (!state) {
        throw CommandFailure("no home folder is set: name the outbox with --outbox-dir",
                             kUsageError);
    }
    return *state / "pushnote" / "outbox";
}

std::string Outbox::Queue(const Note& note) {
    fs::create_directories(directory_);
    const std::string name = NewName();
    std::string imageName;
    if (note.imagePath) {
        // The extension stays: it tells the sender the image's type.
        imageName =
            name + std::string(kImageInfix) + fs::path(*note.imagePath).extension().string();
        WriteFileDurably(directory_, imageName, ReadWholeFile(*note.imagePath));
    }
    // The note appears last, so a flush never finds it without its image.
    WriteFileDurably(directory_, name + std::string(kNoteSuffix), Encode(note, imageName));
    return name;
}

std::vector<std::string> Outbox::Waiting() const {
    std::vector<std::string> names;
    std::error_code missing;
    for (const auto& entry : fs::directory_iterator(directory_, missing)) {
        const std::string file = entry.path().filename().string();
        // Hidden names are temporary files still being written.
        if (file.starts_with('.') || !file.ends_with(kNoteSuffix)) continue;
        names.push_back(file.substr(0, file.size() - kNoteSuffix.size()));
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool Outbox::Holds(const std::string& name) const {
    return fs::exists(directory_ / (name + std::string(kNoteSuffix)));
}

Outbox::FlushReport Outbox::Flush(Deliverer& deliverer) {
    FlushReport report;
    for (const std::string& name : Waiting()) {
        const fs::path notePath = directory_ / (name + std::string(kNoteSuffix));
        auto claimed = ClaimedFile::TryClaim(notePath);
        if (!claimed) continue;  // another flush has it, or has finished with it
        Outcome outcome{Verdict::BadInput, ""};
        Note note;
        try {
            note = Decode(claimed->bytes(), directory_, notePath);
            outcome = deliverer.Deliver(note);
        } catch (const std::runtime_error& unreadable) {
            outcome.reason = unreadable.what();
        }
        switch (outcome.verdict) {
            case Verdict::Delivered:
                // The note goes first: an image left behind is never sent twice.
                claimed->Remove();
                for (const fs::path& image : ImagesOf(note)) fs::remove(image);
                ++report.delivered;
                break;
            case Verdict::Refused:
            case Verdict::BadInput: {
                const fs::path failed = directory_ / kFailedFolder;
                fs::create_directories(failed);
                WriteFileDurably(failed, name + std::string(kReasonSuffix), outcome.reason + "\n");
                for (const fs::path& image : ImagesOf(note)) {
                    fs::rename(image, failed / image.filename());
                }
                claimed->MoveTo(failed / notePath.filename());
                std::fprintf(stderr, "pushnote: %s: %s; moved to %s\n", name.c_str(),
                             outcome.reason.c_str(), failed.string().c_str());
                ++report.failed;
                break;
            }
            case Verdict::TryLater:
            case Verdict::TokenRefused:
                report.stopped = true;
                report.stoppedBy = outcome.verdict;
                report.reason = outcome.reason;
                return report;
        }
        report.settled.emplace_back(name, outcome.verdict);
    }
    return report;
}

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
            note = Decode(ReadWholeFile(notePath), directory_, notePath);
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
