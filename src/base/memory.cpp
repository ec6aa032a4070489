#include "base/memory.h"

#include <cstdlib>
#include <cstring>

#include "base/failure.h"

namespace pushnote {
namespace {

MemoryHooks g_hooks;

}  // namespace

void* ObtainMemory(std::size_t size) noexcept {
    if (size == 0) return nullptr;
    return g_hooks.obtain ? g_hooks.obtain(size) : std::malloc(size);
}

void ReleaseMemory(void* block) noexcept {
    if (!block) return;
    if (g_hooks.release) {
        g_hooks.release(block);
    } else {
        std::free(block);
    }
}

void SetMemoryHooks(const MemoryHooks& hooks) noexcept {
    g_hooks = hooks;
}

Buffer Buffer::Obtain(std::size_t size) noexcept {
    auto* data = static_cast<char*>(ObtainMemory(size));
    return data ? Buffer(data, size) : Buffer();
}

Buffer Buffer::ObtainZeroed(std::size_t size) noexcept {
    Buffer buffer = Obtain(size);
    if (buffer) std::memset(buffer.data_, 0, size);
    return buffer;
}

Buffer& Buffer::operator=(Buffer&& other) noexcept {
    if (this != &other) {
        Release();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

void Buffer::Release() noexcept {
    ReleaseMemory(data_);
    data_ = nullptr;
    size_ = 0;
}

Buffer ObtainOrRaise(std::size_t size) {
    Buffer buffer = Buffer::Obtain(size);
    if (!buffer) Raise(-30);
    return buffer;
}

}  // namespace pushnote
