#pragma once

#include <chrono>
#include <cstdint>
#include <future>
#include <optional>
#include <string>

#include "image/scratch_folder.h"

namespace pushnote::testing {

// A path with an image's name that is no regular file but a pipe nobody
// writes to: a FIFO in the folder on POSIX, a named pipe on Windows. Opening
// or reading it the ordinary way waits for a writer.
class WaitingPipe {
public:
    WaitingPipe(const ScratchFolder& folder, const std::string& name);
    ~WaitingPipe();
    WaitingPipe(const WaitingPipe&) = delete;
    WaitingPipe& operator=(const WaitingPipe&) = delete;

    const std::string& path() const { return path_; }
    // Ends the wait of anyone stuck opening or reading the pipe.
    void Release();

    // call's result, or nothing when it was still waiting after limit (it is
    // then released, so that the test can go on and fail).
    template <typename Call>
    auto ResultWithin(std::chrono::milliseconds limit, Call call)
        -> std::optional<decltype(call())> {
        auto result = std::async(std::launch::async, call);
        if (result.wait_for(limit) == std::future_status::ready) return result.get();
        Release();
        result.wait();
        return std::nullopt;
    }

private:
    std::string path_;
    std::intptr_t server_ = -1;  // the Windows pipe's own end
};

// The null device under a PNG's name: a link to /dev/null in the folder on
// POSIX; on Windows "NUL.png", which names the device whatever the folder.
std::string NullDeviceNamedLikeAPng(const ScratchFolder& folder);

}  // namespace pushnote::testing
