#pragma once

#include <cstdint>

#include "base/failure.h"
#include "image/file_services.h"

namespace pushnote {

// An image file classified, opened for reading alone and measured. Its bytes
// are read only once the caller has their final place, so a large image is
// held in memory once.
class ImageFile {
public:
    ImageFile() = default;

    explicit operator bool() const noexcept { return static_cast<bool>(reader_); }
    std::uint32_t size() const noexcept { return size_; }
    // "jpg" or "png", as DetectImageType gives them.
    const char* extension() const noexcept { return extension_; }
    // "jpeg" or "png".
    const char* subtype() const noexcept { return subtype_; }

    // Reads the whole file into destination (size() bytes) and closes it.
    // False when a read fails or the file is shorter than measured.
    bool ReadWholeInto(char* destination) noexcept;

private:
    friend ImageFile LoadImageFile(const PathChar* path, ResultCode& error) noexcept;

    files::ReadOnlyFile reader_;
    std::uint32_t size_ = 0;
    const char* extension_ = "";
    const char* subtype_ = "";
};

// Classifies the image at path (a native path) and opens it; error receives 0 or the code:
// -60 when the type is refused, -50 when the file cannot be opened, -40 when
// it is 4 GiB or larger, -30 when it is empty (an image that needs no memory
// counts as one that cannot get it). On error the result is empty.
ImageFile LoadImageFile(const PathChar* path, ResultCode& error) noexcept;

}  // namespace pushnote
