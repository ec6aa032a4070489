// The LZW decoder on hand-built code streams: a table that stays full with no
// clear code (a "deferred clear", which giflib's encoder never writes), and
// Skip passing over exactly what Read would have written.
#include "image/lzw_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace pushnote::image {
namespace {

constexpr int kMinCodeSize = 2;
constexpr unsigned kClear = 4;
constexpr unsigned kEnd = 5;
constexpr unsigned kTableSize = 4096;

// Packs codes at the width the decoder reads them, following its table.
std::string Pack(const std::vector<unsigned>& codes) {
    std::string bytes;
    unsigned bits = 0;
    int count = 0;
    int width = kMinCodeSize + 1;
    unsigned next = kEnd + 1;
    bool first = true;
    for (unsigned code : codes) {
        bits |= code << count;
        for (count += width; count >= 8; count -= 8, bits >>= 8) {
            bytes += static_cast<char>(bits & 0xFF);
        }
        if (code == kClear) {
            width = kMinCodeSize + 1;
            next = kEnd + 1;
            first = true;
            continue;
        }
        if (!first && next < kTableSize && ++next == (1u << width) && width < 12) ++width;
        first = false;
    }
    if (count > 0) bytes += static_cast<char>(bits & 0xFF);
    return bytes;
}

// What the codes stand for, by the book: a full table takes no more strings.
std::string Expand(const std::vector<unsigned>& codes) {
    std::vector<std::string> table;
    std::string out;
    int previous = -1;
    for (unsigned code : codes) {
        if (code == kClear) {
            table.clear();
            for (char root = 0; root < 4; ++root) table.push_back(std::string(1, root));
            table.resize(kEnd + 1);
            previous = -1;
            continue;
        }
        if (code == kEnd) break;
        if (previous >= 0 && table.size() < kTableSize) {
            const std::string& last = table[static_cast<std::size_t>(previous)];
            table.push_back(last + (code < table.size() ? table[code][0] : last[0]));
        }
        out += table[code];
        previous = static_cast<int>(code);
    }
    return out;
}

// Literals fill the table; then codes of every kind go on at 12 bits, a
// literal 0 first, whose one-byte string a table written past would spoil.
std::vector<unsigned> DeferredClearCodes() {
    std::vector<unsigned> codes{kClear};
    for (unsigned i = 0; codes.size() < 2 + kTableSize - (kEnd + 1); ++i)
        codes.push_back(i * 7 % 4);
    for (unsigned code : {0u, 4095u, 1000u, 3u, 6u, 4095u, 0u}) codes.push_back(code);
    codes.push_back(kEnd);
    return codes;
}

struct OneBlock {
    std::string bytes;
    bool handed = false;
};

bool NextBlock(void* source, const unsigned char*& bytes, std::size_t& count) {
    auto* block = static_cast<OneBlock*>(source);
    if (std::exchange(block->handed, true)) return false;
    bytes = reinterpret_cast<const unsigned char*>(block->bytes.data());
    count = block->bytes.size();
    return true;
}

TEST(LzwDecoder, KeepsAFullTableWithoutAClearCode) {
    const std::vector<unsigned> codes = DeferredClearCodes();
    const std::string expected = Expand(codes);
    OneBlock block{Pack(codes)};
    LzwDecoder decoder(kMinCodeSize, &NextBlock, &block);
    std::string decoded(expected.size(), '\xAA');
    ASSERT_TRUE(decoder.Read(reinterpret_cast<unsigned char*>(decoded.data()), decoded.size()));
    EXPECT_TRUE(decoded == expected)
        << "differs from byte "
        << std::mismatch(decoded.begin(), decoded.end(), expected.begin()).first - decoded.begin();
}

// Reads and skips in turn, by the given run lengths; the read parts must be
// those of a plain read, strings split across calls included.
class LzwSkip : public ::testing::TestWithParam<std::vector<std::size_t>> {};

TEST_P(LzwSkip, PassesOverWhatReadWouldWrite) {
    const std::vector<unsigned> codes = DeferredClearCodes();
    const std::string all = Expand(codes);
    OneBlock block{Pack(codes)};
    LzwDecoder decoder(kMinCodeSize, &NextBlock, &block);
    std::size_t at = 0;
    bool skip = true;
    for (std::size_t run : GetParam()) {
        skip = !skip;
        if (skip) {
            ASSERT_TRUE(decoder.Skip(run));
        } else {
            std::string part(run, '\xAA');
            ASSERT_TRUE(decoder.Read(reinterpret_cast<unsigned char*>(part.data()), run));
            EXPECT_EQ(part, all.substr(at, run)) << "at " << at;
        }
        at += run;
    }
    EXPECT_FALSE(decoder.Skip(all.size() - at + 1)) << "more than the data holds";
}

INSTANTIATE_TEST_SUITE_P(Runs, LzwSkip,
                         ::testing::Values(std::vector<std::size_t>{1, 1, 1, 4000, 3},
                                           std::vector<std::size_t>{7, 2000, 2, 2000, 1, 1},
                                           std::vector<std::size_t>{4090, 5, 1, 2, 3}));

}  // namespace
}  // namespace pushnote::image
