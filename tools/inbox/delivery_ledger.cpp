#include "delivery_ledger.h"

#include "inbox.h"
#include "log.h"
#include "note_json.h"

namespace pushnote::inbox {

std::optional<StoredNote> StoreLedger::LoadNote(std::int64_t noteId) {
    const std::optional<Note> note = store_.Find(noteId, false);
    if (!note) return std::nullopt;
    StoredNote stored{note->receivedMs, note->message, note->tokenFingerprint, {}, {}, 0, 0};
    if (note->image) {
        const std::optional<StoredImage> image = store_.Image(noteId);
        if (!image) return std::nullopt;
        stored.image = image->bytes;
        stored.imageType = image->type;
        stored.imageWidth = note->image->width;
        stored.imageHeight = note->image->height;
    }
    return stored;
}

void StoreLedger::Save(const Delivery& delivery) {
    store_.SaveDelivery(delivery);
    PublishDelivery(events_, delivery);
    const bool retrying = delivery.state == Delivery::State::Queued;
    Log(delivery.state == Delivery::State::Failed ? LogLevel::Warning : LogLevel::Info,
        "delivery " + std::to_string(delivery.id) + " of note " + std::to_string(delivery.noteId) +
            " to " + delivery.destination + ": " +
            (retrying ? "retrying" : StateName(delivery.state)) + " after attempt " +
            std::to_string(delivery.attempts) + " (" + delivery.lastAnswer + ")");
}

void PublishDelivery(EventHub& events, const Delivery& delivery) {
    events.Publish("event: delivery\ndata: " + Dump(ToJson(delivery)) + "\n\n");
}

}  // namespace pushnote::inbox
