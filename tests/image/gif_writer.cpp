#include "image/gif_writer.h"

namespace pushnote::testing {
namespace {

// LZW with 8-bit literals only: a clear code before the table could grow
// past 9-bit codes keeps every decoder on fixed 9-bit codes.
constexpr int kMinCodeSize = 8;
constexpr unsigned kClearCode = 1u << kMinCodeSize;
constexpr unsigned kEndCode = kClearCode + 1;
constexpr int kCodeBits = kMinCodeSize + 1;
constexpr int kLiteralsPerClear = (1 << kMinCodeSize) - 4;

void PutWord(std::string& out, unsigned value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

// Table size field: the table holds 2^(field + 1) entries.
int TableSizeField(std::size_t colours) {
    int field = 0;
    while ((std::size_t{2} << field) < colours) ++field;
    return field;
}

void PutColourTable(std::string& out, const std::vector<Rgb>& colours) {
    const std::size_t entries = std::size_t{2} << TableSizeField(colours.size());
    for (std::size_t i = 0; i < entries; ++i) {
        const Rgb colour = i < colours.size() ? colours[i] : Rgb{0, 0, 0};
        out += static_cast<char>(colour.red);
        out += static_cast<char>(colour.green);
        out += static_cast<char>(colour.blue);
    }
}

class CodeWriter {
public:
    void Put(unsigned code) {
        pending_ |= code << pendingBits_;
        pendingBits_ += kCodeBits;
        while (pendingBits_ >= 8) {
            bytes_ += static_cast<char>(pending_ & 0xFF);
            pending_ >>= 8;
            pendingBits_ -= 8;
        }
    }
    // The codes as data sub-blocks of at most 255 bytes, and the terminator.
    std::string Finish() {
        if (pendingBits_ > 0) bytes_ += static_cast<char>(pending_ & 0xFF);
        std::string blocks;
        for (std::size_t at = 0; at < bytes_.size(); at += 255) {
            const std::string block = bytes_.substr(at, 255);
            blocks += static_cast<char>(block.size());
            blocks += block;
        }
        return blocks + '\0';
    }

private:
    std::string bytes_;
    unsigned pending_ = 0;
    int pendingBits_ = 0;
};

std::vector<int> RowOrder(const GifFrame& frame) {
    std::vector<int> rows;
    if (!frame.interlaced) {
        for (int y = 0; y < frame.height; ++y) rows.push_back(y);
        return rows;
    }
    const int offsets[] = {0, 4, 2, 1};
    const int jumps[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
        for (int y = offsets[pass]; y < frame.height; y += jumps[pass]) rows.push_back(y);
    }
    return rows;
}

std::string EncodePixels(const GifFrame& frame) {
    CodeWriter writer;
    int sinceClear = kLiteralsPerClear;
    for (int y : RowOrder(frame)) {
        for (int x = 0; x < frame.width; ++x) {
            if (sinceClear == kLiteralsPerClear) {
                writer.Put(kClearCode);
                sinceClear = 0;
            }
            writer.Put(frame.indexes[static_cast<std::size_t>(y) * frame.width + x]);
            ++sinceClear;
        }
    }
    writer.Put(kEndCode);
    return static_cast<char>(kMinCodeSize) + writer.Finish();
}

void PutFrame(std::string& out, const GifFrame& frame) {
    // Graphic control extension: delay 0, transparency if any.
    out += "\x21\xF9\x04";
    out += static_cast<char>(frame.transparentIndex >= 0 ? 0x01 : 0x00);
    PutWord(out, 0);
    out += static_cast<char>(frame.transparentIndex >= 0 ? frame.transparentIndex : 0);
    out += '\0';

    out += '\x2C';
    PutWord(out, frame.left);
    PutWord(out, frame.top);
    PutWord(out, frame.width);
    PutWord(out, frame.height);
    int flags = frame.interlaced ? 0x40 : 0;
    if (!frame.localColours.empty()) flags |= 0x80 | TableSizeField(frame.localColours.size());
    out += static_cast<char>(flags);
    if (!frame.localColours.empty()) PutColourTable(out, frame.localColours);
    out += EncodePixels(frame);
}

}  // namespace

std::string EncodeGif(const GifPicture& picture) {
    std::string out = "GIF89a";
    PutWord(out, picture.width);
    PutWord(out, picture.height);
    const bool global = !picture.globalColours.empty();
    out += static_cast<char>(global ? 0xF0 | TableSizeField(picture.globalColours.size()) : 0x70);
    out += '\0';  // background colour index
    out += '\0';  // pixel aspect ratio
    if (global) PutColourTable(out, picture.globalColours);
    for (const GifFrame& frame : picture.frames) PutFrame(out, frame);
    return out + '\x3B';
}

}  // namespace pushnote::testing
