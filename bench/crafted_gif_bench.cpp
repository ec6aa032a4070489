// The cost of GIFs made to cost: small files whose frames claim far more
// pixels than their canvas shows, their codes each standing for thousands of
// pixels. Converts each with ConvertImageToJpeg, on either platform (under
// Wine for the Windows backend), and prints the time and the result. The goal
// is under 50 ms for each of the first two, whatever the result.
// Usage: crafted_gif_bench [FOLDER]   (the files go there; default: the
// system's temporary folder)
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "image/convert_image_to_jpeg.h"

namespace {

// LZW codes of variable width, packed least significant bit first, as the
// decoder would read them with min code size 8.
class Codes {
public:
    void Put(unsigned code) {
        bits_ |= std::uint64_t{code} << count_;
        count_ += width_;
        while (count_ >= 8) {
            bytes += static_cast<char>(bits_ & 0xFF);
            bits_ >>= 8;
            count_ -= 8;
        }
    }
    // Follows the decoder's table after a code other than the first after a clear.
    void Added() {
        if (next_ < 4096) ++next_;
        if (next_ == (1u << width_) && width_ < 12) ++width_;
    }
    void Finish() {
        if (count_ > 0) bytes += static_cast<char>(bits_ & 0xFF);
    }
    std::string bytes;

private:
    std::uint64_t bits_ = 0;
    int count_ = 0;
    int width_ = 9;
    unsigned next_ = 258;
};

void PutWord(std::string& out, unsigned value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>(value >> 8);
}

// One colour run: codes 0, 258, 259, ... 4095 each one longer than the last,
// then code 4095 (3,839 pixels) again and again with the table full and no
// clear code, until the codes stand for pixels or take dataBytes.
std::string CraftedGif(unsigned canvasWidth, unsigned canvasHeight, unsigned frameWidth,
                       unsigned frameHeight, bool interlaced, std::uint64_t pixels,
                       std::size_t dataBytes) {
    Codes codes;
    codes.Put(256);
    codes.Put(0);
    std::uint64_t made = 1;
    for (unsigned code = 258; made < pixels && codes.bytes.size() < dataBytes; ++code) {
        const unsigned next = std::min(code, 4095u);
        codes.Put(next);
        codes.Added();
        made += next - 256;
    }
    codes.Put(257);
    codes.Finish();

    std::string gif = "GIF89a";
    PutWord(gif, canvasWidth);
    PutWord(gif, canvasHeight);
    gif += std::string("\x80\x00\x00", 3);  // global table of 2 colours
    gif += std::string("\x00\x00\x00\xFF\xFF\xFF", 6);
    gif += '\x2C';
    PutWord(gif, 0);
    PutWord(gif, 0);
    PutWord(gif, frameWidth);
    PutWord(gif, frameHeight);
    gif += static_cast<char>(interlaced ? 0x40 : 0x00);
    gif += '\x08';
    for (std::size_t at = 0; at < codes.bytes.size(); at += 255) {
        const std::string block = codes.bytes.substr(at, 255);
        gif += static_cast<char>(block.size());
        gif += block;
    }
    return gif + '\0' + '\x3B';
}

struct Crafted {
    const char* name;
    unsigned canvasWidth, canvasHeight, frameWidth, frameHeight;
    bool interlaced;
    std::size_t dataBytes;
};

constexpr std::size_t kLarge = 1'600'000;
constexpr Crafted kCrafted[] = {
    {"1x65500 canvas, 65535x65500 frame", 1, 65500, 65535, 65500, false, kLarge},
    {"16x16 canvas, interlaced 65535x65535 frame", 16, 16, 65535, 65535, true, kLarge},
    // Within the frame limit: every row has columns to pass over.
    {"1x1500 canvas, 65535x1500 frame", 1, 1500, 65535, 1500, false, kLarge},
    {"16x16 canvas, interlaced 10000x10000 frame", 16, 16, 10000, 10000, true, kLarge},
};

}  // namespace

int main(int argc, char** argv) {
    const std::filesystem::path folder =
        argc > 1 ? std::filesystem::path(argv[1]) : std::filesystem::temp_directory_path();
    for (const Crafted& c : kCrafted) {
        const std::string bytes =
            CraftedGif(c.canvasWidth, c.canvasHeight, c.frameWidth, c.frameHeight, c.interlaced,
                       std::uint64_t{c.frameWidth} * c.frameHeight, c.dataBytes);
        const std::filesystem::path path = folder / "pushnote_crafted_bench.gif";
        std::ofstream(path, std::ios::binary) << bytes;
        double best = 1e9;
        bool converted = false;
        for (int run = 0; run < 3; ++run) {
            pushnote::WorkingPath destination;
            const auto start = std::chrono::steady_clock::now();
            converted = pushnote::ConvertImageToJpeg(path.c_str(), destination);
            best = std::min(best, std::chrono::duration<double, std::milli>(
                                      std::chrono::steady_clock::now() - start)
                                      .count());
        }
        std::printf("%-46s %8zu bytes  %9.1f ms  %s\n", c.name, bytes.size(), best,
                    converted ? "converted" : "refused");
        std::filesystem::remove(path);
        std::filesystem::path jpeg = path;
        std::filesystem::remove(jpeg.replace_extension(".jpg"));
    }
    return 0;
}
