// The note store in a scratch folder: keeping the newest notes, images, paging
// and refusing files it must not touch.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "note_store.h"

namespace pushnote::inbox {
namespace {

namespace fs = std::filesystem;

class StoreTest : public testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("inbox-store-" + std::to_string(getpid()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    fs::path File() const { return folder_ / "inbox.sqlite3"; }

    static Note TextNote(const std::string& message) {
        Note note;
        note.message = message;
        note.receivedMs = 1700000000000;
        return note;
    }

    static std::vector<std::int64_t> Ids(const std::vector<Note>& notes) {
        std::vector<std::int64_t> ids;
        for (const Note& note : notes) ids.push_back(note.id);
        return ids;
    }

    fs::path folder_;
};

TEST_F(StoreTest, KeepsTheNewestNotesAcrossRestarts) {
    {
        NoteStore store(File(), 3);
        for (int i = 1; i <= 5; ++i) EXPECT_EQ(store.Add(TextNote(std::to_string(i)), ""), i);
        EXPECT_EQ(Ids(store.List(10, std::nullopt, std::nullopt)),
                  (std::vector<std::int64_t>{5, 4, 3}));
    }
    NoteStore reopened(File(), 2);  // a smaller keep applies at once
    EXPECT_EQ(Ids(reopened.List(10, std::nullopt, std::nullopt)),
              (std::vector<std::int64_t>{5, 4}));
    EXPECT_EQ(reopened.Add(TextNote("6"), ""), 6);
    EXPECT_EQ(reopened.Find(6)->message, "6");
    EXPECT_FALSE(reopened.Find(4).has_value());
}

TEST_F(StoreTest, PagesByIdAndClears) {
    NoteStore store(File(), 100);
    for (int i = 1; i <= 6; ++i) store.Add(TextNote(std::to_string(i)), "");
    EXPECT_EQ(Ids(store.List(2, 5, std::nullopt)), (std::vector<std::int64_t>{4, 3}));
    EXPECT_EQ(Ids(store.List(10, std::nullopt, 4)), (std::vector<std::int64_t>{6, 5}));
    EXPECT_EQ(store.Clear(), 6);
    EXPECT_TRUE(store.List(10, std::nullopt, std::nullopt).empty());
    EXPECT_EQ(store.Add(TextNote("after"), ""), 7);  // ids are not reused
}

TEST_F(StoreTest, KeepsImageBytesAndTheirSummary) {
    NoteStore store(File(), 2);
    Note note = TextNote("picture");
    note.image = ImageSummary{"image/png", 4, 3, 6};
    note.answer = Answer{429, "{}", "rate_limit"};
    const std::string bytes("\x89PNG\0\1", 6);
    const std::int64_t id = store.Add(note, bytes);
    const Note found = *store.Find(id);
    EXPECT_EQ(found.image->type, "image/png");
    EXPECT_EQ(found.image->width, 4);
    EXPECT_EQ(found.image->size, 6);
    EXPECT_EQ(found.answer.status, 429);
    EXPECT_EQ(found.answer.chaos, "rate_limit");
    EXPECT_EQ(store.Image(id)->bytes, bytes);
    // Pruned with its note.
    store.Add(TextNote("2"), "");
    store.Add(TextNote("3"), "");
    EXPECT_FALSE(store.Image(id).has_value());
}

// Every connection opened from here on may grow its file to this many pages.
int LimitPages(sqlite3* database, char**, const sqlite3_api_routines*) {
    sqlite3_exec(database, "PRAGMA max_page_count = 64", nullptr, nullptr, nullptr);
    return SQLITE_OK;
}

TEST_F(StoreTest, KeepsDeliveriesAndTheNotesStillOnTheirWay) {
    std::vector<Delivery> queued;
    {
        NoteStore store(File(), 2);
        const std::vector<DeliveryTarget> targets{{"json://a/***", "json://a/***"},
                                                  {"json://a/*** #2", "json://a/***"}};
        store.Add(TextNote("1"), "", targets, &queued);
        for (const char* text : {"2", "3", "4"}) store.Add(TextNote(text), "");
        // --keep 2, yet note 1 stays: its deliveries are queued.
        EXPECT_EQ(Ids(store.List(10, {}, {})), (std::vector<std::int64_t>{4, 3, 1}));
        ASSERT_EQ(queued.size(), 2u);
        queued[0].state = Delivery::State::Failed;
        queued[0].attempts = 1;
        queued[0].lastAnswer = "HTTP 400";
        store.SaveDelivery(queued[0]);
    }
    NoteStore reopened(File(), 2);
    const std::vector<Delivery> left = reopened.QueuedDeliveries();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].destinationKey, "json://a/*** #2");
    EXPECT_EQ(reopened.Find(1)->deliveries.at(0).lastAnswer, "HTTP 400");

