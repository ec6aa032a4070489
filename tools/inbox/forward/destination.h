#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace pushnote::inbox {

// What a destination carries of a note. The views must outlive the send.
struct OutgoingNote {
    std::int64_t id = 0;
    std::int64_t receivedMs = 0;  // since the Unix epoch
    std::string_view message;     // UTF-8
    std::string_view tokenFingerprint;
    std::string_view image;  // empty when the note has none
    std::string_view imageType;
    int imageWidth = 0;
    int imageHeight = 0;
    // Sent with each attempt, the same on every retry, so that a receiver
    // can drop a repeat.
    std::string_view deliveryId;
    std::string_view link;  // the note on the inbox's public page; empty for none
};

struct SendSettings {
    std::string caFile;  // trusted instead of the system's CAs when not empty
    std::chrono::milliseconds connectTimeout{10'000};
    std::chrono::milliseconds attemptTimeout{30'000};  // the whole attempt
};

struct SendResult {
    enum class Outcome { Delivered, Retry, Refused };
    Outcome outcome = Outcome::Retry;
    std::string answer;  // one printable line: the receiver's status or reply, or what failed
    // What a 429 or 503 asked for, when it said.
    std::optional<std::chrono::seconds> retryAfter;
};

// One place a note is carried on to. Sends never throw and never put a
// secret into their result.
class Destination {
public:
    virtual ~Destination() = default;
    virtual SendResult Send(const OutgoingNote& note, const SendSettings& settings) const = 0;
    // The URL with every secret replaced by "***".
    virtual const std::string& DisplayUrl() const = 0;
};

struct DestinationParse {
    std::unique_ptr<Destination> destination;
    std::string error;  // why the URL was refused; never holds a secret
};

// Takes any destination URL: mailto://, mailtos://, ntfy://, ntfys://,
// json://, jsons:// or https://.
DestinationParse ParseDestination(std::string_view url);

// Empty when the URL names a usable destination, else why not.
std::string DestinationUrlError(std::string_view url);

}  // namespace pushnote::inbox
