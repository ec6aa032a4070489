#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <variant>

namespace pushnote::command {

// The message argument that stands for standard input.
inline constexpr const char* kMessageFromStandardInput = "-";

struct RetryOptions {
    unsigned retries = 0;
    unsigned maxWaitSeconds = 60;
};

struct SendRequest {
    std::string message;
    std::optional<std::string> imagePath;
    std::optional<std::string> tokenFile;
    RetryOptions retry;
    bool useOutbox = false;
    std::optional<std::string> outboxDir;
};

struct FlushRequest {
    std::optional<std::string> tokenFile;
    RetryOptions retry;
    std::optional<std::string> outboxDir;
};

struct OutboxRequest {
    std::optional<std::string> outboxDir;
};

struct FetchRequest {
    std::string url;
    std::size_t maxBytes;
};

using Request = std::variant<SendRequest, FlushRequest, OutboxRequest, FetchRequest>;

// Parses the command line. Returns nothing when the command ends here:
// exitStatus is then 0 after --help or --version, or 2 after a usage error
// (printed on standard error with the usage).
std::optional<Request> ParseCommandLine(int argc, char** argv, int& exitStatus);

}  // namespace pushnote::command
