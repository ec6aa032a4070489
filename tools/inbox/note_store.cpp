#include "note_store.h"

namespace pushnote::inbox {
namespace {

// "PNIB": tells an inbox store from any other SQLite file.
constexpr std::int64_t kApplicationId = 0x504E4942;
constexpr std::int64_t kSchemaVersion = 2;

// The image bytes live in a table of their own: SQLite reads the columns of
// a row in order, so metadata stored after a large blob would cost a walk
// through all of its pages on every listing.
constexpr const char* kSchema = R"(
CREATE TABLE notes (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    received_ms INTEGER NOT NULL,
    token_fingerprint TEXT NOT NULL,
    user_agent TEXT NOT NULL,
    content_type TEXT NOT NULL,
    message TEXT NOT NULL,
    message_repaired INTEGER NOT NULL,
    image_type TEXT,
    image_width INTEGER,
    image_height INTEGER,
    image_size INTEGER,
    answer_status INTEGER NOT NULL,
    answer_body TEXT NOT NULL,
    answer_chaos TEXT NOT NULL
);
CREATE TABLE images (
    note_id INTEGER PRIMARY KEY,
    bytes BLOB NOT NULL
);
PRAGMA application_id = 1347307842;
PRAGMA user_version = 1;
)";

// Version 2: each note's deliveries to the forwarding destinations (a note
// with a queued delivery is kept whatever --keep says), the users who may
// log in to the page, the named tokens (only their SHA-256) and the name of
// the token each note came with.
constexpr const char* kVersion2Schema = R"(
CREATE TABLE deliveries (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    note_id INTEGER NOT NULL,
    destination_key TEXT NOT NULL,
    destination TEXT NOT NULL,
    state TEXT NOT NULL,
    attempts INTEGER NOT NULL,
    next_attempt_ms INTEGER,
    last_answer TEXT NOT NULL,
    created_ms INTEGER NOT NULL,
    delivered_ms INTEGER
);
CREATE INDEX deliveries_by_note ON deliveries (note_id);
CREATE INDEX deliveries_queued ON deliveries (state) WHERE state = 'queued';
CREATE TABLE users (
    name TEXT PRIMARY KEY,
    password_hash TEXT NOT NULL,
    created_ms INTEGER NOT NULL
);
CREATE TABLE tokens (
    name TEXT PRIMARY KEY,
    sha256 TEXT NOT NULL UNIQUE,
    created_ms INTEGER NOT NULL,
    last_used_ms INTEGER
);
ALTER TABLE notes ADD COLUMN token_name TEXT;
PRAGMA user_version = 2;
)";

constexpr const char* kDeliveryColumns =
    "id, note_id, destination_key, destination, state, attempts, next_attempt_ms, last_answer, "
    "created_ms, delivered_ms FROM deliveries";

constexpr const char* kNoteColumns =
    "id, received_ms, token_fingerprint, user_agent, content_type, message, message_repaired, "
    "image_type, image_width, image_height, image_size, answer_status, answer_body, "
    "answer_chaos, token_name FROM notes";

std::int64_t Pragma(sqlite::Database& database, const char* name) {
    sqlite::Statement statement = database.Prepare(std::string("PRAGMA ") + name);
    return statement.Step() ? statement.Integer(0) : 0;
}

Note ReadNote(const sqlite::Statement& row) {
    Note note;
    note.id = row.Integer(0);
    note.receivedMs = row.Integer(1);
    note.tokenFingerprint = row.Text(2);
    note.userAgent = row.Text(3);
    note.contentType = row.Text(4);
    note.message = row.Text(5);
    note.messageRepaired = row.Integer(6) != 0;
    if (!row.IsNull(7)) {
        note.image = ImageSummary{row.Text(7), static_cast<int>(row.Integer(8)),
                                  static_cast<int>(row.Integer(9)), row.Integer(10)};
    }
    note.answer = Answer{static_cast<int>(row.Integer(11)), row.Text(12), row.Text(13)};
    if (!row.IsNull(14)) note.tokenName = row.Text(14);
    return note;
}

