#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "delivery.h"

namespace pushnote::command {

// A spool folder of notes waiting for delivery, one file per note named by
// when it was queued, so that names sort oldest first. A note's image is
// copied beside it. Notes refused for good move to failed/ with the reason.
// The folder is its owner's alone, and every name it gains or loses is
// synced to disk before the command goes on.
class Outbox {
public:
    explicit Outbox(std::filesystem::path directory);

    // The default folder: pushnote/outbox in the user's state folder.
    static std::filesystem::path DefaultDirectory();

    const std::filesystem::path& directory() const noexcept { return directory_; }

    // Stores the note (and a copy of its image) durably; returns its name.
    std::string Queue(const Note& note);

    // The names of the waiting notes, oldest first.
    std::vector<std::string> Waiting() const;

    bool Holds(const std::string& name) const;

    struct FlushReport {
        unsigned delivered = 0;
        unsigned failed = 0;   // moved to failed/
        bool stopped = false;  // a note failed for now (or the token was refused)
        Verdict stoppedBy = Verdict::Delivered;
        std::string reason;
        // What became of each note this flush took to the end.
        std::vector<std::pair<std::string, Verdict>> settled;
    };

    // Delivers the waiting notes oldest first, each claimed so that no other
    // flush sends it too. Stops at the first note that fails for now, and at
    // a refused token, leaving that note and the later ones waiting. First
    // removes temporary files that crashed writes left over a minute ago.
    //
    // Two flushes at once each send every note once, and each in the order
    // the notes were queued, but not in that order between them: while one
    // flush delivers (or fails) a note, the other goes on with the next, so a
    // later note may arrive before an earlier one, or while an earlier one
    // still waits after a failure for now.
    FlushReport Flush(Deliverer& deliverer);

    struct Entry {
        std::string name;
        std::chrono::seconds age;
        std::uintmax_t bytes;  // on disk: the note and its image
        std::string preview;
    };
    std::vector<Entry> List() const;
    unsigned FailedCount() const;

private:
    void RemoveOrphanedImages() const;

    std::filesystem::path directory_;
};

}  // namespace pushnote::command
