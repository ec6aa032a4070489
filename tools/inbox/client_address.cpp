#include "client_address.h"

#include <arpa/inet.h>

#include <algorithm>
#include <string_view>

#include "request_guards.h"

namespace pushnote::inbox {
namespace {

bool IsAddress(const std::string& text) {
    in6_addr v6{};
    in_addr v4{};
    return inet_pton(AF_INET, text.c_str(), &v4) == 1 ||
           inet_pton(AF_INET6, text.c_str(), &v6) == 1;
}

std::string Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return std::string(text);
}

}  // namespace

std::string ClientAddress(const httplib::Request& request, const std::string& trustedProxy) {
    const std::string& peer = request.remote_addr;
    if (trustedProxy.empty() || peer != trustedProxy) return peer;
    // The proxy appends the address it saw; what comes before is the client's word.
    std::string forwarded;
    const std::size_t count = request.get_header_value_count("X-Forwarded-For");
    if (count > 0) forwarded = request.get_header_value("X-Forwarded-For", count - 1);
    const std::size_t comma = forwarded.rfind(',');
    std::string last =
        Trimmed(comma == std::string::npos ? std::string_view(forwarded)
                                           : std::string_view(forwarded).substr(comma + 1));
    // Without a readable address the client is unknown, never the proxy (often loopback).
    return IsAddress(last) ? last : std::string(kUnknownClient);
}

bool IsLocalRequest(const httplib::Request& request, const std::string& trustedProxy) {
    return IsLoopbackAddress(ClientAddress(request, trustedProxy)) &&
           IsLoopbackHost(request.get_header_value("Host"));
}

std::string AddressBlock(const std::string& address) {
    in6_addr v6{};
    if (inet_pton(AF_INET6, address.c_str(), &v6) != 1 || IN6_IS_ADDR_V4MAPPED(&v6)) {
        return address;
    }
    std::fill(v6.s6_addr + 8, v6.s6_addr + 16, 0);
    char text[INET6_ADDRSTRLEN] = {};
    inet_ntop(AF_INET6, &v6, text, sizeof text);
    return std::string(text) + "/64";
}

bool IsLoopbackAddress(const std::string& address) {
    in_addr v4{};
    if (inet_pton(AF_INET, address.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    return inet_pton(AF_INET6, address.c_str(), &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6);
}

}  // namespace pushnote::inbox