Delivery ReadDelivery(const sqlite::Statement& row) {
    Delivery delivery;
    delivery.id = row.Integer(0);
    delivery.noteId = row.Integer(1);
    delivery.destinationKey = row.Text(2);
    delivery.destination = row.Text(3);
    delivery.state = StateFromName(row.Text(4)).value_or(Delivery::State::Failed);
    delivery.attempts = static_cast<int>(row.Integer(5));
    if (!row.IsNull(6)) delivery.nextAttemptMs = row.Integer(6);
    delivery.lastAnswer = row.Text(7);
    delivery.createdMs = row.Integer(8);
    if (!row.IsNull(9)) delivery.deliveredMs = row.Integer(9);
    return delivery;
}

}  // namespace

NoteStore::NoteStore(const std::filesystem::path& file, std::int64_t keep)
    : database_(file.string()), keep_(keep) {
    try {
        Open(file);
    } catch (const sqlite::Error& e) {
        throw StoreRefused(file.string() + " cannot be used as an inbox store (" + e.what() +
                           "); move it away to start with an empty inbox");
    }
}

void NoteStore::Open(const std::filesystem::path& file) {
    // The first read of a file that is no database fails here.
    const std::int64_t version = Pragma(database_, "user_version");
    const std::int64_t application = Pragma(database_, "application_id");
    const bool empty = Pragma(database_, "page_count") == 0;
    if (!empty && application != kApplicationId) {
        throw StoreRefused(file.string() +
                           " is an SQLite file of another program, not an inbox store");
    }
    if (version > kSchemaVersion) {
        throw StoreRefused(file.string() +
                           " was written by a newer pushnote-inbox (store version " +
                           std::to_string(version) + "); use that version or another --data");
    }
    {
        sqlite::Statement check = database_.Prepare("PRAGMA quick_check");
        if (check.Step() && check.Text(0) != "ok") throw sqlite::Error(check.Text(0));
    }
    database_.Execute("PRAGMA journal_mode = WAL");
    // In WAL mode a commit survives a crash of the program, not of the machine.
    database_.Execute("PRAGMA synchronous = NORMAL");
    sqlite3_busy_timeout(database_.Handle(), 5000);
    if (empty) database_.Execute(kSchema);
    Migrate(empty ? 1 : version);

    insertNote_.emplace(database_.Prepare(
        "INSERT INTO notes (received_ms, token_fingerprint, user_agent, content_type, message, "
        "message_repaired, image_type, image_width, image_height, image_size, answer_status, "
        "answer_body, answer_chaos, token_name) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, "
        "?11, ?12, ?13, ?14)"));
    insertImage_.emplace(database_.Prepare("INSERT INTO images (note_id, bytes) VALUES (?1, ?2)"));
    // A note on its way somewhere stays until it got there or gave up.
    pruneNotes_.emplace(
        database_.Prepare("DELETE FROM notes WHERE id <= ?1 AND id NOT IN "
                          "(SELECT note_id FROM deliveries WHERE state = 'queued')"));
    pruneImages_.emplace(database_.Prepare(
        "DELETE FROM images WHERE note_id <= ?1 AND note_id NOT IN (SELECT id FROM notes)"));
    pruneDeliveries_.emplace(database_.Prepare(
        "DELETE FROM deliveries WHERE note_id <= ?1 AND note_id NOT IN (SELECT id FROM notes)"));
    findNote_.emplace(database_.Prepare(std::string("SELECT ") + kNoteColumns + " WHERE id = ?1"));
    deliveriesOf_.emplace(database_.Prepare(std::string("SELECT ") + kDeliveryColumns +
                                            " WHERE note_id = ?1 ORDER BY id"));
    saveDelivery_.emplace(
        database_.Prepare("UPDATE deliveries SET state = ?2, attempts = ?3, next_attempt_ms = ?4, "
                          "last_answer = ?5, delivered_ms = ?6, created_ms = ?7 WHERE id = ?1"));
    insertDelivery_.emplace(database_.Prepare(
        "INSERT INTO deliveries (note_id, destination_key, destination, state, attempts, "
        "next_attempt_ms, last_answer, created_ms) VALUES (?1, ?2, ?3, 'queued', 0, ?4, '', ?4)"));
    // Applies a smaller --keep than the last run had.
    sqlite::Statement newest = database_.Prepare("SELECT max(id) FROM notes");
    if (newest.Step() && !newest.IsNull(0)) Prune(newest.Integer(0) - keep_);
}

