// libFuzzer target: the libcurl backend's reading of response heads, fed
// arbitrary header lines the way libcurl's header callback passes them.
//
// Input: lines, each ending after its '\n' (the last one may have none).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "http/response_head_curl.h"

namespace {

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    pushnote::http::ResponseHead head;
    const char* text = reinterpret_cast<const char*>(data);
    for (std::size_t start = 0; start < size;) {
        const void* newline = std::memchr(text + start, '\n', size - start);
        const std::size_t end =
            newline ? static_cast<std::size_t>(static_cast<const char*>(newline) - text) + 1 : size;
        // Its own copy, so that a read past the line shows as an overflow.
        const std::string line(text + start, end - start);
        auto* copy = static_cast<char*>(std::malloc(line.size()));
        std::memcpy(copy, line.data(), line.size());
        const bool wasEnded = head.Ended();
        head.TakeLine(copy, line.size());
        std::free(copy);

        Check(head.Status() >= 0 && head.Status() <= 999, "a status has three digits");
        Check(!head.Ended() || head.Status() >= 200, "only a final status ends a head");
        const bool statusLine = line.compare(0, 5, "HTTP/") == 0;
        const bool blank = line == "\r\n" || line == "\n";
        if (statusLine) Check(!head.Ended(), "a status line starts a head");
        if (!statusLine && !blank) Check(head.Ended() == wasEnded, "a header changes nothing");
        start = end;
    }
    return 0;
}
