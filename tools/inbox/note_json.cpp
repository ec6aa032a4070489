#include "note_json.h"

#include <ctime>

namespace pushnote::inbox {
namespace {

// "2026-01-31T12:34:56.789Z"
std::string IsoTime(std::int64_t ms) {
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[32];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    std::snprintf(text + length, sizeof text - length, ".%03dZ", static_cast<int>(ms % 1000));
    return text;
}

}  // namespace

nlohmann::ordered_json ToJson(const Note& note) {
    nlohmann::ordered_json image = nullptr;
    if (note.image) {
        image = {{"type", note.image->type},
                 {"width", note.image->width},
                 {"height", note.image->height},
                 {"bytes", note.image->size},
                 {"url", "/api/notes/" + std::to_string(note.id) + "/image"}};
    }
    return {{"id", note.id},
            {"received", IsoTime(note.receivedMs)},
            {"token", note.tokenFingerprint},
            {"user_agent", note.userAgent},
            {"content_type", note.contentType},
            {"message", note.message},
            {"message_repaired", note.messageRepaired},
            {"image", image},
            {"answer",
             {{"status", note.answer.status},
              {"body", note.answer.body},
              {"chaos", note.answer.chaos}}}};
}

}  // namespace pushnote::inbox
