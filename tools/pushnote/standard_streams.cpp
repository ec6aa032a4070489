#include "standard_streams.h"

#include <cstdio>
#include <iostream>
#include <iterator>

#include "command_failure.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace pushnote::command {

std::string ReadStandardInput() {
    std::string text{std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>()};
    while (text.ends_with('\n') || text.ends_with('\r')) text.pop_back();
    return text;
}

void WriteStandardOutput(std::string_view bytes) {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() ||
        std::fflush(stdout) != 0) {
        throw CommandFailure("cannot write to standard output");
    }
}

}  // namespace pushnote::command
