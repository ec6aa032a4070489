#include "image/gif_records_posix.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace pushnote::image {
namespace {

bool Refill(FileInput& input) {
    for (;;) {
        const ssize_t got = read(input.descriptor, input.ahead.data(), input.ahead.size());
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        input.start = 0;
        input.end = static_cast<std::size_t>(got);
        return true;
    }
}

}  // namespace

int ReadFromMemory(GifFileType* gif, GifByteType* destination, int count) {
    auto* input = static_cast<MemoryInput*>(gif->UserData);
    const std::size_t copied = std::min(input->left, static_cast<std::size_t>(count));
    std::memcpy(destination, input->next, copied);
    input->next += copied;
    input->left -= copied;
    return static_cast<int>(copied);
}

int ReadFromFile(GifFileType* gif, GifByteType* destination, int count) {
    auto* input = static_cast<FileInput*>(gif->UserData);
    int copied = 0;
    while (copied < count) {
        if (input->start == input->end && !Refill(*input)) break;
        const std::size_t piece =
            std::min(input->end - input->start, static_cast<std::size_t>(count - copied));
        std::memcpy(destination + copied, input->ahead.data() + input->start, piece);
        input->start += piece;
        copied += static_cast<int>(piece);
    }
    return copied;
}

bool NextCodeBlock(void* source, const unsigned char*& bytes, std::size_t& count) {
    auto* blocks = static_cast<CodeBlocks*>(source);
    if (blocks->used && DGifGetCodeNext(blocks->gif, &blocks->block) != GIF_OK) return false;
    blocks->used = true;
    if (!blocks->block) return false;
    bytes = blocks->block + 1;
    count = blocks->block[0];
    return true;
}

bool ReadExtension(GifFileType* gif, int& transparentIndex) {
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(gif, &code, &block) != GIF_OK) return false;
    if (code == GRAPHICS_EXT_FUNC_CODE && block) {
        GraphicsControlBlock control{};
        if (DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK) {
            transparentIndex = control.TransparentColor;
        }
    }
    while (block) {
        if (DGifGetExtensionNext(gif, &block) != GIF_OK) return false;
    }
    return true;
}

}  // namespace pushnote::image
