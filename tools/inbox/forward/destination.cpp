#include "destination.h"

#include <array>

#include "destination_kinds.h"

namespace pushnote::inbox {
namespace {

struct Kind {
    std::string_view scheme;
    DestinationParse (*make)(std::string_view url, const UrlParts& parts);
};

constexpr std::array kKinds{
    Kind{"mailto", MakeMailDestination}, Kind{"mailtos", MakeMailDestination},
    Kind{"ntfy", MakeNtfyDestination},   Kind{"ntfys", MakeNtfyDestination},
    Kind{"json", MakeJsonDestination},   Kind{"jsons", MakeJsonDestination},
    Kind{"https", MakeJsonDestination},
};

}  // namespace

std::string ImageFileName(std::int64_t noteId, std::string_view imageType) {
    return "note-" + std::to_string(noteId) + (imageType == "image/png" ? ".png" : ".jpg");
}

DestinationParse ParseDestination(std::string_view url) {
    UrlSplit split = SplitUrl(url);
    if (!split.parts) return {nullptr, "destination: " + split.error};
    for (const Kind& kind : kKinds) {
        if (kind.scheme == split.parts->scheme) return kind.make(url, *split.parts);
    }
    return {nullptr,
            "destination: the scheme must be mailto, mailtos, ntfy, ntfys, json, jsons or https"};
}

std::string DestinationUrlError(std::string_view url) {
    return ParseDestination(url).error;
}

}  // namespace pushnote::inbox
