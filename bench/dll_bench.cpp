// Prints how long one text notification takes through PushNote.dll, loaded
// the way hosts load it. Needs the service stand-in where the DLL points.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using SetAccessTokenFunction = unsigned char(__stdcall*)(const char*);
using PushNoteFunction = int(__stdcall*)(const char*);

double Now() {
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int main(int argc, char** argv) {
    const int warmRuns = argc > 1 ? std::atoi(argv[1]) : 201;
    HMODULE library = LoadLibraryA("PushNote.dll");
    if (!library) {
        std::fprintf(stderr, "dll_bench: PushNote.dll not found\n");
        return 1;
    }
    auto setAccessToken = reinterpret_cast<SetAccessTokenFunction>(
        reinterpret_cast<void*>(GetProcAddress(library, "SetAccessToken")));
    auto pushNote = reinterpret_cast<PushNoteFunction>(
        reinterpret_cast<void*>(GetProcAddress(library, "PushNote")));
    if (!setAccessToken || !pushNote || !setAccessToken("bench-token")) return 1;

    double start = Now();
    if (pushNote("Benchmark note") != 0) return 1;
    const double first = Now() - start;

    std::vector<double> warm;
    for (int i = 0; i < warmRuns; ++i) {
        start = Now();
        if (pushNote("Benchmark note") != 0) return 1;
        warm.push_back(Now() - start);
    }
    std::sort(warm.begin(), warm.end());
    std::printf("PushNote.dll under Wine (microseconds)\n");
    std::printf("  first call %10.0f\n", first);
    std::printf("  warm       %10.0f (median of %d)\n", warm[warm.size() / 2], warmRuns);
    FreeLibrary(library);
    return 0;
}
