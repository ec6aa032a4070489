// The inbox's parts on their own: form bodies, UTF-8 repair, image headers,
// chaos decisions, the event fan-out, the Host guard, the per-address slots and
// the address blocks that logins are slowed by.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "chaos.h"
#include "client_address.h"
#include "client_slots.h"
#include "event_hub.h"
#include "image_info.h"
#include "note_input.h"
#include "request_guards.h"

namespace pushnote::inbox {
namespace {

using namespace std::chrono_literals;

struct FormCase {
    const char* body;
    const char* message;  // null: refused
    const char* error;    // part of the reason when refused
};

class FormBody : public testing::TestWithParam<FormCase> {};

TEST_P(FormBody, GivesTheMessageOrOneReason) {
    const FormCase& c = GetParam();
    const FormMessage form = ParseFormMessage(c.body);
    if (c.message) {
        EXPECT_EQ(form.error, "");
        ASSERT_TRUE(form.message.has_value());
        EXPECT_EQ(*form.message, c.message);
    } else {
        EXPECT_NE(form.error.find(c.error), std::string::npos) << form.error;
        EXPECT_EQ(form.error.find('\n'), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, FormBody,
                         testing::Values(FormCase{"message=Hello", "Hello", ""},
                                         FormCase{"message=a+b%26c%3D%25", "a b&c=%", ""},
                                         FormCase{"message=caf%C3%a9", "caf\xC3\xA9", ""},
                                         FormCase{"message=", "", ""}, FormCase{"message", "", ""},
                                         FormCase{"message=100%", nullptr, "two hex digits"},
                                         FormCase{"message=%4", nullptr, "two hex digits"},
                                         FormCase{"message=100% sure", nullptr, "two hex digits"},
                                         FormCase{"message=a&message=b", nullptr, "more than once"},
                                         FormCase{"message=a&title=b", nullptr,
                                                  "unexpected field \"title\""},
                                         FormCase{"", nullptr, "missing message"}));

struct Utf8Case {
    std::string bytes;
    std::string text;
    bool repaired;
};

class Utf8Repair : public testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8Repair, ReplacesEachInvalidByte) {
    const RepairedText result = RepairUtf8(GetParam().bytes);
    EXPECT_EQ(result.text, GetParam().text);
    EXPECT_EQ(result.repaired, GetParam().repaired);
}

const std::string kReplacement = "\xEF\xBF\xBD";

INSTANTIATE_TEST_SUITE_P(
    Cases, Utf8Repair,
    testing::Values(Utf8Case{"plain", "plain", false},
                    Utf8Case{"caf\xC3\xA9 \xE2\x98\x95 \xF0\x9F\x98\x80",
                             "caf\xC3\xA9 \xE2\x98\x95 \xF0\x9F\x98\x80", false},
                    Utf8Case{"\xFF", kReplacement, true},
                    Utf8Case{"a\xC3", "a" + kReplacement, true},
                    Utf8Case{"\xC0\xAF", kReplacement + kReplacement, true},  // overlong
                    Utf8Case{"\xED\xA0\x80", kReplacement + kReplacement + kReplacement,
                             true},  // surrogate
                    Utf8Case{"\xF4\x90\x80\x80",
                             kReplacement + kReplacement + kReplacement + kReplacement, true}));

TEST(TokenFingerprint, IsTheStartOfTheSha256) {
    EXPECT_EQ(TokenFingerprint("good-token"), "461caa80");
}

std::string Bytes(std::initializer_list<int> values) {
    std::string bytes;
    for (int value : values) bytes += static_cast<char>(value);
    return bytes;
}

const std::string kPng40x30 =
    Bytes({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0,  0, 0, 13, 'I', 'H', 'D',
           'R',  0,   0,   0,   40,   0,    0,    0,    30, 8, 2, 0,  0,   0});
// SOI, an APP0 segment, then a baseline frame of 64 x 48.
const std::string kJpeg64x48 = Bytes(
    {0xFF, 0xD8, 0xFF, 0xE0, 0, 4, 'J', 'F', 0xFF, 0xC0, 0, 11, 8, 0, 48, 0, 64, 1, 1, 0x11, 0});

struct ImageCase {
    const char* name;
    std::string bytes;
    const char* type;  // null: not an image the service takes
    int width;
    int height;
};

class ImageHeader : public testing::TestWithParam<ImageCase> {};

TEST_P(ImageHeader, TellsTypeAndSizeByTheBytes) {
    const ImageCase& c = GetParam();
    const std::optional<ImageInfo> info = InspectImage(c.bytes);
    if (!c.type) {
        EXPECT_FALSE(info.has_value());
        return;
    }
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->type, c.type);
    EXPECT_EQ(info->width, c.width);
    EXPECT_EQ(info->height, c.height);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ImageHeader,
    testing::Values(
        ImageCase{"png", kPng40x30, "image/png", 40, 30},
        ImageCase{"jpeg", kJpeg64x48, "image/jpeg", 64, 48},
        ImageCase{"gif", "GIF89a\x08\x00\x08\x00", nullptr, 0, 0},
        ImageCase{"png_cut_short", kPng40x30.substr(0, 20), nullptr, 0, 0},
        ImageCase{"png_width_past_31_bits",
                  std::string(kPng40x30).replace(16, 4, "\xFF\xFF\xFF\xFF"), nullptr, 0, 0},
        ImageCase{"png_no_height", std::string(kPng40x30).replace(23, 1, 1, '\0'), nullptr, 0, 0},
        ImageCase{"png_header_of_another_length", std::string(kPng40x30).replace(11, 1, 1, '\x0E'),
                  nullptr, 0, 0},
        ImageCase{"jpeg_without_frame", kJpeg64x48.substr(0, 8), nullptr, 0, 0},
        ImageCase{"empty", "", nullptr, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

struct ChaosCase {
    const char* name;
    ChaosSettings settings;
    std::vector<int> statuses;  // of successive notes, a second apart
};

class ChaosAnswers : public testing::TestWithParam<ChaosCase> {};

TEST_P(ChaosAnswers, FollowTheSettings) {
    Chaos chaos(GetParam().settings);
    Chaos::Clock::time_point now{};
    std::vector<int> statuses;
    for (std::size_t i = 0; i < GetParam().statuses.size(); ++i, now += 1s) {
        statuses.push_back(chaos.Decide(now).status);
    }
    EXPECT_EQ(statuses, GetParam().statuses);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ChaosAnswers,
    testing::Values(ChaosCase{"none", {}, {200, 200, 200}},
                    ChaosCase{"status", {.status = 503}, {503, 503}},
                    ChaosCase{"fail_every", {.failEvery = 3}, {200, 200, 500, 200, 200, 500}},
                    ChaosCase{"rate_limit", {.rateLimit = 2}, {200, 200, 429, 429}},
                    ChaosCase{"silent", {.silent = true}, {0, 0}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ChaosRateLimit, SaysWhenToRetryAndFreesUpAfterAMinute) {
    Chaos chaos({.rateLimit = 1});
    const Chaos::Clock::time_point start{};
    EXPECT_EQ(chaos.Decide(start).status, 200);
    const ChaosDecision refused = chaos.Decide(start + 20s);
    EXPECT_EQ(refused.status, 429);
    EXPECT_EQ(refused.retryAfterSeconds, 40);
    EXPECT_EQ(chaos.Decide(start + 60s).status, 200);
}

TEST(ChaosUpdate, ChangesOnlyWhatIsNamedAndRefusesNonsense) {
    Chaos chaos({.delayMs = 5});
    EXPECT_EQ(chaos.Update({{"status", 500}, {"trickle", true}}), "");
    EXPECT_EQ(chaos.Settings().status, 500);
    EXPECT_TRUE(chaos.Settings().trickle);
    EXPECT_EQ(chaos.Settings().delayMs, 5);
    for (const char* bad :
         {R"({"status":42})", R"({"silent":1})", R"({"nope":1})", "[1]", R"({"delay_ms":-1})"}) {
        EXPECT_NE(chaos.Update(nlohmann::ordered_json::parse(bad)), "") << bad;
    }
    EXPECT_EQ(chaos.Settings().status, 500);
}

TEST(EventHub, HandsEachListenerWhatCameAfterIt) {
    EventHub hub;
    std::uint64_t listener = hub.Newest();
    EXPECT_EQ(hub.After(listener, 1ms), "");
    hub.Publish("a\n\n");
    hub.Publish("b\n\n");
    EXPECT_EQ(hub.After(listener, 1ms), "a\n\nb\n\n");
    EXPECT_EQ(hub.After(listener, 1ms), "");
}

TEST(EventHub, TellsAListenerFarBehindToReload) {
    EventHub hub;
    std::uint64_t listener = hub.Newest();
    for (int i = 0; i < 600; ++i) hub.Publish("x\n\n");
    EXPECT_EQ(hub.After(listener, 1ms), "event: reload\ndata: {}\n\n");
    EXPECT_EQ(listener, hub.Newest());
}

TEST(EventHub, KeepsNoMoreThanItsBytesForThoseBehind) {
    EventHub hub;
    std::uint64_t listener = hub.Newest();
    const std::string large(1536 * 1024, 'x');
    for (int i = 0; i < 3; ++i) hub.Publish(large);
    EXPECT_EQ(hub.After(listener, 1ms), "event: reload\ndata: {}\n\n");
    hub.Publish(large);
    EXPECT_EQ(hub.After(listener, 1ms), large);
}

struct HostCase {
    const char* host;
    bool loopback;
};

class HostGuard : public testing::TestWithParam<HostCase> {};

TEST_P(HostGuard, PassesExactLoopbackNamesAlone) {
    EXPECT_EQ(IsLoopbackHost(GetParam().host), GetParam().loopback) << GetParam().host;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HostGuard,
    testing::Values(HostCase{"localhost", true}, HostCase{"localhost:8443", true},
                    HostCase{"LocalHost:1", true}, HostCase{"127.0.0.1", true},
                    HostCase{"127.255.3.4:65535", true}, HostCase{"[::1]", true},
                    HostCase{"[::1]:8443", true}, HostCase{"127.evil.example", false},
                    HostCase{"127.0.0.1.evil.example", false}, HostCase{"127.1", false},
                    HostCase{"128.0.0.1", false}, HostCase{"0x7f.0.0.1", false},
                    HostCase{"localhost.", false}, HostCase{"localhost.evil.example", false},
                    HostCase{"evil-localhost", false}, HostCase{"127.0.0.1:", false},
                    HostCase{"127.0.0.1:99999", false}, HostCase{"127.0.0.1:80x", false},
                    HostCase{"::1", false}, HostCase{"[::1]x", false}, HostCase{"[::2]:80", false},
                    HostCase{"", false}));

TEST(ClientSlots, CapEachAddressButTheProxyAndTheTotal) {
    ClientSlots slots(5, 2, "10.0.0.5");
    EXPECT_TRUE(slots.Take("a"));
    EXPECT_TRUE(slots.Take("a"));
    EXPECT_FALSE(slots.Take("a"));
    EXPECT_TRUE(slots.Take("10.0.0.5"));
    EXPECT_TRUE(slots.Take("10.0.0.5"));
    EXPECT_TRUE(slots.Take("10.0.0.5"));
    EXPECT_FALSE(slots.Take("b"));  // the total
    slots.Give("a");
    EXPECT_TRUE(slots.Take("b"));
    EXPECT_FALSE(slots.Take("a"));
    slots.Give("a");
    EXPECT_TRUE(slots.Take("a"));
}

TEST(ClientSlots, CountAnIpv6ClientByItsSlash64) {
    ClientSlots slots(10, 2, "");
    EXPECT_TRUE(slots.Take("2001:db8::1"));
    EXPECT_TRUE(slots.Take("2001:db8::2"));
    EXPECT_FALSE(slots.Take("2001:db8::3"));
    EXPECT_TRUE(slots.Take("2001:db8:0:1::1"));
    slots.Give("2001:db8::2");
    EXPECT_TRUE(slots.Take("2001:db8::3"));
}

TEST(AddressBlock, IsAnIpv4AddressOrAnIpv6Slash64) {
    EXPECT_EQ(AddressBlock("203.0.113.9"), "203.0.113.9");
    EXPECT_EQ(AddressBlock("2001:db8:1:2:aaaa::1"), "2001:db8:1:2::/64");
    EXPECT_EQ(AddressBlock("2001:db8:1:2:ffff:1:2:3"), "2001:db8:1:2::/64");
    EXPECT_EQ(AddressBlock("::ffff:203.0.113.9"), "::ffff:203.0.113.9");
    EXPECT_EQ(AddressBlock("unknown"), "unknown");
}

}  // namespace
}  // namespace pushnote::inbox
