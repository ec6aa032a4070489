#include "note_file.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include "command_failure.h"
#include "command_text.h"
#include "image/file_services.h"
#include "image/working_path.h"

namespace pushnote::command {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono;

constexpr std::string_view kFirstLine = "pushnote note 1\n";
constexpr std::string_view kImageKey = "image ";

}  // namespace

// Nanoseconds since the epoch, zero-padded so that names sort by time.
std::string NewNoteName() {
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

namespace {

files::ReadOnlyFile OpenImageFile(const std::string& path) {
    // The path as the sender will open it.
    WorkingPath native;
    files::ReadOnlyFile file;
    if (AssignWorkingPath(native, path)) file = files::ReadOnlyFile::Open(native.text);
    if (!file) {
        throw CommandFailure("the image " + path + " is no regular file that can be read",
                             kBadInput);
    }
    return file;
}

}  // namespace

void RequireImageFile(const std::string& path) {
    OpenImageFile(path);
}

std::string ReadImageFile(const std::string& path) {
    files::ReadOnlyFile file = OpenImageFile(path);
    std::uint64_t size = 0;
    std::string bytes;
    if (file.QuerySize(size) && size < bytes.max_size()) {
        bytes.resize(static_cast<std::size_t>(size));
        if (file.ReadExactly(bytes.data(), bytes.size())) return bytes;
    }
    throw CommandFailure("cannot read the image file " + path, kBadInput);
}

std::string EncodeNote(const Note& note, const std::string& imageName) {
    std::string text(kFirstLine);
    if (!imageName.empty()) text += std::string(kImageKey) + imageName + "\n";
    return text + "\n" + note.message;
}

Note DecodeNote(const std::string& text, const fs::path& directory, const fs::path& file) {
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
        note.imagePath = TextFromPath(directory / PathFromText(imageName));
    }
    return note;
}

std::vector<fs::path> ImagesOf(const Note& note) {
    std::vector<fs::path> images;
    if (!note.imagePath) return images;
    const fs::path copy = PathFromText(*note.imagePath);
    fs::path converted = copy;
    converted.replace_extension(".jpg");
    for (const fs::path& image : {copy, converted}) {
        if (std::find(images.begin(), images.end(), image) == images.end() && fs::exists(image)) {
            images.push_back(image);
        }
    }
    return images;
}

}  // namespace pushnote::command
