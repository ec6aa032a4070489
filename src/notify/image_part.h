#pragma once

#include <cstdint>

#include "base/failure.h"
#include "base/host_text.h"
#include "base/memory.h"
#include "image/load_image_file.h"
#include "image/working_path.h"

namespace pushnote {

// The "imageFile" field, measured but not yet written: its head (delimiter,
// disposition line with the file name "test.jpg" or "test.png", content-type
// line, empty line), the image file, opened, and its tail (line break,
// delimiter, "--" and a line break). The image bytes go from the file straight
// into their place in the body.
class ImagePart {
public:
    ImagePart() = default;

    explicit operator bool() const noexcept { return static_cast<bool>(head_); }
    // Head, image and tail bytes together.
    std::uint64_t length() const noexcept;
    // Writes the whole field to destination (length() bytes) and closes the
    // image file. -50 when the file cannot be read in full, else 0.
    ResultCode WriteTo(char* destination) noexcept;

private:
    friend ImagePart BuildImagePart(HostText imagePath, const char* delimiter, ResultCode& error,
                                    WorkingPath& workingPath) noexcept;

    Buffer head_;
    std::size_t headLength_ = 0;
    const char* delimiter_ = "";
    ImageFile image_;
};

// Prepares the image field for imagePath, ANSI or wide, which is classified
// first and then becomes a native path. The part keeps delimiter (to write
// its tail), so delimiter must outlive it: the senders pass the fixed
// boundary, a static text. A GIF is first converted to a .jpg
// beside it, whose path then stays in workingPath (the caller's), as does the
// image path otherwise. On failure the result is empty and error receives:
// -60 type refused; -50 path longer than the working path, conversion failed,
// file cannot be opened; -40 file of 4 GiB or more; -30 empty file or no
// memory.
ImagePart BuildImagePart(HostText imagePath, const char* delimiter, ResultCode& error,
                         WorkingPath& workingPath) noexcept;

}  // namespace pushnote
