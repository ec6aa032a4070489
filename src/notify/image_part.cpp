#include "notify/image_part.h"

#include <cstdio>
#include <cstring>

#include "image/convert_image_to_jpeg.h"
#include "image/detect_image_type.h"
#include "notify/multipart_format.h"

namespace pushnote {
namespace {

constexpr std::size_t kLineSize = 128;
constexpr const char* kDispositionFormat =
    "Content-Disposition: form-data; name=\"imageFile\"; filename=\"test.%s\"\r\n";
constexpr const char* kContentTypeFormat = "Content-Type: image/%s\r\n";

char* Put(char* destination, const char* text, std::size_t length) {
    std::memcpy(destination, text, length);
    return destination + length;
}

char* Put(char* destination, const char* text) {
    return Put(destination, text, std::strlen(text));
}

std::size_t TailLength(const char* delimiter) {
    return std::strlen(multipart::kLineBreak) + std::strlen(delimiter) +
           std::strlen(multipart::kClosing);
}

// Delimiter, line break, disposition and content-type lines, empty line.
Buffer BuildHead(const char* delimiter, const ImageFile& image, std::size_t& length) {
    char disposition[kLineSize];
    char contentType[kLineSize];
    std::snprintf(disposition, sizeof disposition, kDispositionFormat, image.extension());
    std::snprintf(contentType, sizeof contentType, kContentTypeFormat, image.subtype());
    length = std::strlen(delimiter) + std::strlen(multipart::kLineBreak) +
             std::strlen(disposition) + std::strlen(contentType) +
             std::strlen(multipart::kLineBreak);
    Buffer head = Buffer::Obtain(length);
    if (!head) return head;
    char* end = Put(head.data(), delimiter);
    end = Put(end, multipart::kLineBreak);
    end = Put(end, disposition);
    end = Put(end, contentType);
    Put(end, multipart::kLineBreak);
    return head;
}

}  // namespace

std::uint64_t ImagePart::length() const noexcept {
    return headLength_ + std::uint64_t{image_.size()} + TailLength(delimiter_);
}

ResultCode ImagePart::WriteTo(char* destination) noexcept {
    char* end = Put(destination, head_.data(), headLength_);
    if (!image_.ReadWholeInto(end)) return -50;
    end += image_.size();
    end = Put(end, multipart::kLineBreak);
    end = Put(end, delimiter_);
    Put(end, multipart::kClosing);
    return 0;
}

ImagePart BuildImagePart(HostText imagePath, const char* delimiter, ResultCode& error,
                         WorkingPath& workingPath) noexcept {
    error = 0;
    const char* subtype = "";
    bool needsConversion = false;
    const auto detect = [&](auto path) { return DetectImageType(path, subtype, needsConversion); };
    if (!std::visit(detect, imagePath)) {
        error = -60;
        return {};
    }
    // Refused rather than cut short: a cut path names another file.
    WorkingPath source;
    if (!source.Assign(imagePath)) {
        error = -50;
        return {};
    }
    if (!needsConversion) {
        workingPath = source;
    } else if (!ConvertImageToJpeg(source.text, workingPath)) {
        error = -50;
        return {};
    }

    ImagePart part;
    part.image_ = LoadImageFile(workingPath.text, error);
    if (error) return {};
    part.head_ = BuildHead(delimiter, part.image_, part.headLength_);
    if (!part.head_) {
        error = -30;
        return {};
    }
    part.delimiter_ = delimiter;
    return part;
}

}  // namespace pushnote
