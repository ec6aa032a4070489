#include "mail_address.h"

#include <algorithm>

#include "url_parts.h"

namespace pushnote::inbox {
namespace {

constexpr std::size_t kMaxAddressLength = 254;

bool IsAtext(char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    return std::string_view("!#$%&'*+-/=?^_`{|}~").find(c) != std::string_view::npos;
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
    UrlSplit split = SplitUrl(url);
    if (!split.parts) return Refuse(split.error);
    UrlParts& parts = *split.parts;
    MailDestination mail;
    if (parts.scheme == "mailtos") {
        mail.implicitTls = true;
    } else if (parts.scheme != "mailto") {
        return Refuse("the URL must start with mailto:// or mailtos://");
    }
    if (!parts.path.empty() && parts.path != "/") {
        return Refuse("a path after the host is not allowed");
    }
    mail.host = parts.host;
    mail.port = parts.port.value_or(mail.implicitTls ? 465 : 587);
    mail.user = parts.user;
    mail.password = parts.password;

    bool sawTo = false;
    bool sawFrom = false;
    for (const auto& [key, value] : parts.query) {
        if (key == "to") {
            if (sawTo) return Refuse("\"to\" is given twice");
            sawTo = true;
            std::string_view list = value;
            while (true) {
                auto comma = list.find(',');
                std::string address(list.substr(0, comma));
                if (!IsSafeMailAddress(address)) {
                    return Refuse("a \"to\" address is not a plain address like name@example.org");
                }
                mail.to.push_back(std::move(address));
                if (comma == std::string_view::npos) break;
                list.remove_prefix(comma + 1);
            }
        } else if (key == "from") {
            if (sawFrom) return Refuse("\"from\" is given twice");
            sawFrom = true;
            if (!IsSafeMailAddress(value)) {
                return Refuse("the \"from\" address is not a plain address like name@example.org");
            }
            mail.from = value;
        } else {
            return Refuse("unknown option \"" + key.substr(0, 40) + "\" (only to and from)");
        }
    }
    if (!sawTo) return Refuse("\"to\" is missing");
    if (!sawFrom) return Refuse("\"from\" is missing");

    std::string shown = parts.scheme + "://";
    if (parts.hasUser) shown += parts.rawUser + (parts.hasPassword ? ":***" : "") + "@";
    shown += UrlHost(mail.host) + ":" + std::to_string(mail.port) + "?to=";
    for (std::size_t i = 0; i < mail.to.size(); ++i) shown += (i ? "," : "") + mail.to[i];
    mail.displayUrl = shown + "&from=" + mail.from;
    return {std::move(mail), {}};
}

}  // namespace pushnote::inbox
