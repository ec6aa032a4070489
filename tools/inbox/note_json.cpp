#include "note_json.h"

#include "text_encoding.h"

namespace pushnote::inbox {

nlohmann::ordered_json ToJson(const Delivery& delivery) {
    const auto optional = [](const std::optional<std::int64_t>& value) {
        return value ? nlohmann::ordered_json(*value) : nlohmann::ordered_json(nullptr);
    };
    return {{"id", delivery.id},
            {"note_id", delivery.noteId},
            {"destination", delivery.destination},
            {"state", StateName(delivery.state)},
            {"attempts", delivery.attempts},
            {"next_attempt_ms", optional(delivery.nextAttemptMs)},
            {"last_answer", delivery.lastAnswer},
            {"created_ms", delivery.createdMs},
            {"delivered_ms", optional(delivery.deliveredMs)}};
}

nlohmann::ordered_json ToJson(const Note& note) {
    nlohmann::ordered_json image = nullptr;
    if (note.image) {
        image = {{"type", note.image->type},
                 {"width", note.image->width},
                 {"height", note.image->height},
                 {"bytes", note.image->size},
                 {"url", "/api/notes/" + std::to_string(note.id) + "/image"}};
    }
    nlohmann::ordered_json deliveries = nlohmann::ordered_json::array();
    for (const Delivery& delivery : note.deliveries) deliveries.push_back(ToJson(delivery));
    return {{"id", note.id},
            {"received", IsoTime(note.receivedMs)},
            {"token", note.tokenFingerprint},
            {"token_name", note.tokenName ? nlohmann::ordered_json(*note.tokenName) : nullptr},
            {"user_agent", note.userAgent},
            {"content_type", note.contentType},
            {"message", note.message},
            {"message_repaired", note.messageRepaired},
            {"image", image},
            {"answer",
             {{"status", note.answer.status},
              {"body", note.answer.body},
              {"chaos", note.answer.chaos}}},
            {"deliveries", deliveries}};
}

}  // namespace pushnote::inbox
