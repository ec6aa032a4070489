#include "image/convert_image_to_jpeg.h"

#include <cstring>

#include "image/file_services.h"
#include "image/image_codec.h"

namespace pushnote {
namespace {

constexpr const char* kJpegExtension = ".jpg";
// Room for a unique name beside the longest working path.
constexpr std::size_t kTempPathSize = WorkingPath::kSize + 64;

// Same folder and name as source, extension ".jpg".
bool ComposeJpegPath(const char* source, WorkingPath& destination) {
    const char* dot = std::strrchr(source, '.');
    if (!dot) return false;
    const auto stemLength = static_cast<std::size_t>(dot - source);
    if (stemLength + std::strlen(kJpegExtension) >= WorkingPath::kSize) return false;
    std::memcpy(destination.text, source, stemLength);
    std::strcpy(destination.text + stemLength, kJpegExtension);
    return true;
}

// A file that is removed when it goes out of scope, unless it was moved away.
class TempFile {
public:
    explicit TempFile(const char* besidePath) noexcept
        : created_(files::CreateTempFileBeside(besidePath, path_, sizeof path_)) {}
    ~TempFile() {
        if (created_) files::RemoveFile(path_);
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    explicit operator bool() const noexcept { return created_; }
    const char* path() const noexcept { return path_; }
    // Flushed first: a crash right after the rename must not leave an empty
    // or partial file where an older whole one was.
    bool MoveTo(const char* target) noexcept {
        if (!files::FlushFileToDisk(path_) || !files::MoveFileReplacing(path_, target)) {
            return false;
        }
        created_ = false;
        return true;
    }

private:
    char path_[kTempPathSize] = {};
    bool created_;
};

}  // namespace

bool ConvertImageToJpeg(const char* source, WorkingPath& destination) noexcept {
    if (!ComposeJpegPath(source, destination)) return false;
    // Opened here, not by the decoder, so that only a regular file is read and
    // a FIFO cannot hold the call.
    files::ReadOnlyFile gif = files::ReadOnlyFile::Open(source);
    if (!gif) return false;
    TempFile jpeg(destination.text);
    return jpeg && image::ConvertGifToJpeg(gif, jpeg.path()) && jpeg.MoveTo(destination.text);
}

}  // namespace pushnote
