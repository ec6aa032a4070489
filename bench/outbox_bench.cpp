// Prints what the pushnote command's outbox costs per queued note (time,
// bytes, disk blocks) and how many notes per second flush delivers over one
// keep-alive connection, text notes and notes with a 100 KB image. Needs the
// service stand-in listening where the library points.
//   outbox_bench SCRATCH_DIR [NOTES]
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "base/access_token.h"
#include "delivery.h"
#include "outbox.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using pushnote::command::Deliverer;
using pushnote::command::Note;
using pushnote::command::Outbox;

constexpr std::size_t kImageBytes = 100 * 1024;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct DiskUse {
    std::uintmax_t bytes = 0;
    std::uintmax_t blockBytes = 0;
};

DiskUse MeasureFolder(const fs::path& folder) {
    DiskUse use;
    for (const auto& entry : fs::directory_iterator(folder)) {
        struct stat status {};
        if (!entry.is_regular_file() || stat(entry.path().c_str(), &status) != 0) continue;
        use.bytes += static_cast<std::uintmax_t>(status.st_size);
        use.blockBytes += static_cast<std::uintmax_t>(status.st_blocks) * 512;
    }
    return use;
}

// Queues the notes, then flushes them; prints both figures for one kind.
void Measure(const char* kind, const Note& note, const fs::path& folder, unsigned notes) {
    fs::remove_all(folder);
    Outbox outbox(folder);
    const auto queueStart = Clock::now();
    for (unsigned i = 0; i < notes; ++i) outbox.Queue(note);
    const double queueSeconds = SecondsSince(queueStart);
    const DiskUse use = MeasureFolder(folder);

    Deliverer deliverer({});
    const auto flushStart = Clock::now();
    const Outbox::FlushReport report = outbox.Flush(deliverer);
    const double flushSeconds = SecondsSince(flushStart);
    if (report.delivered != notes) {
        std::fprintf(stderr, "outbox_bench: %u of %u %s notes delivered: %s\n", report.delivered,
                     notes, kind, report.reason.c_str());
        std::exit(1);
    }
    std::printf(
        "%-22s queue %7.3f ms/note, %8ju bytes/note, %8ju bytes of blocks/note | "
        "flush %7.1f notes/s\n",
        kind, queueSeconds * 1000 / notes, use.bytes / notes, use.blockBytes / notes,
        notes / flushSeconds);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: outbox_bench SCRATCH_DIR [NOTES]\n");
        return 2;
    }
    const fs::path scratch = argv[1];
    const unsigned notes = argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 200;
    fs::create_directories(scratch);
    pushnote::SetAccessToken("bench-token");

    const fs::path image = scratch / "image.png";
    {
        std::mt19937 random(1);
        std::string bytes(kImageBytes, '\0');
        for (char& byte : bytes) byte = static_cast<char>(random());
        std::ofstream(image, std::ios::binary) << bytes;
    }
    std::printf("%u notes of each kind, outbox in %s\n", notes, scratch.c_str());
    Measure("text note", Note{"Backup of /srv done: 3 & 4 OK", std::nullopt}, scratch / "text",
            notes);
    Measure("note + 100 KB image", Note{"Camera 2", image.string()}, scratch / "image", notes);
    fs::remove_all(scratch);
    return 0;
}