    const std::vector<Delivery> requeued = reopened.Requeue(1, 1800000000000);
    ASSERT_EQ(requeued.size(), 1u);
    EXPECT_EQ(requeued[0].attempts, 0);
    EXPECT_EQ(reopened.QueuedCount(), 2);
    for (Delivery delivery : reopened.QueuedDeliveries()) {
        delivery.state = Delivery::State::Delivered;
        reopened.SaveDelivery(delivery);
    }
    reopened.Add(TextNote("5"), "");
    EXPECT_EQ(Ids(reopened.List(10, {}, {})), (std::vector<std::int64_t>{5, 4}));
    EXPECT_EQ(reopened.QueuedCount(), 0);
}

TEST_F(StoreTest, AStoreOfTheFirstVersionGainsDeliveries) {
    {
        NoteStore store(File(), 10);
        store.Add(TextNote("old"), "");
    }
    {
        sqlite::Database database(File().string());
        database.Execute(
            "DROP TABLE deliveries; DROP TABLE users; DROP TABLE tokens; "
            "ALTER TABLE notes DROP COLUMN token_name; PRAGMA user_version = 1;");
    }
    NoteStore upgraded(File(), 10);
    std::vector<Delivery> made;
    upgraded.Add(TextNote("new"), "", {{"k", "shown"}}, &made);
    EXPECT_EQ(upgraded.Find(1)->message, "old");
    EXPECT_EQ(upgraded.Find(2)->deliveries.size(), 1u);
}

TEST_F(StoreTest, AFullStoreRefusesOneNoteAndTakesTheNext) {
    sqlite3_auto_extension(reinterpret_cast<void (*)()>(LimitPages));
    NoteStore store(File(), 100);
    sqlite3_reset_auto_extension();
    Note picture = TextNote("picture");
    picture.image = ImageSummary{"image/png", 1, 1, 0};
    // The note row fits; its image, past the 64 pages, does not.
    EXPECT_THROW(store.Add(picture, std::string(400 * 1024, 'x')), sqlite::Error);
    EXPECT_EQ(store.Add(TextNote("text"), ""), 1);
    const std::int64_t small = store.Add(picture, std::string(2048, 'y'));
    EXPECT_EQ(store.Image(small)->bytes, std::string(2048, 'y'));
    EXPECT_EQ(Ids(store.List(10, std::nullopt, std::nullopt)),
              (std::vector<std::int64_t>{small, 1}));
}

struct RefusedCase {
    const char* name;
    void (*prepare)(const fs::path& file);
    const char* reason;
};

class RefusedStore : public StoreTest, public testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedStore, IsLeftAsItWas) {
    GetParam().prepare(File());
    const auto before = fs::file_size(File());
    try {
        NoteStore store(File(), 10);
        FAIL() << "opened";
    } catch (const StoreRefused& e) {
        EXPECT_NE(std::string(e.what()).find(GetParam().reason), std::string::npos) << e.what();
    }
    EXPECT_EQ(fs::file_size(File()), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedStore,
    testing::Values(
        RefusedCase{"garbage",
                    [](const fs::path& file) { std::ofstream(file) << std::string(4096, 'x'); },
                    "cannot be used as an inbox store"},
        RefusedCase{"newer",
                    [](const fs::path& file) {
                        { NoteStore store(file, 10); }
                        sqlite::Database(file.string()).Execute("PRAGMA user_version = 7");
                    },
                    "newer pushnote-inbox"},
        RefusedCase{"foreign",
                    [](const fs::path& file) {
                        sqlite::Database(file.string()).Execute("CREATE TABLE other (x)");
                    },
                    "another program"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pushnote::inbox
