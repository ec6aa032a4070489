#pragma once

#include "delivery_queue.h"
#include "event_hub.h"
#include "note_store.h"

namespace pushnote::inbox {

// The queue's ledger on the inbox's store; each change of a delivery is
// also a "delivery" event for the pages.
class StoreLedger : public DeliveryLedger {
public:
    StoreLedger(NoteStore& store, EventHub& events) : store_(store), events_(events) {}
    std::optional<StoredNote> LoadNote(std::int64_t noteId) override;
    void Save(const Delivery& delivery) override;

private:
    NoteStore& store_;
    EventHub& events_;
};

// Publishes a delivery as it now is.
void PublishDelivery(EventHub& events, const Delivery& delivery);

}  // namespace pushnote::inbox
