#pragma once

#include <gif_lib.h>

#include <cstddef>
#include <memory>

#include "base/memory.h"

// The GIF's records as giflib reads them: where its bytes come from, the
// image's data sub-blocks, and the extensions before the first image.
namespace pushnote::image {

struct GifCloser {
    void operator()(GifFileType* gif) const noexcept { DGifCloseFile(gif, nullptr); }
};
using GifFile = std::unique_ptr<GifFileType, GifCloser>;

// giflib asks for a few bytes at a time; both sources answer from memory.
struct MemoryInput {
    const unsigned char* next;
    std::size_t left;
};
int ReadFromMemory(GifFileType* gif, GifByteType* destination, int count);

// Reads the file ahead in large pieces, so that giflib's small requests cost
// no system call each.
struct FileInput {
    int descriptor;
    Buffer ahead;
    std::size_t start = 0;
    std::size_t end = 0;
};
int ReadFromFile(GifFileType* gif, GifByteType* destination, int count);

// The image's data sub-blocks as giflib reads them, starting with the one
// DGifGetCode handed out. giflib reads each into the same buffer, so the next
// is fetched only once the decoder has used the last.
struct CodeBlocks {
    GifFileType* gif;
    GifByteType* block;
    bool used = false;
};
// An LzwDecoder::NextBlock over CodeBlocks.
bool NextCodeBlock(void* source, const unsigned char*& bytes, std::size_t& count);

// The graphics control extensions before the first image; the last one
// applies to it. -1 when no colour is transparent.
bool ReadExtension(GifFileType* gif, int& transparentIndex);

}  // namespace pushnote::image
