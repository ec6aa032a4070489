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

bool LzwDecoder::ReadCode(std::uint32_t& code) noexcept {
    while (bitCount_ < codeSize_) {
        if (bytesLeft_ == 0 && (!next_(source_, bytes_, bytesLeft_) || bytesLeft_ == 0)) {
            return false;
        }
        bits_ |= static_cast<std::uint32_t>(*bytes_++) << bitCount_;
        --bytesLeft_;
        bitCount_ += 8;
    }
    code = bits_ & ((1u << codeSize_) - 1);
    bits_ >>= codeSize_;
    bitCount_ -= codeSize_;
    return true;
}

void LzwDecoder::WriteString(std::uint32_t code, unsigned char* end) const noexcept {
    for (std::uint32_t left = length_[code]; left > 0; --left) {
        *--end = suffix_[code];
        code = prefix_[code];
    }
}

bool LzwDecoder::Read(unsigned char* indexes, std::size_t count) noexcept {
    if (!tables_) return false;
    const std::size_t leftOver = std::min(pendingEnd_ - pendingStart_, count);
    std::memcpy(indexes, pending_ + pendingStart_, leftOver);
    pendingStart_ += leftOver;
    indexes += leftOver;
    count -= leftOver;

    while (count > 0) {
        std::uint32_t code = 0;
        if (ended_ || !ReadCode(code)) return false;
        if (code == clearCode_) {
            Clear();
            continue;
        }
        if (code == endCode_) {
            ended_ = true;
            return false;
        }
        if (previous_ < 0) {
            // After a clear code only a single colour can follow.
            if (code >= clearCode_) return false;
        } else {
            if (code > nextCode_) return false;
            // A full table takes no more strings until the next clear code;
            // codes are 12 bits, so none can then name the missing one.
            if (nextCode_ < kTableSize) {
                const auto previous = static_cast<std::uint32_t>(previous_);
                suffix_[nextCode_] = code < nextCode_ ? first_[code] : first_[previous];
                prefix_[nextCode_] = static_cast<std::uint16_t>(previous);
                first_[nextCode_] = first_[previous];
                length_[nextCode_] = static_cast<std::uint16_t>(length_[previous] + 1);
                ++nextCode_;
                if (nextCode_ == (1u << codeSize_) && codeSize_ < kMaxCodeBits) ++codeSize_;
            }
        }
        previous_ = static_cast<std::int32_t>(code);

        const std::size_t length = length_[code];
        if (length <= count) {
            WriteString(code, indexes + length);
            indexes += length;
            count -= length;
        } else {
            // The rest of the string starts the caller's next request.
            WriteString(code, pending_ + length);
            std::memcpy(indexes, pending_, count);
            pendingStart_ = count;
            pendingEnd_ = length;
            count = 0;
        }
    }
    return true;
}

}  // namespace pushnote::image
