#include "client_address.h"

#include <arpa/inet.h>

#include <string_view>

namespace pushnote::inbox {
namespace {

std::string_view Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool IsAddress(const std::string& text) {
    unsigned char bytes[sizeof(in6_addr)];
    return inet_pton(AF_INET, text.c_str(), bytes) == 1 ||
           inet_pton(AF_INET6, text.c_str(), bytes) == 1;
}

}  // namespace

std::string ClientAddress(const httplib::Request& request, const std::string& trustedProxy) {
    if (trustedProxy.empty() || request.remote_addr != trustedProxy) return request.remote_addr;
    const std::size_t count = request.get_header_value_count("X-Forwarded-For");
    if (count == 0) return request.remote_addr;
    const std::string forwarded = request.get_header_value("X-Forwarded-For", count - 1);
    const auto comma = forwarded.rfind(',');
    const std::string last(
        Trimmed(std::string_view(forwarded).substr(comma == std::string::npos ? 0 : comma + 1)));
    return IsAddress(last) ? last : request.remote_addr;
}

}  // namespace pushnote::inbox
