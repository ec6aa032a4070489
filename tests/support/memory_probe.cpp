#include "support/memory_probe.h"

#include <cstdlib>

#include "base/memory.h"

namespace pushnote::testing {
namespace {

MemoryProbe* g_active = nullptr;

}  // namespace

MemoryProbe::MemoryProbe(int failAtRequest) : failAt_(failAtRequest) {
    g_active = this;
    SetMemoryHooks({&MemoryProbe::Obtain, &MemoryProbe::Release});
}

MemoryProbe::~MemoryProbe() {
    SetMemoryHooks({});
    g_active = nullptr;
}

void* MemoryProbe::Obtain(std::size_t size) {
    MemoryProbe& probe = *g_active;
    ++probe.requests_;
    if (probe.requests_ == probe.failAt_) return nullptr;
    void* block = std::malloc(size);
    probe.live_.insert(block);
    probe.obtainedSizes_.push_back(size);
    probe.sizes_.emplace_back(block, size);
    return block;
}

void MemoryProbe::Release(void* block) {
    MemoryProbe& probe = *g_active;
    probe.live_.erase(block);
    for (auto it = probe.sizes_.begin(); it != probe.sizes_.end(); ++it) {
        if (it->first == block) {
            probe.releasedSizes_.push_back(it->second);
            probe.sizes_.erase(it);
            break;
        }
    }
    std::free(block);
}

}  // namespace pushnote::testing