void NoteStore::Migrate(std::int64_t version) {
    if (version >= 2) return;
    sqlite::Transaction transaction(database_);
    database_.Execute(kVersion2Schema);
    transaction.Commit();
}

void NoteStore::Prune(std::int64_t lastDropped) {
    pruneNotes_->Bind(1, lastDropped).Run();
    pruneImages_->Bind(1, lastDropped).Run();
    pruneDeliveries_->Bind(1, lastDropped).Run();
}

std::int64_t NoteStore::Add(const Note& note, const std::string& imageBytes,
                            const std::vector<DeliveryTarget>& targets,
                            std::vector<Delivery>* created) {
    std::lock_guard lock(mutex_);
    sqlite::Transaction transaction(database_);
    sqlite::Statement& insert = *insertNote_;
    // Bindings of a note that failed half-way must not reach the next one.
    const sqlite::Statement::Use insertUse(insert);
    const sqlite::Statement::Use imageUse(*insertImage_);
    insert.Bind(1, note.receivedMs)
        .Bind(2, note.tokenFingerprint)
        .Bind(3, note.userAgent)
        .Bind(4, note.contentType)
        .Bind(5, note.message)
        .Bind(6, std::int64_t{note.messageRepaired})
        .Bind(11, std::int64_t{note.answer.status})
        .Bind(12, note.answer.body)
        .Bind(13, note.answer.chaos);
    if (note.tokenName) insert.Bind(14, *note.tokenName);
    if (note.image) {
        insert.Bind(7, note.image->type)
            .Bind(8, std::int64_t{note.image->width})
            .Bind(9, std::int64_t{note.image->height})
            .Bind(10, static_cast<std::int64_t>(imageBytes.size()));
    }
    insert.Run();
    const std::int64_t id = database_.LastInsertId();
    if (note.image) insertImage_->Bind(1, id).BindBlob(2, imageBytes).Run();
    const sqlite::Statement::Use deliveryUse(*insertDelivery_);
    std::vector<Delivery> made;
    for (const DeliveryTarget& target : targets) {
        insertDelivery_->Bind(1, id)
            .Bind(2, target.key)
            .Bind(3, target.destination)
            .Bind(4, note.receivedMs)
            .Run();
        Delivery delivery;
        delivery.id = database_.LastInsertId();
        delivery.noteId = id;
        delivery.destinationKey = target.key;
        delivery.destination = target.destination;
        delivery.nextAttemptMs = note.receivedMs;
        delivery.createdMs = note.receivedMs;
        made.push_back(std::move(delivery));
    }
    // Ids are handed out one by one and never reused, so the oldest to drop
    // are exactly those at or below this one.
    Prune(id - keep_);
    transaction.Commit();
    if (created) created->insert(created->end(), made.begin(), made.end());
    return id;
}

std::vector<Note> NoteStore::List(int limit, std::optional<std::int64_t> before,
                                  std::optional<std::int64_t> after) {
    std::vector<Note> notes;
    ForEach(limit, before, after, [&notes](const Note& note) {
        notes.push_back(note);
        return true;
    });
    return notes;
}

void NoteStore::ForEach(int limit, std::optional<std::int64_t> before,
                        std::optional<std::int64_t> after,
                        const std::function<bool(const Note&)>& each) {
    std::lock_guard lock(mutex_);
    sqlite::Statement query =
        database_.Prepare(std::string("SELECT ") + kNoteColumns +
                          " WHERE id < ?1 AND id > ?2 ORDER BY id DESC LIMIT ?3");
    query.Bind(1, before.value_or(INT64_MAX))
        .Bind(2, after.value_or(0))
        .Bind(3, std::int64_t{limit});
    while (query.Step()) {
        Note note = ReadNote(query);
        note.deliveries = DeliveriesOf(note.id);
        if (!each(note)) break;
    }
}

