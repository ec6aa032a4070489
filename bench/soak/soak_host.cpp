// Makes many mixed calls through the built library, loaded the way hosts load
// it, against the service stand-in, and prints the process's handle count and
// private bytes every 500 calls. Every call must give its expected result.
//
//   soak_host LIBRARY PORT CALLS [MAX_HANDLE_GROWTH MAX_BYTE_GROWTH [LEFT_OUT]]
//
// With the two bounds it also fails when the figures grew by more than that
// from the first report (after warm-up) to the last. LEFT_OUT names a kind
// of call to leave out of the mix.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "process_figures.h"
#include "support/loaded_library.h"

namespace {

using namespace pushnote::testing;
namespace fs = std::filesystem;

constexpr int kReportEvery = 500;

// 1 x 1 white, the smallest complete GIF.
const std::string kTinyGif(
    "GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00!\xf9\x04\x01\x00\x00\x00\x00,"
    "\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02"
    "D\x01\x00;",
    43);
const std::string kTenBytePng("\x89PNG\r\n\x1A\n\0\0", 10);

enum class Kind { Text, Image, Fetch };

struct Call {
    const char* label;
    Kind kind;
    const char* token;     // for the senders; the stand-in reads directives after ';'
    std::string argument;  // image file name in the folder, or URL
    int expected;
    const char* fetched = nullptr;  // the text a fetch must leave, when checked
};

std::vector<Call> MixedCalls(int port) {
    const std::string service = "https://localhost:" + std::to_string(port);
    return {
        {"text", Kind::Text, "soak", "", 0},
        {"text, status 500", Kind::Text, "soak;status=500", "", -6},
        {"text, no token", Kind::Text, "", "", -10},
        {"png", Kind::Image, "soak", "photo.png", 0},
        {"gif", Kind::Image, "soak", "anim.gif", 0},
        {"gif, status 404", Kind::Image, "soak;status=404", "anim.gif", -6},
        {"refused type", Kind::Image, "soak", "photo.bmp", -60},
        {"missing file", Kind::Image, "soak", "absent.png", -50},
        {"empty file", Kind::Image, "soak", "empty.png", -30},
        {"corrupt gif", Kind::Image, "soak", "broken.gif", -50},
        {"fetch", Kind::Fetch, "", service + "/text?text=soaked", 0, "soaked"},
        {"fetch, status 404", Kind::Fetch, "", service + "/status/404", 0,
         "<html>not found</html>"},
        {"fetch, unreachable host", Kind::Fetch, "", "http://127.0.0.1:1/", 0, ""},
    };
}

class Folder {
public:
    Folder() {
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        path_ = fs::temp_directory_path() / ("pushnote-soak-" + std::to_string(stamp));
        fs::create_directories(path_);
        Write("photo.png", kTenBytePng);
        Write("anim.gif", kTinyGif);
        Write("photo.bmp", "BM");
        Write("empty.png", "");
        Write("broken.gif", "GIF89a but nothing after");
    }
    ~Folder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    std::string PathOf(const std::string& name) const { return (path_ / name).string(); }

private:
    void Write(const char* name, const std::string& bytes) const {
        std::ofstream(path_ / name, std::ios::binary) << bytes;
    }
    fs::path path_;
};

struct Exports {
    SetAccessTokenFunction setAccessToken;
    PushNoteFunction pushNote;
    PushNoteWithImageFunction pushNoteWithImage;
    HttpReadFileFunction httpReadFile;
};

// The result, and for a fetch whether it left the expected text.
bool Run(const Exports& exports, const Folder& folder, const Call& call, int& result) {
    switch (call.kind) {
        case Kind::Text:
            exports.setAccessToken(call.token);
            result = exports.pushNote("soak message");
            return true;
        case Kind::Image:
            exports.setAccessToken(call.token);
            result =
                exports.pushNoteWithImage("soak message", folder.PathOf(call.argument).c_str());
            return true;
        case Kind::Fetch: {
            char text[64] = "untouched";
            result = exports.httpReadFile(call.argument.c_str(), text, sizeof text);
            return !call.fetched || std::strcmp(text, call.fetched) == 0;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4 || argc == 5 || argc > 7) {
        std::fprintf(stderr,
                     "usage: soak_host LIBRARY PORT CALLS [MAX_HANDLE_GROWTH MAX_BYTE_GROWTH "
                     "[LEFT_OUT]]\n");
        return 2;
    }
    const int port = std::atoi(argv[2]);
    const int calls = std::atoi(argv[3]);
    LoadedLibrary library(argv[1]);
    const Exports exports{library.Find<SetAccessTokenFunction>("SetAccessToken"),
                          library.Find<PushNoteFunction>("PushNote"),
                          library.Find<PushNoteWithImageFunction>("PushNoteWithImage"),
                          library.Find<HttpReadFileFunction>("HttpReadFile")};
    if (!exports.setAccessToken || !exports.pushNote || !exports.pushNoteWithImage ||
        !exports.httpReadFile) {
        std::fprintf(stderr, "soak_host: cannot load the exports of %s\n", argv[1]);
        return 1;
    }

    const Folder folder;
    std::vector<Call> mixed = MixedCalls(port);
    if (argc == 7) {
        std::erase_if(mixed, [&](const Call& call) { return call.label == std::string(argv[6]); });
        std::printf("left out: %s\n", argv[6]);
    }
    std::vector<pushnote::soak::ProcessFigures> reports;
    const pushnote::soak::ProcessFigures before = pushnote::soak::ReadProcessFigures();
    std::printf("handles: %s\nprivate bytes: %s\n%8s %10s %14s\n%8d %10llu %14llu\n",
                before.handlesFrom, before.privateBytesFrom, "calls", "handles", "private bytes", 0,
                static_cast<unsigned long long>(before.handles),
                static_cast<unsigned long long>(before.privateBytes));
    for (int i = 0; i < calls; ++i) {
        const Call& call = mixed[static_cast<std::size_t>(i) % mixed.size()];
        int result = 0;
        if (!Run(exports, folder, call, result) || result != call.expected) {
            std::fprintf(stderr, "soak_host: call %d (%s) gave %d, expected %d%s\n", i + 1,
                         call.label, result, call.expected,
                         result == call.expected ? " but other text" : "");
            return 1;
        }
        if ((i + 1) % kReportEvery == 0 || i + 1 == calls) {
            reports.push_back(pushnote::soak::ReadProcessFigures());
            std::printf("%8d %10llu %14llu\n", i + 1,
                        static_cast<unsigned long long>(reports.back().handles),
                        static_cast<unsigned long long>(reports.back().privateBytes));
            std::fflush(stdout);
        }
    }
    exports.setAccessToken("");

    if (argc >= 6 && reports.size() >= 2) {
        const long long handleGrowth = static_cast<long long>(reports.back().handles) -
                                       static_cast<long long>(reports.front().handles);
        const long long byteGrowth = static_cast<long long>(reports.back().privateBytes) -
                                     static_cast<long long>(reports.front().privateBytes);
        std::printf("growth after warm-up: %lld handles, %lld bytes\n", handleGrowth, byteGrowth);
        if (handleGrowth > std::atoll(argv[4]) || byteGrowth > std::atoll(argv[5])) {
            std::fprintf(stderr, "soak_host: the figures grew beyond the bounds\n");
            return 1;
        }
    }
    return 0;
}
