#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "delivery.h"
#include "sqlite.h"

namespace pushnote::inbox {

struct ImageSummary {
    std::string type;  // "image/jpeg" or "image/png"
    int width = 0;
    int height = 0;
    std::int64_t size = 0;
};

// What the service answered, kept with the note.
struct Answer {
    int status = 200;  // 0: none was sent (silent)
    std::string body;
    std::string chaos;  // which chaos setting decided it; empty for a plain answer
};

struct Note {
    std::int64_t id = 0;
    std::int64_t receivedMs = 0;  // since the Unix epoch
    std::string tokenFingerprint;
    std::optional<std::string> tokenName;  // when it came with a named token
    std::string userAgent;
    std::string contentType;
    std::string message;  // UTF-8; invalid bytes were replaced by U+FFFD
    bool messageRepaired = false;
    std::optional<ImageSummary> image;
    Answer answer;
    std::vector<Delivery> deliveries;
};

// Where a new note is to be delivered.
struct DeliveryTarget {
    std::string key;  // see Delivery::destinationKey
    std::string destination;
};

struct StoredImage {
    std::string type;
    std::string bytes;
};

// A store that cannot be used as it is: corrupt, foreign or from a newer version.
class StoreRefused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The notes in one SQLite file (WAL mode); the newest `keep` are kept.
// Safe to use from several threads.
class NoteStore {
public:
    NoteStore(const std::filesystem::path& file, std::int64_t keep);

    // Stores the note (id left 0) with its image bytes, if any, and a
    // queued delivery for each target, in one transaction; returns its id.
    // The deliveries made are added to `created`, when given.
    std::int64_t Add(const Note& note, const std::string& imageBytes,
                     const std::vector<DeliveryTarget>& targets = {},
                     std::vector<Delivery>* created = nullptr);
    // Newest first; only notes with ids between `after` and `before`, those given.
    std::vector<Note> List(int limit, std::optional<std::int64_t> before,
                           std::optional<std::int64_t> after);
    // The same, one note at a time, until each returns false: only one note
    // is held at once.
    void ForEach(int limit, std::optional<std::int64_t> before, std::optional<std::int64_t> after,
                 const std::function<bool(const Note&)>& each);
    std::optional<Note> Find(std::int64_t id, bool withDeliveries = true);
    std::optional<StoredImage> Image(std::int64_t id);
    // Deletes every note; returns how many there were.
    std::int64_t Clear();

    // Every delivery still queued, oldest first: the work left after a restart.
    std::vector<Delivery> QueuedDeliveries();
    std::int64_t QueuedCount();
    // Commits a write that changes nothing; throws sqlite::Error when the
    // store cannot be written (a full disk, a read-only file system).
    void CheckWritable();
    // Writes a delivery's state, attempts, next attempt and answer.
    void SaveDelivery(const Delivery& delivery);
    // Queues the note's failed deliveries again, from now; returns them.
    std::vector<Delivery> Requeue(std::int64_t noteId, std::int64_t nowMs);

private:
    std::vector<Delivery> DeliveriesOf(std::int64_t noteId);
    void Migrate(std::int64_t version);
    void Open(const std::filesystem::path& file);
    // Drops the notes with ids up to lastDropped, with their images.
    void Prune(std::int64_t lastDropped);

    std::mutex mutex_;
    sqlite::Database database_;
    std::int64_t keep_;
    std::optional<sqlite::Statement> insertNote_;
    std::optional<sqlite::Statement> insertImage_;
    std::optional<sqlite::Statement> pruneNotes_;
    std::optional<sqlite::Statement> pruneImages_;
    std::optional<sqlite::Statement> pruneDeliveries_;
    std::optional<sqlite::Statement> insertDelivery_;
    std::optional<sqlite::Statement> findNote_;
    std::optional<sqlite::Statement> deliveriesOf_;
    std::optional<sqlite::Statement> saveDelivery_;
};

}  // namespace pushnote::inbox
