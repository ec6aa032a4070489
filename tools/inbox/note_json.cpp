#include "note_json.h"

#include "text_encoding.h"

namespace pushnote::inbox {

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
