#include "retry_policy.h"

#include <array>
#include <cctype>
#include <charconv>
#include <string>

#include "pushnote.h"

namespace pushnote::command {
namespace {

using namespace std::chrono;

// Past this the doubling would overflow; --retry-max-time caps it anyway.
constexpr unsigned kLongestDoubling = 20;

std::optional<unsigned> Number(std::string_view text) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<unsigned> MonthNumber(std::string_view name) {
    constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    for (unsigned i = 0; i < kMonths.size(); ++i) {
        if (kMonths[i] == name) return i + 1;
    }
    return std::nullopt;
}

// "Sun, 06 Nov 1994 08:49:37 GMT", the one date form senders must use.
std::optional<system_clock::time_point> ParseHttpDate(std::string_view text) {
    constexpr std::string_view kShape = "Www, DD Mmm YYYY HH:MM:SS GMT";
    if (text.size() != kShape.size() || text.substr(3, 2) != ", " || text[7] != ' ' ||
        text[11] != ' ' || text[16] != ' ' || text[19] != ':' || text[22] != ':' ||
        text.substr(25) != " GMT") {
        return std::nullopt;
    }
    const auto day = Number(text.substr(5, 2));
    const auto month = MonthNumber(text.substr(8, 3));
    const auto year = Number(text.substr(12, 4));
    const auto hour = Number(text.substr(17, 2));
    const auto minute = Number(text.substr(20, 2));
    const auto second = Number(text.substr(23, 2));
    if (!day || !month || !year || !hour || !minute || !second || *hour > 23 || *minute > 59 ||
        *second > 60) {
        return std::nullopt;
    }
    const year_month_day date{std::chrono::year(static_cast<int>(*year)),
                              std::chrono::month(*month), std::chrono::day(*day)};
    if (!date.ok()) return std::nullopt;
    return sys_days(date) + hours(*hour) + minutes(*minute) + seconds(*second);
}

}  // namespace

Verdict Classify(ResultCode result, std::optional<std::uint32_t> status) noexcept {
    switch (result) {
        case PUSHNOTE_OK:
            return Verdict::Delivered;
        case PUSHNOTE_ERROR_STATUS:
            if (!status) return Verdict::TryLater;
            if (*status == 401 || *status == 403) return Verdict::TokenRefused;
            if (*status == 429 || (*status >= 500 && *status <= 599)) return Verdict::TryLater;
            return Verdict::Refused;
        case PUSHNOTE_ERROR_NO_TOKEN:
            return Verdict::TokenRefused;
        case PUSHNOTE_ERROR_TOO_LONG:
        case PUSHNOTE_ERROR_NO_MEMORY:  // mostly an empty image file
        case PUSHNOTE_ERROR_IMAGE_TOO_LARGE:
        case PUSHNOTE_ERROR_IMAGE_FILE:
        case PUSHNOTE_ERROR_IMAGE_TYPE:
            return Verdict::BadInput;
        default:
            // No session, no connection, no answer, or an answer cut short:
            // a later try may get through.
            return Verdict::TryLater;
    }
}

std::optional<seconds> ParseRetryAfter(std::string_view value, system_clock::time_point now) {
    while (!value.empty() && std::isspace(static_cast<unsigned char>(value.front()))) {
        value.remove_prefix(1);
    }
    while (!value.empty() && std::isspace(static_cast<unsigned char>(value.back()))) {
        value.remove_suffix(1);
    }
    if (const auto delay = Number(value)) return seconds(*delay);
    const auto date = ParseHttpDate(value);
    if (!date) return std::nullopt;
    if (*date <= now) return seconds(0);
    return ceil<seconds>(*date - now);
}

milliseconds Backoff(unsigned attempt, double jitter) noexcept {
    const milliseconds base =
        seconds(1) * (1LL << (attempt < kLongestDoubling ? attempt : kLongestDoubling));
    return base + duration_cast<milliseconds>(base * (jitter / 4));
}

}  // namespace pushnote::command
