#include "outbox.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <stdexcept>

#include "command_failure.h"
#include "command_text.h"
#include "note_file.h"
#include "spool_files.h"
#include "spool_temporary.h"

namespace pushnote::command {

namespace fs = std::filesystem;

// A write of a note takes well under this; an older temporary file or image
// copy that no writer holds is what a crashed write left behind.
constexpr std::chrono::seconds kStaleAge{60};

Outbox::Outbox(fs::path directory) : directory_(std::move(directory)) {}

fs::path Outbox::DefaultDirectory() {
    const auto state = DefaultStateDirectory();
    if (!state) {
        throw CommandFailure("no home folder is set: name the outbox with --outbox-dir",
                             kUsageError);
    }
    return *state / "pushnote" / "outbox";
}

std::string Outbox::Queue(const Note& note) {
    const std::string name = NewNoteName();
    std::string imageName;
    try {
        CreatePrivateFolder(directory_);
        std::optional<HeldFile> image;
        if (note.imagePath) {
            // The extension stays: it tells the sender the image's type.
            imageName = name + std::string(kImageInfix) +
                        TextFromPath(PathFromText(*note.imagePath).extension());
            image.emplace(WriteFileDurably(directory_, imageName, ReadImageFile(*note.imagePath)));
        }
        // The note appears last, so a flush never finds it without its image;
        // the image is held until then, so no flush takes it for an orphan.
        try {
            const HeldFile written = WriteFileDurably(directory_, name + std::string(kNoteSuffix),
                                                      EncodeNote(note, imageName));
        } catch (const std::runtime_error&) {
            image.reset();  // a held file cannot be removed everywhere
            std::error_code ignored;
            if (!imageName.empty()) fs::remove(directory_ / imageName, ignored);
            throw;
        }
    } catch (const CommandFailure&) {
        throw;
    } catch (const std::exception& failure) {
        throw CommandFailure(std::string(failure.what()) + "; the note is not queued",
                             kCannotQueue);
    }
    return name;
}

// Removes the image copies whose note is gone and that no writer holds.
void Outbox::RemoveOrphanedImages() const {
    const auto cutoff = fs::file_time_type::clock::now() - kStaleAge;
    std::error_code error;
    bool removed = false;
    for (fs::directory_iterator entry(directory_, error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string file = entry->path().filename().string();
        const std::size_t infix = file.find(kImageInfix);
        if (file.starts_with('.') || infix == std::string::npos) continue;
        const fs::path note = directory_ / (file.substr(0, infix) + std::string(kNoteSuffix));
        std::error_code ignored;
        const auto written = fs::last_write_time(entry->path(), ignored);
        if (ignored || written >= cutoff) continue;
        removed |= RemoveUnlessHeld(entry->path(), [&note] {
            std::error_code unknown;
            return !fs::exists(note, unknown) && !unknown;
        });
    }
    if (removed) SyncFolder(directory_);
}

std::vector<std::string> Outbox::Waiting() const {
    std::vector<std::string> names;
    std::error_code missing;
    for (const auto& entry : fs::directory_iterator(directory_, missing)) {
        const std::string file = entry.path().filename().string();
        // Hidden names are temporary files still being written.
        if (file.starts_with('.') || !file.ends_with(kNoteSuffix)) continue;
        names.push_back(file.substr(0, file.size() - kNoteSuffix.size()));
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool Outbox::Holds(const std::string& name) const {
    return fs::exists(directory_ / (name + std::string(kNoteSuffix)));
}

Outbox::FlushReport Outbox::Flush(Deliverer& deliverer) {
    FlushReport report;
    for (const fs::path& folder : {directory_, directory_ / kFailedFolder}) {
        if (RemoveStaleTemporaries(folder, kStaleAge) > 0) SyncFolder(folder);
    }
    RemoveOrphanedImages();
    for (const std::string& name : Waiting()) {
        const fs::path notePath = directory_ / (name + std::string(kNoteSuffix));
        auto claimed = ClaimedFile::TryClaim(notePath);
        if (!claimed) continue;  // another flush has it, or has finished with it
        Outcome outcome{Verdict::BadInput, ""};
        Note note;
        try {
            note = DecodeNote(claimed->bytes(), directory_, notePath);
            outcome = deliverer.Deliver(note);
        } catch (const std::runtime_error& unreadable) {
            outcome.reason = unreadable.what();
        }
        switch (outcome.verdict) {
            case Verdict::Delivered:
                // The note goes first: an image left behind is never sent twice.
                claimed->Remove();
                for (const fs::path& image : ImagesOf(note)) fs::remove(image);
                SyncFolder(directory_);
                ++report.delivered;
                break;
            case Verdict::Refused:
            case Verdict::BadInput: {
                const fs::path failed = directory_ / kFailedFolder;
                CreatePrivateFolder(failed);
                WriteFileDurably(failed, name + std::string(kReasonSuffix), outcome.reason + "\n");
                for (const fs::path& image : ImagesOf(note)) {
                    fs::rename(image, failed / image.filename());
                }
                claimed->MoveTo(failed / notePath.filename());
                std::fprintf(stderr, "pushnote: %s: %s; moved to %s\n", name.c_str(),
                             outcome.reason.c_str(), failed.string().c_str());
                ++report.failed;
                break;
            }
            case Verdict::TryLater:
            case Verdict::TokenRefused:
                report.stopped = true;
                report.stoppedBy = outcome.verdict;
                report.reason = outcome.reason;
                return report;
        }
        report.settled.emplace_back(name, outcome.verdict);
    }
    return report;
}

}  // namespace pushnote::command