std::optional<Note> NoteStore::Find(std::int64_t id, bool withDeliveries) {
    std::lock_guard lock(mutex_);
    sqlite::Statement& query = *findNote_;
    const sqlite::Statement::Use use(query);
    query.Bind(1, id);
    if (!query.Step()) return std::nullopt;
    Note note = ReadNote(query);
    if (withDeliveries) note.deliveries = DeliveriesOf(id);
    return note;
}

std::optional<StoredImage> NoteStore::Image(std::int64_t id) {
    std::lock_guard lock(mutex_);
    sqlite::Statement query = database_.Prepare(
        "SELECT image_type, bytes FROM notes JOIN images ON note_id = id WHERE id = ?1");
    query.Bind(1, id);
    if (!query.Step()) return std::nullopt;
    return StoredImage{query.Text(0), query.Blob(1)};
}

std::int64_t NoteStore::Clear() {
    std::lock_guard lock(mutex_);
    sqlite::Transaction transaction(database_);
    database_.Execute("DELETE FROM notes");
    const std::int64_t deleted = database_.Changes();
    database_.Execute("DELETE FROM images");
    database_.Execute("DELETE FROM deliveries");
    transaction.Commit();
    return deleted;
}

std::vector<Delivery> NoteStore::DeliveriesOf(std::int64_t noteId) {
    sqlite::Statement& query = *deliveriesOf_;
    const sqlite::Statement::Use use(query);
    query.Bind(1, noteId);
    std::vector<Delivery> deliveries;
    while (query.Step()) deliveries.push_back(ReadDelivery(query));
    return deliveries;
}

std::vector<Delivery> NoteStore::QueuedDeliveries() {
    std::lock_guard lock(mutex_);
    sqlite::Statement query = database_.Prepare(std::string("SELECT ") + kDeliveryColumns +
                                                " WHERE state = 'queued' ORDER BY id");
    std::vector<Delivery> deliveries;
    while (query.Step()) deliveries.push_back(ReadDelivery(query));
    return deliveries;
}

std::int64_t NoteStore::QueuedCount() {
    std::lock_guard lock(mutex_);
    sqlite::Statement query =
        database_.Prepare("SELECT count(*) FROM deliveries WHERE state = 'queued'");
    return query.Step() ? query.Integer(0) : 0;
}

void NoteStore::CheckWritable() {
    std::lock_guard lock(mutex_);
    database_.Execute(("PRAGMA user_version = " + std::to_string(kSchemaVersion)).c_str());
}

void NoteStore::SaveDelivery(const Delivery& delivery) {
    std::lock_guard lock(mutex_);
    sqlite::Statement& update = *saveDelivery_;
    const sqlite::Statement::Use use(update);
    update.Bind(1, delivery.id)
        .Bind(2, std::string(StateName(delivery.state)))
        .Bind(3, std::int64_t{delivery.attempts})
        .Bind(5, delivery.lastAnswer)
        .Bind(7, delivery.createdMs);
    if (delivery.nextAttemptMs) update.Bind(4, *delivery.nextAttemptMs);
    if (delivery.deliveredMs) update.Bind(6, *delivery.deliveredMs);
    update.Run();
}

std::vector<Delivery> NoteStore::Requeue(std::int64_t noteId, std::int64_t nowMs) {
    std::lock_guard lock(mutex_);
    sqlite::Transaction transaction(database_);
    sqlite::Statement update = database_.Prepare(
        "UPDATE deliveries SET state = 'queued', attempts = 0, next_attempt_ms = ?2, "
        "created_ms = ?2, delivered_ms = NULL WHERE id = ?1");
    std::vector<Delivery> requeued;
    for (Delivery& delivery : DeliveriesOf(noteId)) {
        if (delivery.state != Delivery::State::Failed) continue;
        update.Bind(1, delivery.id).Bind(2, nowMs).Run();
        delivery.state = Delivery::State::Queued;
        delivery.attempts = 0;
        delivery.nextAttemptMs = delivery.createdMs = nowMs;
        delivery.deliveredMs.reset();
        requeued.push_back(std::move(delivery));
    }
    transaction.Commit();
    return requeued;
}

}  // namespace pushnote::inbox
