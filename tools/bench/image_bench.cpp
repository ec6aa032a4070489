// Prints the figures of image notifications on Linux:
//  - peak memory and time of PushNoteWithImage with a 100 MB image, sent on
//    loopback to the service stand-in at the port given;
//  - time to convert a 4000 x 3000 GIF to JPEG, against ImageMagick's
//    convert of the same GIF when /usr/bin/convert exists.
// Usage: image_bench PORT [--keep-gif PATH]
//   PORT        where the stand-in listens (it must trust this build's CA)
//   --keep-gif  also leave the generated GIF at PATH (to time it elsewhere,
//               e.g. with convert_bench under Wine)
#include <gif_lib.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "frame/access_token.h"
#include "image/convert_image_to_jpeg.h"
#include "notify/push_note_with_image.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kImageBytes = 100u << 20;
constexpr int kGifWidth = 4000;
constexpr int kGifHeight = 3000;
constexpr int kConversionRuns = 5;

double SecondsOf(const std::function<bool()>& action) {
    const auto start = Clock::now();
    if (!action()) {
        std::fprintf(stderr, "image_bench: a step failed\n");
        std::exit(1);
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

// A PNG signature and 100 MB of bytes that do not compress.
void WriteLargeImage(const fs::path& path) {
    std::ofstream out(path, std::ios::binary);
    out.write("\x89PNG\r\n\x1A\n", 8);
    std::vector<char> chunk(1 << 20);
    unsigned state = 12345;
    for (std::size_t written = 8; written < kImageBytes; written += chunk.size()) {
        for (char& byte : chunk) {
            state = state * 1103515245u + 12345u;
            byte = static_cast<char>(state >> 16);
        }
        out.write(chunk.data(),
                  static_cast<std::streamsize>(std::min(chunk.size(), kImageBytes - written)));
    }
}

struct ChildFigures {
    double seconds = 0;
    long peakKib = 0;
    int result = 0;
};

// Runs one send in a child process, so that its peak memory is its own.
ChildFigures SendInChild(const std::string& imagePath, std::uint16_t port) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) std::exit(1);
    const pid_t child = fork();
    if (child == 0) {
        pushnote::SetAccessToken("bench-token");
        ChildFigures figures;
        const auto start = Clock::now();
        figures.result = pushnote::PushNoteWithImage("Benchmark image", imagePath.c_str(),
                                                     pushnote::ServiceEndpoint{"localhost", port},
                                                     pushnote::http::PlatformClient());
        figures.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (write(pipeEnds[1], &figures, sizeof figures) != sizeof figures) _exit(1);
        _exit(0);
    }
    ChildFigures figures;
    const bool received = read(pipeEnds[0], &figures, sizeof figures) == sizeof figures;
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    if (!received || status != 0) std::exit(1);
    figures.peakKib = usage.ru_maxrss;
    return figures;
}

// 4000 x 3000 in 256 colours: smooth bands with some noise, so that LZW has
// work to do as it would on a real picture.
bool WriteLargeGif(const fs::path& path) {
    int error = 0;
    GifFileType* gif = EGifOpenFileName(path.c_str(), false, &error);
    if (!gif) return false;
    GifColorType colours[256];
    for (int i = 0; i < 256; ++i) {
        colours[i] = GifColorType{static_cast<GifByteType>(i), static_cast<GifByteType>(255 - i),
                                  static_cast<GifByteType>((i * 7) & 0xFF)};
    }
    ColorMapObject* map = GifMakeMapObject(256, colours);
    bool written = EGifPutScreenDesc(gif, kGifWidth, kGifHeight, 8, 0, map) == GIF_OK &&
                   EGifPutImageDesc(gif, 0, 0, kGifWidth, kGifHeight, false, nullptr) == GIF_OK;
    std::vector<GifPixelType> row(kGifWidth);
    unsigned state = 99;
    for (int y = 0; written && y < kGifHeight; ++y) {
        for (int x = 0; x < kGifWidth; ++x) {
            state = state * 1103515245u + 12345u;
            const double wave = std::sin(x / 150.0) * std::cos(y / 110.0);
            row[x] = static_cast<GifPixelType>(
                static_cast<int>(127 + 100 * wave + ((state >> 16) & 15)) & 0xFF);
        }
        written = EGifPutLine(gif, row.data(), kGifWidth) == GIF_OK;
    }
    GifFreeMapObject(map);
    return EGifCloseFile(gif, &error) == GIF_OK && written;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: image_bench PORT [--keep-gif PATH]\n");
        return 2;
    }
    const auto port = static_cast<std::uint16_t>(std::atoi(argv[1]));
    const char* keepGif = argc > 3 && std::strcmp(argv[2], "--keep-gif") == 0 ? argv[3] : nullptr;
    setenv("LC_ALL", "C.UTF-8", 1);

    char folderTemplate[] = "/tmp/pushnote-image-bench-XXXXXX";
    if (!mkdtemp(folderTemplate)) return 1;
    const fs::path folder = folderTemplate;

    const fs::path small = folder / "small.png";
    std::ofstream(small, std::ios::binary) << "\x89PNG\r\n\x1A\n tiny";
    const fs::path large = folder / "large.png";
    WriteLargeImage(large);
    const ChildFigures baseline = SendInChild(small.string(), port);
    const ChildFigures big = SendInChild(large.string(), port);
    if (baseline.result != 0 || big.result != 0) {
        std::fprintf(stderr, "image_bench: sending failed (%d, %d): is the stand-in on %u?\n",
                     baseline.result, big.result, port);
        return 1;
    }
    fs::remove(large);

    std::printf("PushNoteWithImage on loopback, one process each\n");
    std::printf("  tiny image:    peak %8.1f MiB   %8.3f s\n", baseline.peakKib / 1024.0,
                baseline.seconds);
    std::printf("  100 MiB image: peak %8.1f MiB   %8.3f s   (%.1f MiB over the tiny one)\n",
                big.peakKib / 1024.0, big.seconds, (big.peakKib - baseline.peakKib) / 1024.0);

    const fs::path gif = folder / "large.gif";
    if (!WriteLargeGif(gif)) return 1;
    std::vector<double> ours;
    for (int run = 0; run < kConversionRuns; ++run) {
        pushnote::WorkingPath destination;
        ours.push_back(
            SecondsOf([&] { return pushnote::ConvertImageToJpeg(gif.c_str(), destination); }));
    }
    std::printf("4000 x 3000 GIF (%.1f MiB) to JPEG, median of %d\n",
                fs::file_size(gif) / 1048576.0, kConversionRuns);
    std::printf("  ConvertImageToJpeg            %8.3f s\n", Median(ours));
    if (fs::exists("/usr/bin/convert")) {
        const std::string command = "/usr/bin/convert '" + gif.string() + "' -quality 90 '" +
                                    (folder / "magick.jpg").string() + "'";
        std::vector<double> magick;
        for (int run = 0; run < kConversionRuns; ++run) {
            magick.push_back(SecondsOf([&] { return std::system(command.c_str()) == 0; }));
        }
        std::printf("  ImageMagick convert, process  %8.3f s   ratio ours/convert %.2f\n",
                    Median(magick), Median(ours) / Median(magick));
    }
    if (keepGif) fs::copy_file(gif, keepGif, fs::copy_options::overwrite_existing);
    fs::remove_all(folder);
    return 0;
}
