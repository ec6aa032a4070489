#include "notify/multipart_boundary.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "base/memory.h"
#include "notify/multipart_format.h"

namespace pushnote::multipart {
namespace {

constexpr std::size_t kHyphens = 26;  // in a delimiter: the boundary's 24 and two more
constexpr std::size_t kDigits = 16;
constexpr std::size_t kDelimiterLength = kHyphens + kDigits;
// Candidates are looked for in windows of this many numbers, one pass over
// the body each: a body of n bytes holds at most n / 42 delimiters, so a
// window this size is full only for bodies over 42 MiB, and a few passes
// always find a free one.
constexpr std::uint64_t kWindow = std::uint64_t{1} << 20;

constexpr int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The fixed boundary's hex digits as a number.
constexpr std::uint64_t kFixedNumber = [] {
    std::uint64_t number = 0;
    for (std::size_t i = kHyphens - 2; i < kHyphens - 2 + kDigits; ++i) {
        number = number << 4 | static_cast<unsigned>(HexValue(kBoundary[i]));
    }
    return number;
}();

// Calls found(number) for every delimiter in the body outside the offsets.
template <typename Found>
void ForEachDelimiter(const char* body, std::size_t length,
                      const std::size_t (&delimiterOffsets)[3], Found found) {
    if (length < kDelimiterLength) return;
    std::size_t run = 0;  // hyphens just before position
    for (std::size_t position = 0; position + kDigits <= length; ++position) {
        if (body[position] == '-') {
            ++run;
            continue;
        }
        if (run >= kHyphens) {
            const std::size_t start = position - kHyphens;
            std::uint64_t number = 0;
            std::size_t digits = 0;
            for (int value; digits < kDigits && (value = HexValue(body[position + digits])) >= 0;
                 ++digits) {
                number = number << 4 | static_cast<unsigned>(value);
            }
            if (digits == kDigits &&
                std::find(std::begin(delimiterOffsets), std::end(delimiterOffsets), start) ==
                    std::end(delimiterOffsets)) {
                found(number);
            }
        }
        run = 0;
    }
}

void Format(std::uint64_t number, Boundary& boundary) {
    std::snprintf(boundary.text, sizeof boundary.text, "%.24s%016llx", kBoundary,
                  static_cast<unsigned long long>(number));
    std::snprintf(boundary.delimiter, sizeof boundary.delimiter, "--%s", boundary.text);
}

}  // namespace

ResultCode ChooseBoundary(char* body, std::size_t length, const std::size_t (&delimiterOffsets)[3],
                          Boundary& chosen) noexcept {
    bool fixedFound = false;
    ForEachDelimiter(body, length, delimiterOffsets,
                     [&](std::uint64_t number) { fixedFound |= number == kFixedNumber; });
    std::uint64_t number = kFixedNumber;
    if (fixedFound) {
        Buffer taken = Buffer::Obtain(kWindow / 8);
        if (!taken) return -30;
        for (std::uint64_t first = kFixedNumber + 1;; first += kWindow) {
            std::memset(taken.data(), 0, kWindow / 8);
            ForEachDelimiter(body, length, delimiterOffsets, [&](std::uint64_t found) {
                const std::uint64_t index = found - first;  // wraps around like the numbers
                if (index < kWindow) taken.data()[index / 8] |= static_cast<char>(1 << index % 8);
            });
            std::uint64_t index = 0;
            while (index < kWindow && (taken.data()[index / 8] >> index % 8 & 1)) ++index;
            if (index < kWindow) {
                number = first + index;
                break;
            }
        }
    }
    Format(number, chosen);
    if (number != kFixedNumber) {
        for (const std::size_t offset : delimiterOffsets) {
            std::memcpy(body + offset, chosen.delimiter, kDelimiterLength);
        }
    }
    return 0;
}

}  // namespace pushnote::multipart
