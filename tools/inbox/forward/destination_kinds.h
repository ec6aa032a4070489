#pragma once

#include <string_view>

#include "destination.h"
#include "url_parts.h"

namespace pushnote::inbox {

// One maker per kind of destination, each in a file of its own; the table
// in destination.cpp picks one by the URL's scheme.
DestinationParse MakeMailDestination(std::string_view url, const UrlParts& parts);
DestinationParse MakeNtfyDestination(std::string_view url, const UrlParts& parts);
DestinationParse MakeJsonDestination(std::string_view url, const UrlParts& parts);

// The file name an image goes by: "note-12.jpg".
std::string ImageFileName(std::int64_t noteId, std::string_view imageType);

}  // namespace pushnote::inbox
