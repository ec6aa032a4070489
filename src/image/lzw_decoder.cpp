#include "image/lzw_decoder.h"

#include <algorithm>
#include <cstring>

namespace pushnote::image {
namespace {

constexpr int kLargestMinimumCodeSize = 8;

}  // namespace

LzwDecoder::LzwDecoder(int minimumCodeSize, NextBlock next, void* source) noexcept
    : next_(next),
      source_(source),
      minimumCodeSize_(minimumCodeSize),
      clearCode_(1u << std::clamp(minimumCodeSize, 0, kLargestMinimumCodeSize)),
      endCode_(clearCode_ + 1) {
    if (minimumCodeSize < 1 || minimumCodeSize > kLargestMinimumCodeSize) return;
    // Two 16-bit tables, then three byte tables.
    tables_ = Buffer::Obtain(kTableSize * (2 * sizeof(std::uint16_t) + 3));
    if (!tables_) return;
    char* base = tables_.data();
    prefix_ = reinterpret_cast<std::uint16_t*>(base);
    length_ = reinterpret_cast<std::uint16_t*>(base + kTableSize * sizeof(std::uint16_t));
    suffix_ = reinterpret_cast<unsigned char*>(base + kTableSize * 2 * sizeof(std::uint16_t));
    first_ = suffix_ + kTableSize;
    pending_ = first_ + kTableSize;
    for (std::uint32_t root = 0; root < clearCode_; ++root) {
        prefix_[root] = 0;
        length_[root] = 1;
        suffix_[root] = static_cast<unsigned char>(root);
        first_[root] = static_cast<unsigned char>(root);
    }
    Clear();
}

void LzwDecoder::Clear() noexcept {
    codeSize_ = minimumCodeSize_ + 1;
    nextCode_ = endCode_ + 1;
    previous_ = -1;
}

void LzwDecoder::WriteString(std::uint32_t code, unsigned char* end) const noexcept {
    for (std::uint32_t left = length_[code]; left > 0; --left) {
        *--end = suffix_[code];
        code = prefix_[code];
    }
}

// The hot state lives in locals for the loop: stores through the byte
// pointers could alias the members, which would otherwise be reloaded after
// every pixel.
bool LzwDecoder::Read(unsigned char* indexes, std::size_t count) noexcept {
    return Take<true>(indexes, count);
}

bool LzwDecoder::Skip(std::size_t count) noexcept {
    return Take<false>(nullptr, count);
}

template <bool kWrite>
bool LzwDecoder::Take(unsigned char* indexes, std::size_t count) noexcept {
    if (!tables_) return false;
    const std::size_t leftOver = std::min(pendingEnd_ - pendingStart_, count);
    if constexpr (kWrite) {
        if (leftOver > 0 && !pendingWritten_) {
            WriteString(pendingCode_, pending_ + pendingEnd_);
            pendingWritten_ = true;
        }
        std::memcpy(indexes, pending_ + pendingStart_, leftOver);
        indexes += leftOver;
    }
    pendingStart_ += leftOver;
    count -= leftOver;
    if (count == 0) return true;
    if (ended_) return false;

    std::uint16_t* const prefix = prefix_;
    std::uint16_t* const lengths = length_;
    unsigned char* const suffix = suffix_;
    unsigned char* const first = first_;
    const unsigned char* bytes = bytes_;
    std::size_t bytesLeft = bytesLeft_;
    std::uint32_t bits = bits_;
    int bitCount = bitCount_;
    int codeSize = codeSize_;
    std::uint32_t nextCode = nextCode_;
    std::int32_t previous = previous_;
    bool ok = true;

    while (count > 0) {
        while (bitCount < codeSize) {
            if (bytesLeft == 0 && (!next_(source_, bytes, bytesLeft) || bytesLeft == 0)) {
                ok = false;
                break;
            }
            bits |= static_cast<std::uint32_t>(*bytes++) << bitCount;
            --bytesLeft;
            bitCount += 8;
        }
        if (!ok) break;
        const std::uint32_t code = bits & ((1u << codeSize) - 1);
        bits >>= codeSize;
        bitCount -= codeSize;

        if (code == clearCode_) {
            codeSize = minimumCodeSize_ + 1;
            nextCode = endCode_ + 1;
            previous = -1;
            continue;
        }
        if (code == endCode_) {
            ended_ = true;
            ok = false;
            break;
        }
        if (previous < 0) {
            // After a clear code only a single colour can follow.
            if (code >= clearCode_) {
                ok = false;
                break;
            }
        } else {
            if (code > nextCode) {
                ok = false;
                break;
            }
            // A full table takes no more strings until the next clear code;
            // codes are 12 bits, so none can then name the missing one.
            if (nextCode < kTableSize) {
                const auto last = static_cast<std::uint32_t>(previous);
                suffix[nextCode] = code < nextCode ? first[code] : first[last];
                prefix[nextCode] = static_cast<std::uint16_t>(last);
                first[nextCode] = first[last];
                lengths[nextCode] = static_cast<std::uint16_t>(lengths[last] + 1);
                ++nextCode;
                if (nextCode == (1u << codeSize) && codeSize < kMaxCodeBits) ++codeSize;
            }
        }
        previous = static_cast<std::int32_t>(code);

        const std::size_t length = lengths[code];
        if (length <= count) {
            if constexpr (kWrite) {
                if (length == 1) {
                    *indexes = suffix[code];
                } else {
                    WriteString(code, indexes + length);
                }
                indexes += length;
            }
            count -= length;
        } else {
            // The rest of the string starts the caller's next request.
            // Skipping writes it only if a read then wants it: its code's
            // string stays as it is until the next code is read.
            pendingCode_ = code;
            pendingWritten_ = kWrite;
            if constexpr (kWrite) {
                WriteString(code, pending_ + length);
                std::memcpy(indexes, pending_, count);
            }
            pendingStart_ = count;
            pendingEnd_ = length;
            count = 0;
        }
    }

    bytes_ = bytes;
    bytesLeft_ = bytesLeft;
    bits_ = bits;
    bitCount_ = bitCount;
    codeSize_ = codeSize;
    nextCode_ = nextCode;
    previous_ = previous;
    return ok;
}

}  // namespace pushnote::image
