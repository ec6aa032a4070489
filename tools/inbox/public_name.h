#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pushnote::inbox {

// The name and port of a public URL ("https://notify.example.org" is
// notify.example.org and 443); nothing for anything but http(s)://NAME[:PORT].
struct PublicName {
    std::string name;  // lower case
    std::uint16_t port = 0;
};
std::optional<PublicName> ParsePublicUrl(std::string_view url);
// Whether a Host header names it: the name in any case, with its port or none.
bool IsPublicHost(std::string_view host, const PublicName& name);

}  // namespace pushnote::inbox
