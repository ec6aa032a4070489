#include "client_slots.h"

#include <utility>

#include "client_address.h"

namespace pushnote::inbox {

ClientSlots::ClientSlots(std::size_t total, std::size_t perClient, std::string trustedProxy)
    : total_(total), perClient_(perClient), trustedProxy_(std::move(trustedProxy)) {}

// An IPv6 client is its /64: one subscriber has all of it to pick from.
std::string ClientSlots::ClientOf(const std::string& address) const {
    return address == trustedProxy_ ? address : AddressBlock(address);
}

bool ClientSlots::Take(const std::string& address) {
    const std::lock_guard lock(mutex_);
    if (open_ >= total_) return false;
    std::size_t& held = byClient_[ClientOf(address)];
    if (held >= perClient_ && address != trustedProxy_) return false;
    ++held;
    ++open_;
    return true;
}

void ClientSlots::Give(const std::string& address) {
    const std::lock_guard lock(mutex_);
    const auto found = byClient_.find(ClientOf(address));
    if (found == byClient_.end()) return;
    if (--found->second == 0) byClient_.erase(found);
    --open_;
}

}  // namespace pushnote::inbox
