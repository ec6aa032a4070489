#include "url_parts.h"

#include <algorithm>
#include <charconv>
#include <string_view>

namespace pushnote::inbox {
namespace {

constexpr std::size_t kMaxUrlLength = 4096;

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsSafeIpv6(std::string_view host) {
    return !host.empty() && std::all_of(host.begin(), host.end(), [](char c) {
        return HexValue(c) >= 0 || c == ':' || c == '.';
    });
}

// Path characters that need no escape, and escapes themselves.
bool IsPathCharacter(char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    return std::string_view("-._~!$&'()*+,;=:@/%").find(c) != std::string_view::npos;
}

UrlSplit Refuse(std::string why) {
    return {std::nullopt, std::move(why)};
}

std::optional<std::uint16_t> ParsePort(std::string_view text) {
    unsigned value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value == 0 || value > 65535) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(value);
}

// Decodes %XX; nothing for a broken escape or a control character.
std::optional<std::string> PercentDecode(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '%') {
            if (i + 2 >= text.size()) return std::nullopt;
            int high = HexValue(text[i + 1]);
            int low = HexValue(text[i + 2]);
            if (high < 0 || low < 0) return std::nullopt;
            c = static_cast<char>(high * 16 + low);
            i += 2;
        }
        auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) return std::nullopt;
        out += c;
    }
    return out;
}

}  // namespace

std::string PercentEncode(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char c : text) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '.' || c == '_' || c == '~') {
            out += c;
        } else {
            auto byte = static_cast<unsigned char>(c);
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        }
    }
    return out;
}
std::string LastSegment(std::string_view path) {
    while (!path.empty() && path.back() == '/') path.remove_suffix(1);
    return std::string(path.substr(path.find_last_of('/') + 1));
}

bool IsSafeHost(std::string_view host) {
    if (host.empty() || host.size() > 253) return false;
    return std::all_of(host.begin(), host.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '.' || c == '-';
    });
}

std::string UrlHost(const std::string& host) {
    return host.find(':') != std::string::npos ? "[" + host + "]" : host;
}

std::string HostAndPort(const UrlParts& parts) {
    std::string text = UrlHost(parts.host);
    if (parts.port) {
        text += ':';
        text += std::to_string(*parts.port);
    }
    return text;
}

UrlSplit SplitUrl(std::string_view url) {
    if (url.size() > kMaxUrlLength) return Refuse("the URL is longer than 4096 bytes");
    UrlParts parts;
    const auto schemeEnd = url.find("://");
    if (schemeEnd == std::string_view::npos || schemeEnd == 0) {
        return Refuse("the URL has no scheme:// at its start");
    }
    for (char c : url.substr(0, schemeEnd)) {
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) {
            return Refuse("the scheme holds more than letters");
        }
        parts.scheme += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    url.remove_prefix(schemeEnd + 3);
    if (url.find('#') != std::string_view::npos) return Refuse("a fragment (#) is not allowed");

    std::string_view query;
    if (auto mark = url.find('?'); mark != std::string_view::npos) {
        query = url.substr(mark + 1);
        url = url.substr(0, mark);
    }
    std::string_view authority = url;
    if (auto slash = url.find('/'); slash != std::string_view::npos) {
        authority = url.substr(0, slash);
        std::string_view path = url.substr(slash);
        if (!std::all_of(path.begin(), path.end(), IsPathCharacter) || !PercentDecode(path)) {
            return Refuse("the path holds a character that must be escaped, or a bad escape");
        }
        parts.path = path;
    }

    std::string_view hostPort = authority;
    if (auto at = authority.rfind('@'); at != std::string_view::npos) {
        std::string_view userinfo = authority.substr(0, at);
        hostPort = authority.substr(at + 1);
        std::string_view user = userinfo;
        std::string_view password;
        if (auto colon = userinfo.find(':'); colon != std::string_view::npos) {
            user = userinfo.substr(0, colon);
            password = userinfo.substr(colon + 1);
            parts.hasPassword = true;
        }
        auto decodedUser = PercentDecode(user);
        if (!decodedUser || decodedUser->empty()) {
            return Refuse("the user name is empty, badly escaped or holds a control character");
        }
        auto decodedPassword = PercentDecode(password);
        if (!decodedPassword) {
            return Refuse("the password is badly escaped or holds a control character");
        }
        parts.hasUser = true;
        parts.rawUser = user;
        parts.user = std::move(*decodedUser);
        parts.password = std::move(*decodedPassword);
    }

    std::string_view portText;
    bool hasPort = false;
    if (hostPort.starts_with('[')) {
        auto close = hostPort.find(']');
        if (close == std::string_view::npos) return Refuse("an IPv6 host lacks its ']'");
        parts.host = hostPort.substr(1, close - 1);
        if (!IsSafeIpv6(parts.host)) return Refuse("the IPv6 host is not valid");
        std::string_view rest = hostPort.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':') return Refuse("unexpected text after the IPv6 host");
            portText = rest.substr(1);
            hasPort = true;
        }
    } else {
        if (auto colon = hostPort.find(':'); colon != std::string_view::npos) {
            portText = hostPort.substr(colon + 1);
            hostPort = hostPort.substr(0, colon);
            hasPort = true;
        }
        parts.host = hostPort;
        if (!IsSafeHost(parts.host)) return Refuse("the host is missing or not a valid name");
    }
    if (hasPort) {
        parts.port = ParsePort(portText);
        if (!parts.port) return Refuse("the port must be a number from 1 to 65535");
    }

    while (!query.empty()) {
        auto amp = query.find('&');
        std::string_view pair = query.substr(0, amp);
        query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
        if (pair.empty()) continue;
        auto equals = pair.find('=');
        auto key = PercentDecode(pair.substr(0, equals));
        if (!key) return Refuse("a query name is badly escaped or holds a control character");
        auto value = PercentDecode(equals == std::string_view::npos ? std::string_view()
                                                                    : pair.substr(equals + 1));
        if (!value) {
            return Refuse("\"" + key->substr(0, 40) +
                          "\" is badly escaped or holds a control character");
        }
        parts.query.emplace_back(std::move(*key), std::move(*value));
    }
    return {std::move(parts), {}};
}

}  // namespace pushnote::inbox
