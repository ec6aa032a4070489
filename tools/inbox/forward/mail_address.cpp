#include "mail_address.h"

#include <algorithm>
#include <charconv>

namespace pushnote::inbox {
namespace {

constexpr std::string_view kMailScheme = "mailto://";
constexpr std::string_view kMailTlsScheme = "mailtos://";
constexpr std::size_t kMaxAddressLength = 254;

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return a == (b >= 'A' && b <= 'Z' ? static_cast<char>(b - 'A' + 'a') : b);
           });
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Decodes %XX; refuses a broken escape and any control character, which
// would otherwise reach an SMTP command line.
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

bool IsAtext(char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    return std::string_view("!#$%&'*+-/=?^_`{|}~").find(c) != std::string_view::npos;
}

bool IsSafeHost(std::string_view host) {
    if (host.empty() || host.size() > 253) return false;
    return std::all_of(host.begin(), host.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '.' || c == '-';
    });
}

bool IsSafeIpv6(std::string_view host) {
    return !host.empty() && std::all_of(host.begin(), host.end(), [](char c) {
        return HexValue(c) >= 0 || c == ':' || c == '.';
    });
}

MailDestinationParse Refuse(std::string why) {
    return {std::nullopt, "mail destination: " + std::move(why)};
}

}  // namespace

bool IsSafeMailAddress(std::string_view address) {
    if (address.empty() || address.size() > kMaxAddressLength) return false;
    auto at = address.find('@');
    if (at == std::string_view::npos || address.find('@', at + 1) != std::string_view::npos) {
        return false;
    }
    std::string_view local = address.substr(0, at);
    std::string_view domain = address.substr(at + 1);
    if (local.empty() || local.size() > 64 || local.front() == '.' || local.back() == '.' ||
        local.find("..") != std::string_view::npos) {
        return false;
    }
    if (!std::all_of(local.begin(), local.end(), [](char c) { return IsAtext(c) || c == '.'; })) {
        return false;
    }
    return IsSafeHost(domain) && domain.front() != '.' && domain.back() != '.' &&
           domain.front() != '-' && domain.find("..") == std::string_view::npos;
}

MailDestinationParse ParseMailDestination(std::string_view url) {
    MailDestination mail;
    if (StartsWithNoCase(url, kMailTlsScheme)) {
        mail.implicitTls = true;
        url.remove_prefix(kMailTlsScheme.size());
    } else if (StartsWithNoCase(url, kMailScheme)) {
        url.remove_prefix(kMailScheme.size());
    } else {
        return Refuse("the URL must start with mailto:// or mailtos://");
    }
    if (url.find('#') != std::string_view::npos) return Refuse("a fragment (#) is not allowed");

    std::string_view query;
    if (auto mark = url.find('?'); mark != std::string_view::npos) {
        query = url.substr(mark + 1);
        url = url.substr(0, mark);
    }
    std::string_view authority = url;
    if (auto slash = url.find('/'); slash != std::string_view::npos) {
        if (url.substr(slash) != "/") return Refuse("a path after the host is not allowed");
        authority = url.substr(0, slash);
    }

    std::string_view hostPort = authority;
    std::string shownUserinfo;
    if (auto at = authority.rfind('@'); at != std::string_view::npos) {
        std::string_view userinfo = authority.substr(0, at);
        hostPort = authority.substr(at + 1);
        std::string_view user = userinfo;
        std::string_view password;
        bool hasPassword = false;
        if (auto colon = userinfo.find(':'); colon != std::string_view::npos) {
            user = userinfo.substr(0, colon);
            password = userinfo.substr(colon + 1);
            hasPassword = true;
        }
        auto decodedUser = PercentDecode(user);
        if (!decodedUser || decodedUser->empty()) {
            return Refuse("the user name is empty, badly escaped or holds a control character");
        }
        auto decodedPassword = PercentDecode(password);
        if (!decodedPassword) {
            return Refuse("the password is badly escaped or holds a control character");
        }
        mail.user = std::move(*decodedUser);
        mail.password = std::move(*decodedPassword);
        shownUserinfo = std::string(user) + (hasPassword ? ":***" : "") + "@";
    }

    std::string_view portText;
    if (hostPort.starts_with('[')) {
        auto close = hostPort.find(']');
        if (close == std::string_view::npos) return Refuse("an IPv6 host lacks its ']'");
        mail.host = hostPort.substr(1, close - 1);
        if (!IsSafeIpv6(mail.host)) return Refuse("the IPv6 host is not valid");
        std::string_view rest = hostPort.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':') return Refuse("unexpected text after the IPv6 host");
            portText = rest.substr(1);
            if (portText.empty()) return Refuse("the port is empty");
        }
    } else {
        if (auto colon = hostPort.find(':'); colon != std::string_view::npos) {
            portText = hostPort.substr(colon + 1);
            hostPort = hostPort.substr(0, colon);
            if (portText.empty()) return Refuse("the port is empty");
        }
        mail.host = hostPort;
        if (!IsSafeHost(mail.host)) return Refuse("the host is missing or not a valid name");
    }
    mail.port = mail.implicitTls ? 465 : 587;
    if (!portText.empty()) {
        unsigned value = 0;
        auto [end, error] =
            std::from_chars(portText.data(), portText.data() + portText.size(), value);
        if (error != std::errc() || end != portText.data() + portText.size() || value == 0 ||
            value > 65535) {
            return Refuse("the port must be a number from 1 to 65535");
        }
        mail.port = static_cast<std::uint16_t>(value);
    }

    bool sawTo = false;
    bool sawFrom = false;
    while (!query.empty()) {
        auto amp = query.find('&');
        std::string_view pair = query.substr(0, amp);
        query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
        if (pair.empty()) continue;
        auto equals = pair.find('=');
        std::string_view key = pair.substr(0, equals);
        std::string_view value =
            equals == std::string_view::npos ? std::string_view() : pair.substr(equals + 1);
        if (key == "to") {
            if (sawTo) return Refuse("\"to\" is given twice");
            sawTo = true;
            while (true) {
                auto comma = value.find(',');
                auto address = PercentDecode(value.substr(0, comma));
                if (!address || !IsSafeMailAddress(*address)) {
                    return Refuse("a \"to\" address is not a plain address like name@example.org");
                }
                mail.to.push_back(std::move(*address));
                if (comma == std::string_view::npos) break;
                value.remove_prefix(comma + 1);
            }
        } else if (key == "from") {
            if (sawFrom) return Refuse("\"from\" is given twice");
            sawFrom = true;
            auto address = PercentDecode(value);
            if (!address || !IsSafeMailAddress(*address)) {
                return Refuse("the \"from\" address is not a plain address like name@example.org");
            }
            mail.from = std::move(*address);
        } else {
            return Refuse("unknown option \"" + std::string(key.substr(0, 40)) +
                          "\" (only to and from)");
        }
    }
    if (!sawTo) return Refuse("\"to\" is missing");
    if (!sawFrom) return Refuse("\"from\" is missing");

    std::string shownHost =
        mail.host.find(':') != std::string::npos ? "[" + mail.host + "]" : mail.host;
    std::string shownQuery = "to=";
    for (std::size_t i = 0; i < mail.to.size(); ++i) {
        shownQuery += (i ? "," : "") + mail.to[i];
    }
    shownQuery += "&from=" + mail.from;
    mail.displayUrl = std::string(mail.implicitTls ? kMailTlsScheme : kMailScheme) + shownUserinfo +
                      shownHost + ":" + std::to_string(mail.port) + "?" + shownQuery;
    return {std::move(mail), {}};
}

}  // namespace pushnote::inbox
