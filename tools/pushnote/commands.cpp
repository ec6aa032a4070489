#include "commands.h"

#include "command_failure.h"
#include "pushnote.hpp"
#include "standard_streams.h"
#include "token_source.h"

namespace pushnote::command {

void RunSend(const SendRequest& request) {
    // With no token at all the store stays empty and the library answers -10.
    if (const auto token = ReadToken(request.tokenFile); token && !set_token(*token)) {
        throw CommandFailure(
            "the access token is refused: it is longer than 256 bytes or holds a control "
            "character");
    }
    const std::string message =
        request.message == kMessageFromStandardInput ? ReadStandardInput() : request.message;
    // A multipart message goes as it is; only a form body needs escaping.
    const std::error_code result =
        request.imagePath ? send(message, *request.imagePath) : send(message);
    if (result) throw CommandFailure(result);
}

void RunFetch(const FetchRequest& request) {
    std::error_code result;
    const std::string text = fetch(request.url, result, request.maxBytes);
    if (result) throw CommandFailure(result);
    WriteStandardOutput(text);
}

}  // namespace pushnote::command
