// Prints the figures of image notifications on Linux:
//  - time to convert a 4000 x 3000 GIF to JPEG (quality 90), in process,
//    against Pillow doing the same in its own process (pillow_convert.py);
//  - the memory that conversion takes at its peak, against the raw RGB
//    pixels of the picture, for both;
//  - peak memory and time of PushNoteWithImage with a 100 MB image, sent on
//    loopback to the service stand-in at the port given.
// Usage: image_bench PORT PILLOW_SCRIPT [--keep-gif PATH]
//   PORT           where the stand-in listens (it must trust this build's CA)
//   PILLOW_SCRIPT  pillow_convert.py, run with /usr/bin/python3 when Pillow
//                  is installed; its row is left out otherwise
//   --keep-gif     also leave the generated GIF at PATH (to time it
//                  elsewhere, e.g. with convert_bench under Wine)
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
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "base/access_token.h"
#include "image/convert_image_to_jpeg.h"
#include "notify/push_note_with_image.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kImageBytes = 100u << 20;
constexpr int kGifWidth = 4000;
constexpr int kGifHeight = 3000;
constexpr int kConversionRuns = 7;

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

// Kibibytes of a line of /proc/self/status, such as "VmHWM:".
long StatusKib(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::strlen(field));
    }
    return 0;
}

double CpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

struct ConversionFigures {
    double seconds = 0;
    double cpuSeconds = 0;  // steadier than seconds on a busy machine
    long growthKib = 0;     // peak resident memory above what the process held before
};

// Converts in a child process, so that the peak is the conversion's own.
ConversionFigures ConvertInChild(const fs::path& gif) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) std::exit(1);
    const pid_t child = fork();
    if (child == 0) {
        ConversionFigures figures;
        const long before = StatusKib("VmRSS:");
        pushnote::WorkingPath destination;
        const double cpuStart = CpuSeconds();
        figures.seconds =
            SecondsOf([&] { return pushnote::ConvertImageToJpeg(gif.c_str(), destination); });
        figures.cpuSeconds = CpuSeconds() - cpuStart;
        figures.growthKib = StatusKib("VmHWM:") - before;
        if (write(pipeEnds[1], &figures, sizeof figures) != sizeof figures) _exit(1);
        _exit(0);
    }
    ConversionFigures figures;
    const bool received = read(pipeEnds[0], &figures, sizeof figures) == sizeof figures;
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!received || status != 0) std::exit(1);
    return figures;
}

bool HavePillow() {
    return std::system("/usr/bin/python3 -c 'import PIL' 2>/dev/null") == 0;
}

// One conversion by Pillow in a fresh Python process, timed inside it.
ConversionFigures RunPillow(const std::string& script, const fs::path& gif, const fs::path& jpeg) {
    const std::string command =
        "/usr/bin/python3 '" + script + "' '" + gif.string() + "' '" + jpeg.string() + "'";
    ConversionFigures figures;
    FILE* output = popen(command.c_str(), "r");
    const bool read = output && std::fscanf(output, "%lf %lf %ld", &figures.seconds,
                                            &figures.cpuSeconds, &figures.growthKib) == 3;
    if (!output || pclose(output) != 0 || !read) {
        std::fprintf(stderr, "image_bench: pillow_convert.py failed\n");
        std::exit(1);
    }
    return figures;
}

void PrintRow(const char* measure, double ours, const char* anchor, double theirs, const char* unit,
              const char* goal) {
    std::printf("%-44s %9.1f %-3s %-38s %9.1f %-3s %6.2f   %s\n", measure, ours, unit, anchor,
                theirs, unit, ours / theirs, goal);
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
    if (argc < 3) {
        std::fprintf(stderr, "usage: image_bench PORT PILLOW_SCRIPT [--keep-gif PATH]\n");
        return 2;
    }
    const auto port = static_cast<std::uint16_t>(std::atoi(argv[1]));
    const std::string pillowScript = argv[2];
    const char* keepGif = argc > 4 && std::strcmp(argv[3], "--keep-gif") == 0 ? argv[4] : nullptr;
    setenv("LC_ALL", "C.UTF-8", 1);

    char folderTemplate[] = "/tmp/pushnote-image-bench-XXXXXX";
    if (!mkdtemp(folderTemplate)) return 1;
    const fs::path folder = folderTemplate;

    const fs::path gif = folder / "large.gif";
    if (!WriteLargeGif(gif)) return 1;
    // Alternated, so that drift in the machine's load touches both sides alike.
    const bool pillow = HavePillow();
    std::vector<double> ours, oursCpu, theirs, theirsCpu;
    long oursGrowthKib = 0;
    long pillowGrowthKib = 0;
    for (int run = 0; run < kConversionRuns; ++run) {
        const ConversionFigures figures = ConvertInChild(gif);
        ours.push_back(figures.seconds);
        oursCpu.push_back(figures.cpuSeconds);
        oursGrowthKib = std::max(oursGrowthKib, figures.growthKib);
        if (!pillow) continue;
        const ConversionFigures other = RunPillow(pillowScript, gif, folder / "pillow.jpg");
        theirs.push_back(other.seconds);
        theirsCpu.push_back(other.cpuSeconds);
        pillowGrowthKib = std::max(pillowGrowthKib, other.growthKib);
    }
    const double rawMib = kGifWidth * kGifHeight * 3 / 1048576.0;
    if (pillow) {
        PrintRow("GIF 4000x3000 -> JPEG q90, in-process", Median(ours) * 1000,
                 "Pillow q90, in its process", Median(theirs) * 1000, "ms", "<= 0.7");
        PrintRow("  the same in CPU time", Median(oursCpu) * 1000, "Pillow, CPU time",
                 Median(theirsCpu) * 1000, "ms", "(steadier under load)");
    } else {
        std::printf("%-44s %9.1f ms (Pillow not installed: no anchor)\n",
                    "GIF 4000x3000 -> JPEG q90, in-process", Median(ours) * 1000);
    }
    PrintRow("peak memory of that conversion", oursGrowthKib / 1024.0, "raw RGB of the image",
             rawMib, "MiB", "<= 0.6");
    if (pillow) {
        std::printf("%-44s %9.1f MiB (Pillow's peak for the same, for reference)\n", "",
                    pillowGrowthKib / 1024.0);
    }
    std::printf("%-44s %9.1f MiB (the GIF file)\n", "", fs::file_size(gif) / 1048576.0);

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
    PrintRow("peak memory sending a 100 MiB image", big.peakKib / 1024.0, "the image's size",
             kImageBytes / 1048576.0, "MiB", "<= N + small constant");
    std::printf("%-44s %9.1f MiB (a tiny image's peak: the process itself); %.3f s\n", "",
                baseline.peakKib / 1024.0, big.seconds);

    if (keepGif) fs::copy_file(gif, keepGif, fs::copy_options::overwrite_existing);
    fs::remove_all(folder);
    return 0;
}
