#include "lifetime.h"

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

namespace pushnote::inbox {
namespace {

namespace fs = std::filesystem;

bool WritePidFile(const std::string& path) {
    const std::string partial = path + ".partial";
    {
        std::ofstream out(partial, std::ios::trunc);
        out << getpid() << '\n';
        if (!out.flush()) return false;
    }
    std::error_code error;
    fs::rename(partial, path, error);
    return !error;
}

}  // namespace

sigset_t BlockStopSignals() {
    // SIGALRM ends the lifetime.
    sigset_t signals;
    sigemptyset(&signals);
    for (int number : {SIGINT, SIGTERM, SIGHUP, SIGALRM}) sigaddset(&signals, number);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    return signals;
}

void ServeUntilStopped(const std::vector<std::unique_ptr<httplib::Server>>& servers,
                       const Lifetime& lifetime, const sigset_t& signals,
                       const std::string& program, const std::function<void()>& announce,
                       const std::function<void()>& reload) {
    std::vector<std::function<void()>> acceptLoops;
    for (const auto& server : servers) {
        acceptLoops.emplace_back([listening = server.get()] { listening->listen_after_bind(); });
    }
    ServeUntilStopped(acceptLoops, lifetime, signals, program, announce, reload);
}

void ServeUntilStopped(const std::vector<std::function<void()>>& acceptLoops,
                       const Lifetime& lifetime, const sigset_t& signals,
                       const std::string& program, const std::function<void()>& announce,
                       const std::function<void()>& reload) {
    for (const auto& acceptLoop : acceptLoops) std::thread(acceptLoop).detach();

    // From here on the workers may run: the process ends with _Exit. Each
    // note is committed before it is answered, and records are whole files.
    if (!lifetime.pidFile.empty() && !WritePidFile(lifetime.pidFile)) {
        std::fprintf(stderr, "%s: cannot write %s\n", program.c_str(), lifetime.pidFile.c_str());
        std::_Exit(1);
    }
    announce();

    alarm(lifetime.maxSeconds);
    int received = 0;
    while (sigwait(&signals, &received) == 0 && received == SIGHUP && reload) reload();
    if (!lifetime.pidFile.empty()) {
        std::error_code ignored;
        fs::remove(lifetime.pidFile, ignored);
    }
    std::fflush(stdout);
    std::_Exit(0);
}

}  // namespace pushnote::inbox
