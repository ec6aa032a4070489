#pragma once

#include <cstddef>
#include <cstdint>

#include "base/memory.h"

namespace pushnote::image {

// Decodes the LZW-compressed colour indexes of one GIF image, any number at a
// time, writing each code's string straight into the caller's row.
class LzwDecoder {
public:
    // Hands out the next data sub-block; false at the image's terminating
    // block or when reading fails.
    using NextBlock = bool (*)(void* source, const unsigned char*& bytes, std::size_t& count);

    // minimumCodeSize is the byte that starts the image data (1 to 8).
    LzwDecoder(int minimumCodeSize, NextBlock next, void* source) noexcept;
    explicit operator bool() const noexcept { return static_cast<bool>(tables_); }

    // Fills count indexes. False when the data ends first or is corrupt.
    bool Read(unsigned char* indexes, std::size_t count) noexcept;
    // Passes over count indexes as Read would, writing none: each code costs
    // the same whatever the length of its string, so skipping pixels that
    // no one sees costs what the data holds, not what it claims.
    bool Skip(std::size_t count) noexcept;

private:
    static constexpr int kMaxCodeBits = 12;
    static constexpr std::uint32_t kTableSize = 1u << kMaxCodeBits;

    void Clear() noexcept;
    // Read (indexes set) or Skip (null).
    template <bool kWrite>
    bool Take(unsigned char* indexes, std::size_t count) noexcept;
    // Writes the string of code backwards from its last byte at end - 1.
    void WriteString(std::uint32_t code, unsigned char* end) const noexcept;

    NextBlock next_;
    void* source_;
    const unsigned char* bytes_ = nullptr;
    std::size_t bytesLeft_ = 0;
    std::uint32_t bits_ = 0;
    int bitCount_ = 0;

    int minimumCodeSize_;
    std::uint32_t clearCode_;
    std::uint32_t endCode_;
    int codeSize_ = 0;
    std::uint32_t nextCode_ = 0;
    std::int32_t previous_ = -1;
    bool ended_ = false;

    // prefix, suffix, first byte and length of each code's string, and the
    // part of a string that did not fit the caller's last request.
    Buffer tables_;
    std::uint16_t* prefix_ = nullptr;
    std::uint16_t* length_ = nullptr;
    unsigned char* suffix_ = nullptr;
    unsigned char* first_ = nullptr;
    unsigned char* pending_ = nullptr;
    std::size_t pendingStart_ = 0;
    std::size_t pendingEnd_ = 0;
    std::uint32_t pendingCode_ = 0;
    bool pendingWritten_ = true;
};

}  // namespace pushnote::image
