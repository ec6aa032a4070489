#pragma once

#include <nlohmann/json.hpp>

#include "note_store.h"

namespace pushnote::inbox {

// A note as the API and the page see it; the image as a summary and a URL.
nlohmann::ordered_json ToJson(const Note& note);

}  // namespace pushnote::inbox
