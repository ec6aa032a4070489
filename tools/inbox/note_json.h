#pragma once

#include <nlohmann/json.hpp>

#include "note_store.h"

namespace pushnote::inbox {

// A note as the API and the page see it; the image as a summary and a URL.
nlohmann::ordered_json ToJson(const Note& note);
// A delivery as the API, the page and the events see it; no secret in it.
nlohmann::ordered_json ToJson(const Delivery& delivery);

}  // namespace pushnote::inbox
