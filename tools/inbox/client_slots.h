#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <unordered_map>

namespace pushnote::inbox {

// The connections each client address holds, so that one address cannot
// take every slot of the inbox. A trusted proxy speaks for many clients and
// is held only to the total.
class ClientSlots {
public:
    ClientSlots(std::size_t total, std::size_t perClient, std::string trustedProxy);

    // Takes a slot for a new connection from address; false when the address
    // or the inbox is at its cap.
    bool Take(const std::string& address);
    void Give(const std::string& address);

private:
    std::string ClientOf(const std::string& address) const;
    const std::size_t total_;
    const std::size_t perClient_;
    const std::string trustedProxy_;
    std::mutex mutex_;
    std::size_t open_ = 0;
    std::unordered_map<std::string, std::size_t> byClient_;
};

}  // namespace pushnote::inbox
