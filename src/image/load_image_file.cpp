#include "image/load_image_file.h"

#include "image/detect_image_type.h"

namespace pushnote {
namespace {

constexpr std::uint64_t kFourGiB = std::uint64_t{1} << 32;

}  // namespace

bool ImageFile::ReadWholeInto(char* destination) noexcept {
    const bool complete = reader_.ReadExactly(destination, size_);
    reader_.Close();
    return complete;
}

ImageFile LoadImageFile(const PathChar* path, ResultCode& error) noexcept {
    error = 0;
    ImageFile image;
    bool needsConversion = false;
    image.extension_ = DetectImageType(path, image.subtype_, needsConversion);
    if (!image.extension_) {
        error = -60;
        return {};
    }
    image.reader_ = files::ReadOnlyFile::Open(path);
    std::uint64_t size = 0;
    if (!image.reader_ || !image.reader_.QuerySize(size)) {
        error = -50;
        return {};
    }
    if (size >= kFourGiB) {
        error = -40;
        return {};
    }
    if (size == 0) {
        error = -30;
        return {};
    }
    image.size_ = static_cast<std::uint32_t>(size);
    return image;
}

}  // namespace pushnote
