#include "token_source.h"

#include <cstdlib>
#include <fstream>
#include <string_view>

#include "command_failure.h"
#include "command_text.h"

namespace pushnote::command {

std::optional<std::string> ReadToken(const std::optional<std::string>& tokenFile) {
    if (tokenFile) {
        std::ifstream file(PathFromText(*tokenFile), std::ios::binary);
        std::string token;
        // A file that ends without a line break still gives its one line.
        if (!file || (!std::getline(file, token) && !file.eof())) {
            throw CommandFailure("cannot read the token file " + *tokenFile);
        }
        if (token.ends_with('\r')) token.pop_back();
        return token;
    }
    if (const char* value = std::getenv(kTokenVariable)) return std::string(value);
    return std::nullopt;
}

}  // namespace pushnote::command
