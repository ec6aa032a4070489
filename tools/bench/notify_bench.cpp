// Prints how long one text notification takes on loopback through
// libpushnote.so, against libcurl and the curl command line doing the same
// POST. Needs the service stand-in listening where the library points.
#include <curl/curl.h>
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

#include "frame/service_config.h"
#include "pushnote.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr const char* kToken = "bench-token";
constexpr const char* kMessage = "Benchmark note";

double MicrosecondsOf(const std::function<bool()>& action) {
    const auto start = Clock::now();
    if (!action()) {
        std::fprintf(stderr, "notify_bench: a notification failed\n");
        std::exit(1);
    }
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

bool SendThroughLibrary() {
    return PushNote(kMessage) == PUSHNOTE_OK;
}
bool SendWithFreshCurlHandle() {
    return CurlPost().Perform();
}

// The first call of a new process, so that every sample pays the handshakes.
double FirstCallInChildProcess(bool (*send)()) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) std::exit(1);
    const pid_t child = fork();
    if (child == 0) {
        SetAccessToken(kToken);
        const double micros = MicrosecondsOf(send);
        if (write(pipeEnds[1], &micros, sizeof micros) != sizeof micros) _exit(1);
        _exit(0);
    }
    double micros = 0;
    const bool received = read(pipeEnds[0], &micros, sizeof micros) == sizeof micros;
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!received || status != 0) std::exit(1);
    return micros;
}

double CurlCommandLine() {
    const std::string command =
        std::string("curl -sf -o /dev/null -A PushNote") +
        (*pushnote::config::kCaBundle ? std::string(" --cacert ") + pushnote::config::kCaBundle
                                      : "") +
        " -H 'Content-Type: application/x-www-form-urlencoded' -H 'Authorization: Bearer " +
        kToken + "' --data-binary 'message=" + kMessage + "' " + ServiceUrl();
    return MicrosecondsOf([&] { return std::system(command.c_str()) == 0; });
}

// Alternates the two measures, so that drift in the machine's load touches both alike.
template <typename First, typename Second>
std::pair<double, double> InterleavedMedians(int count, First first, Second second) {
    std::vector<double> firstSamples, secondSamples;
    for (int i = 0; i < count; ++i) {
        firstSamples.push_back(first());
        secondSamples.push_back(second());
    }
    return {Median(firstSamples), Median(secondSamples)};
}

}  // namespace

int main(int argc, char** argv) {
    const int coldRuns = argc > 1 ? std::atoi(argv[1]) : 21;
    const int warmRuns = argc > 2 ? std::atoi(argv[2]) : 501;

    const auto [firstLibrary, firstCurl] = InterleavedMedians(
        coldRuns, [] { return FirstCallInChildProcess(&SendThroughLibrary); },
        [] { return FirstCallInChildProcess(&SendWithFreshCurlHandle); });
    std::vector<double> commandLineSamples;
    for (int i = 0; i < coldRuns; ++i) commandLineSamples.push_back(CurlCommandLine());
    const double commandLine = Median(commandLineSamples);

    SetAccessToken(kToken);
    CurlPost reused;
    if (!SendThroughLibrary() || !reused.Perform()) return 1;
    const auto [warmLibrary, warmCurl] = InterleavedMedians(
        warmRuns, [] { return MicrosecondsOf(SendThroughLibrary); },
        [&] { return MicrosecondsOf([&] { return reused.Perform(); }); });

    std::printf("One text notification on loopback (median, microseconds)\n");
    std::printf("  PushNote, first call of a process   %10.0f\n", firstLibrary);
    std::printf("  libcurl, fresh handle, same POST    %10.0f   ratio %.2f\n", firstCurl,
                firstLibrary / firstCurl);
    std::printf(
        "  curl command line, one process each %10.0f   ratio %.2f (command / PushNote first)\n",
        commandLine, commandLine / firstLibrary);
    std::printf("  PushNote, warm                      %10.0f\n", warmLibrary);
    std::printf("  libcurl, one reused handle          %10.0f   ratio %.2f\n", warmCurl,
                warmLibrary / warmCurl);
    return 0;
}
