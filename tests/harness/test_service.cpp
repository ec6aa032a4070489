// pushnote-test-service: the notify service of the wire tests. The inbox's
// listeners and lifetime, serving the test routes: token directives, faults,
// redirects, retries, with every request recorded before it is answered.
#include <cstdio>
#include <memory>
#include <vector>

#include <httplib.h>

#include "lifetime.h"
#include "listener.h"
#include "recorder.h"
#include "routes.h"
#include "test_service_options.h"

namespace {

using namespace pushnote;

constexpr const char* kProgram = "pushnote-test-service";
// bench/compare.sh sends a 100 MiB image through it; the wire tests send far less.
constexpr std::uint64_t kMaxBodyBytes = 128 * 1024 * 1024;

[[noreturn]] void Serve(const test_service::Options& options, const sigset_t& signals) {
    stand_in::Recorder recorder(options.recordDir, false);
    const inbox::ServerSettings settings{kProgram, options.listen, false, kMaxBodyBytes};
    const auto installRoutes = [&recorder](httplib::Server& server) {
        stand_in::InstallRoutes(server, recorder);
    };
    std::vector<std::unique_ptr<httplib::Server>> servers;
    servers.push_back(inbox::OpenListener(settings, options.service, installRoutes));
    if (options.expired) {
        servers.push_back(inbox::OpenListener(settings, *options.expired, installRoutes));
    }
    inbox::ServeUntilStopped(servers, options.lifetime, signals, kProgram, [&options] {
        std::printf("%s: listening on %s:%u\n", kProgram, options.listen.c_str(),
                    static_cast<unsigned>(options.service.port));
        std::fflush(stdout);
    });
}

}  // namespace

int main(int argc, char** argv) {
    int exitCode = 0;
    const std::optional<test_service::Options> options =
        test_service::ParseOptions(argc, argv, exitCode);
    if (!options) return exitCode;

    const sigset_t signals = inbox::BlockStopSignals();
    try {
        Serve(*options, signals);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", kProgram, e.what());
        return 1;
    }
}
