#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <stdexcept>

#include "image/special_files.h"

namespace pushnote::testing {

WaitingPipe::WaitingPipe(const ScratchFolder& folder, const std::string& name)
    : path_(folder.PathOf(name)) {
    if (mkfifo(path_.c_str(), 0600) != 0) throw std::runtime_error("mkfifo " + path_);
}

WaitingPipe::~WaitingPipe() {
    unlink(path_.c_str());
}

// A writer that comes and goes: a waiting opener gets in, a reader sees the end.
void WaitingPipe::Release() {
    const int writer = open(path_.c_str(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0) close(writer);
}

std::string NullDeviceNamedLikeAPng(const ScratchFolder& folder) {
    const std::string path = folder.PathOf("null.png");
    if (symlink("/dev/null", path.c_str()) != 0) throw std::runtime_error("symlink " + path);
    return path;
}

}  // namespace pushnote::testing
