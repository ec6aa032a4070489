#include "image/convert_image_to_jpeg.h"

#include <algorithm>

#include "image/file_services.h"
#include "image/image_codec.h"

namespace pushnote {
namespace {

constexpr PathChar kJpegExtension[] = {'.', 'j', 'p', 'g', '\0'};
constexpr std::size_t kJpegExtensionLength = 4;
// Room for a unique name beside the longest working path.
constexpr std::size_t kTempPathSize = WorkingPath::kSize + 64;

// Same folder and name as source, extension ".jpg".
bool ComposeJpegPath(const PathChar* source, WorkingPath& destination) {
    const PathView path(source);
    const std::size_t stemLength = path.rfind(PathChar{'.'});
    if (stemLength == path.npos || stemLength + kJpegExtensionLength >= WorkingPath::kSize) {
        return false;
    }
    std::copy_n(source, stemLength, destination.text);
    std::copy_n(kJpegExtension, kJpegExtensionLength + 1, destination.text + stemLength);
    return true;
}

// A file that is removed when it goes out of scope, unless it was moved away.
class TempFile {
public:
    explicit TempFile(const PathChar* besidePath) noexcept
        : created_(files::CreateTempFileBeside(besidePath, path_, kTempPathSize)) {}
    ~TempFile() {
        if (created_) files::RemoveFile(path_);
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    explicit operator bool() const noexcept { return created_; }
    const PathChar* path() const noexcept { return path_; }
    // Flushed first: a crash right after the rename must not leave an empty
    // or partial file where an older whole one was.
    bool MoveTo(const PathChar* target) noexcept {
        if (!files::FlushFileToDisk(path_) || !files::MoveFileReplacing(path_, target)) {
            return false;
        }
        created_ = false;
        return true;
    }

private:
    PathChar path_[kTempPathSize] = {};
    bool created_;
};

}  // namespace

bool ConvertImageToJpeg(const PathChar* source, WorkingPath& destination) noexcept {
    if (!ComposeJpegPath(source, destination)) return false;
    // Opened here, not by the decoder, so that only a regular file is read and
    // a FIFO cannot hold the call.
    files::ReadOnlyFile gif = files::ReadOnlyFile::Open(source);
    if (!gif) return false;
    TempFile jpeg(destination.text);
    return jpeg && image::ConvertGifToJpeg(gif, jpeg.path()) && jpeg.MoveTo(destination.text);
}

}  // namespace pushnote
