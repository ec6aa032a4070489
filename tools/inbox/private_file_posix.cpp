#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "private_file.h"

namespace pushnote::inbox {
namespace {

constexpr off_t kMaxBytes = 1024 * 1024;

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

}  // namespace

std::string ReadPrivateFile(const std::filesystem::path& file) {
    const std::string name = file.string();
    // The mode is checked on the file opened, not on a name that may change.
    // Not blocking: a FIFO in its place would hold the start until a writer came.
    const Descriptor fd(open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd.get() < 0) throw std::runtime_error(name + ": " + std::strerror(errno));
    struct stat status {};
    if (fstat(fd.get(), &status) != 0) throw std::runtime_error(name + ": " + std::strerror(errno));
    if (!S_ISREG(status.st_mode)) throw std::runtime_error(name + ": not a regular file");
    if ((status.st_mode & (S_IROTH | S_IWOTH)) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(status.st_mode & 07777));
        throw std::runtime_error(name + ": others may read or write it (mode " + mode +
                                 "), and it may hold secrets: chmod o-rw " + name);
    }
    if (status.st_size > kMaxBytes) throw std::runtime_error(name + ": larger than 1 MiB");
    std::string text;
    char buffer[8192];
    for (;;) {
        const ssize_t got = read(fd.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) throw std::runtime_error(name + ": " + std::strerror(errno));
        if (got == 0) break;
        text.append(buffer, static_cast<std::size_t>(got));
        if (text.size() > static_cast<std::size_t>(kMaxBytes)) {
            throw std::runtime_error(name + ": larger than 1 MiB");
        }
    }
    return text;
}

}  // namespace pushnote::inbox
