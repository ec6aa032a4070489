#pragma once

#include <signal.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <httplib.h>

namespace pushnote::inbox {

// How long the process serves, and where it tells its process id.
struct Lifetime {
    std::string pidFile;      // empty: none
    unsigned maxSeconds = 0;  // 0: run until stopped
};

// Blocks the signals that stop the process; called before any thread starts,
// so that every thread inherits the mask and only ServeUntilStopped takes
// them. A client that leaves early no longer ends the process on a write.
sigset_t BlockStopSignals();

// Lets every server accept, writes the PID file, announces, then waits for a
// stop signal or the end of the lifetime and ends the process without
// waiting for the workers: held connections and open pages keep them.
// SIGHUP calls reload, when given, and serves on; without it SIGHUP stops.
[[noreturn]] void ServeUntilStopped(const std::vector<std::unique_ptr<httplib::Server>>& servers,
                                    const Lifetime& lifetime, const sigset_t& signals,
                                    const std::string& program,
                                    const std::function<void()>& announce,
                                    const std::function<void()>& reload = {});

// The same for servers that run accept loops of their own: each loop runs on
// a thread of its own.
[[noreturn]] void ServeUntilStopped(const std::vector<std::function<void()>>& acceptLoops,
                                    const Lifetime& lifetime, const sigset_t& signals,
                                    const std::string& program,
                                    const std::function<void()>& announce,
                                    const std::function<void()>& reload = {});

}  // namespace pushnote::inbox
