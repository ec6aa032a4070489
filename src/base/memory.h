#pragma once

#include <cstddef>
#include <utility>

namespace pushnote {

// Every buffer the library holds comes from ObtainMemory, so that a test can
// make the Nth request fail and check that each failure path releases all.
// A request for zero bytes fails, as an empty image file must.
void* ObtainMemory(std::size_t size) noexcept;
void ReleaseMemory(void* block) noexcept;

struct MemoryHooks {
    void* (*obtain)(std::size_t size) = nullptr;
    void (*release)(void* block) = nullptr;
};
// Replaces the allocator; empty hooks restore the default. For tests only.
void SetMemoryHooks(const MemoryHooks& hooks) noexcept;

// An owned heap buffer of a fixed size; empty when it could not be obtained.
class Buffer {
public:
    Buffer() = default;
    static Buffer Obtain(std::size_t size) noexcept;
    static Buffer ObtainZeroed(std::size_t size) noexcept;

    Buffer(Buffer&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}
    Buffer& operator=(Buffer&& other) noexcept;
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;
    ~Buffer() { Release(); }

    void Release() noexcept;
    explicit operator bool() const noexcept { return data_ != nullptr; }
    char* data() const noexcept { return data_; }
    std::size_t size() const noexcept { return size_; }

private:
    Buffer(char* data, std::size_t size) noexcept : data_(data), size_(size) {}
    char* data_ = nullptr;
    std::size_t size_ = 0;
};

// For the senders: a buffer of size bytes, or the raised failure -30.
Buffer ObtainOrRaise(std::size_t size);

}  // namespace pushnote
