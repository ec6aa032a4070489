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
