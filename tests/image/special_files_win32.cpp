#include <windows.h>

#include <stdexcept>
#include <utility>

#include "image/special_files.h"

namespace pushnote::testing {

WaitingPipe::WaitingPipe(const ScratchFolder&, const std::string& name)
    : path_("\\\\.\\pipe\\pushnote-" + std::to_string(GetCurrentProcessId()) + "-" + name) {
    HANDLE server = CreateNamedPipeA(path_.c_str(), PIPE_ACCESS_OUTBOUND,
                                     PIPE_TYPE_BYTE | PIPE_WAIT, 1, 0, 0, 0, nullptr);
    if (server == INVALID_HANDLE_VALUE) throw std::runtime_error("CreateNamedPipeA " + path_);
    server_ = reinterpret_cast<std::intptr_t>(server);
}

WaitingPipe::~WaitingPipe() {
    Release();
}

// Closing the pipe's own end breaks it for a waiting reader.
void WaitingPipe::Release() {
    if (server_ != -1) CloseHandle(reinterpret_cast<HANDLE>(std::exchange(server_, -1)));
}

std::string NullDeviceNamedLikeAPng(const ScratchFolder&) {
    return "NUL.png";
}

}  // namespace pushnote::testing
