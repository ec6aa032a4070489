#include "image_info.h"

#include <cstdint>

namespace pushnote::inbox {
namespace {

constexpr std::string_view kPngSignature("\x89PNG\r\n\x1a\n", 8);

std::uint32_t BigEndian(std::string_view bytes, std::size_t at, std::size_t size) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < size; ++i) {
        value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    }
    return value;
}

std::optional<ImageInfo> InspectPng(std::string_view bytes) {
    // The IHDR chunk comes first: length, "IHDR", width, height.
    if (bytes.size() < 24 || BigEndian(bytes, 8, 4) != 13 || bytes.substr(12, 4) != "IHDR") {
        return std::nullopt;
    }
    const std::uint32_t width = BigEndian(bytes, 16, 4);
    const std::uint32_t height = BigEndian(bytes, 20, 4);
    // Each from 1 to 2^31 - 1, as the format allows.
    if (width == 0 || height == 0 || width > INT32_MAX || height > INT32_MAX) return std::nullopt;
    return ImageInfo{"image/png", static_cast<int>(width), static_cast<int>(height)};
}

bool IsStartOfFrame(unsigned char marker) {
    // C0..CF, less DHT (C4), JPG (C8) and DAC (CC).
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

std::optional<ImageInfo> InspectJpeg(std::string_view bytes) {
    std::size_t at = 2;
    while (at + 4 <= bytes.size()) {
        if (static_cast<unsigned char>(bytes[at]) != 0xFF) return std::nullopt;
        const auto marker = static_cast<unsigned char>(bytes[at + 1]);
        if (marker == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        const std::uint32_t length = BigEndian(bytes, at + 2, 2);
        if (IsStartOfFrame(marker)) {
            if (at + 9 > bytes.size()) return std::nullopt;
            return ImageInfo{"image/jpeg", static_cast<int>(BigEndian(bytes, at + 7, 2)),
                             static_cast<int>(BigEndian(bytes, at + 5, 2))};
        }
        if (length < 2) return std::nullopt;
        at += 2 + length;
    }
    return std::nullopt;
}

}  // namespace

std::optional<ImageInfo> InspectImage(std::string_view bytes) {
    if (bytes.starts_with(kPngSignature)) return InspectPng(bytes);
    if (bytes.starts_with("\xFF\xD8\xFF")) return InspectJpeg(bytes);
    return std::nullopt;
}

}  // namespace pushnote::inbox
