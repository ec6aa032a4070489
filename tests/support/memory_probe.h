#pragma once

#include <cstddef>
#include <set>
#include <string>
#include <vector>

namespace pushnote::testing {

// Takes over the library's allocator while alive: counts every request, can
// fail the Nth one, and knows which blocks are still held.
class MemoryProbe {
public:
    explicit MemoryProbe(int failAtRequest = 0);
    ~MemoryProbe();
    MemoryProbe(const MemoryProbe&) = delete;
    MemoryProbe& operator=(const MemoryProbe&) = delete;

    int Requests() const { return requests_; }
    std::size_t Outstanding() const { return live_.size(); }
    // Sizes of the blocks in the order they were released.
    const std::vector<std::size_t>& ReleasedSizes() const { return releasedSizes_; }
    // Sizes of the blocks in the order they were obtained.
    const std::vector<std::size_t>& ObtainedSizes() const { return obtainedSizes_; }

private:
    static void* Obtain(std::size_t size);
    static void Release(void* block);

    int failAt_;
    int requests_ = 0;
    std::set<void*> live_;
    std::vector<std::size_t> obtainedSizes_;
    std::vector<std::size_t> releasedSizes_;
    std::vector<std::pair<void*, std::size_t>> sizes_;
};

}  // namespace pushnote::testing
