// Prints the text-note rows of the comparison on loopback, each against what
// a user would take instead:
//  - a warm PushNote against libcurl reusing one handle, in this process;
//  - the first note of a fresh process, from loading the library, against
//    curl_global_init and a fresh easy handle (both timed by startup_probe);
//  - the pushnote command per note against the curl command, whole processes.
// Needs the service stand-in listening where the library points.
// Usage: notify_bench STARTUP_PROBE LIBRARY PUSHNOTE_COMMAND [RUNS]
#include <curl/curl.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "exports/service_config.h"
#include "pushnote.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr const char* kToken = "bench-token";
constexpr const char* kMessage = "Benchmark note";
constexpr int kWarmRuns = 501;

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "notify_bench: %s failed\n", what);
    std::exit(1);
}

double MicrosecondsOf(const std::function<bool()>& action, const char* what) {
    const auto start = Clock::now();
    if (!action()) Fail(what);
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

double Median(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

std::string ServiceUrl() {
    return "https://" + std::string(pushnote::config::kServiceHost) + ":" +
           std::to_string(pushnote::config::kServicePort) + "/api/notify";
}

struct CurlPost {
    CURL* handle = curl_easy_init();
    curl_slist* headers = nullptr;
    std::string body = std::string("message=") + kMessage;

    CurlPost() {
        headers = curl_slist_append(headers, "Content-Type: application/x-www-form-urlencoded");
        headers =
            curl_slist_append(headers, (std::string("Authorization: Bearer ") + kToken).c_str());
        const std::string url = ServiceUrl();
        curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
        curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(handle, CURLOPT_POSTFIELDS, body.c_str());
        curl_easy_setopt(handle, CURLOPT_USERAGENT, "PushNote");
        if (*pushnote::config::kCaBundle) {
            curl_easy_setopt(handle, CURLOPT_CAINFO, pushnote::config::kCaBundle);
        }
        curl_easy_setopt(
            handle, CURLOPT_WRITEFUNCTION,
            +[](char*, std::size_t size, std::size_t count, void*) { return size * count; });
    }
    ~CurlPost() {
        curl_slist_free_all(headers);
        curl_easy_cleanup(handle);
    }
    bool Perform() {
        long status = 0;
        return curl_easy_perform(handle) == CURLE_OK &&
               curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK &&
               status == 200;
    }
};

// Runs a program to its end, its output kept (when wanted) or discarded.
bool Run(const std::vector<std::string>& arguments, std::string* output = nullptr) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t child = 0;
    const bool spawned =
        posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    char chunk[256];
    for (ssize_t got; (got = read(pipeEnds[0], chunk, sizeof chunk)) > 0;) {
        if (output) output->append(chunk, static_cast<std::size_t>(got));
    }
    close(pipeEnds[0]);
    int status = 0;
    return spawned && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

// startup_probe prints the load and the whole, in microseconds.
std::pair<double, double> Probe(const std::vector<std::string>& arguments) {
    std::string output;
    std::pair<double, double> figures;
    if (!Run(arguments, &output) ||
        std::sscanf(output.c_str(), "%lf %lf", &figures.first, &figures.second) != 2) {
        Fail("startup_probe");
    }
    return figures;
}

void PrintRow(const char* measure, double ours, const char* anchor, double theirs, const char* unit,
              const char* goal) {
    std::printf("%-44s %9.0f %-3s %-38s %9.0f %-3s %6.2f   %s\n", measure, ours, unit, anchor,
                theirs, unit, ours / theirs, goal);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: notify_bench STARTUP_PROBE LIBRARY PUSHNOTE_COMMAND [RUNS]\n");
        return 2;
    }
    const std::string probe = argv[1];
    const std::string library = argv[2];
    const std::string command = argv[3];
    const int runs = argc > 4 ? std::max(1, std::atoi(argv[4])) : 41;
    setenv("PUSHNOTE_TOKEN", kToken, 1);

    // Alternated, so that drift in the machine's load touches both sides alike.
    std::vector<double> oursLoad, oursFirst, curlFirst, oursCommand, curlCommand;
    const std::vector<std::string> curlCommandLine = {
        "curl",
        "-sf",
        "-o",
        "/dev/null",
        "-A",
        "PushNote",
        "--cacert",
        *pushnote::config::kCaBundle ? pushnote::config::kCaBundle
                                     : "/etc/ssl/certs/ca-certificates.crt",
        "-H",
        std::string("Authorization: Bearer ") + kToken,
        "-d",
        std::string("message=") + kMessage,
        ServiceUrl()};
    for (int i = 0; i < runs; ++i) {
        const auto [load, whole] = Probe({probe, "pushnote", library});
        oursLoad.push_back(load);
        oursFirst.push_back(whole);
        curlFirst.push_back(
            Probe({probe, "curl", "libcurl.so.4", ServiceUrl(), pushnote::config::kCaBundle})
                .second);
        oursCommand.push_back(MicrosecondsOf(
            [&] {
                return Run({command, "send", kMessage});
            },
            "pushnote send"));
        curlCommand.push_back(MicrosecondsOf([&] { return Run(curlCommandLine); }, "curl -d"));
    }

    SetAccessToken(kToken);
    CurlPost reused;
    if (PushNote(kMessage) != PUSHNOTE_OK || !reused.Perform()) Fail("a warm-up note");
    std::vector<double> warmOurs, warmCurl;
    for (int i = 0; i < kWarmRuns; ++i) {
        warmOurs.push_back(
            MicrosecondsOf([] { return PushNote(kMessage) == PUSHNOTE_OK; }, "PushNote"));
        warmCurl.push_back(MicrosecondsOf([&] { return reused.Perform(); }, "libcurl"));
    }

    PrintRow("warm PushNote, Linux", Median(warmOurs), "libcurl reusing one handle",
             Median(warmCurl), "us", "<= 1.0");
    PrintRow("first note of a fresh process, from loading", Median(oursFirst),
             "curl_global_init + fresh easy handle", Median(curlFirst), "us", "<= 1.1");
    std::printf("%-44s %9.0f us (loading libpushnote.so and what it needs)\n", "  of which loading",
                Median(oursLoad));
    PrintRow("pushnote send per note, whole process", Median(oursCommand), "curl -d per note",
             Median(curlCommand), "us", "<= 0.9");
    return 0;
}
