#include "command_line.h"

#include <CLI/CLI.hpp>
#include <cstdint>
#include <limits>

#include "exit_status.h"
#include "pushnote.hpp"

namespace pushnote::command {
namespace {

constexpr std::size_t kLargestFetch = std::numeric_limits<std::int32_t>::max() - 1;

}  // namespace

std::optional<Request> ParseCommandLine(int argc, char** argv, int& exitStatus) {
    CLI::App app{"Posts notifications to the notify service, and fetches text from a URL.",
                 "pushnote"};
    app.set_version_flag("--version", "pushnote " PUSHNOTE_VERSION);
    app.require_subcommand(1);
    app.failure_message(CLI::FailureMessage::help);

    SendRequest send;
    CLI::App* sendCommand = app.add_subcommand(
        "send",
        "Sends MESSAGE, exactly as typed, as a notification. The access token comes from "
        "--token-file or else from the environment variable PUSHNOTE_TOKEN.");
    sendCommand
        ->add_option("MESSAGE", send.message,
                     "The message; \"-\" reads it from standard input, without its final "
                     "line breaks")
        ->required();
    sendCommand
        ->add_option("--image", send.imagePath,
                     "A JPEG, PNG or GIF file sent with the message (a GIF is first "
                     "converted to a .jpg file beside it)")
        ->type_name("PATH");
    sendCommand
        ->add_option("--token-file", send.tokenFile,
                     "A file holding the access token on its first line")
        ->type_name("FILE");

    FetchRequest fetch{{}, default_fetch_bytes};
    CLI::App* fetchCommand = app.add_subcommand(
        "fetch", "Prints the text at URL; a URL that cannot be read prints nothing.");
    fetchCommand->add_option("URL", fetch.url, "The address, at most 1023 bytes")->required();
    fetchCommand->add_option("--max-bytes", fetch.maxBytes, "Prints at most N bytes")
        ->capture_default_str()
        ->type_name("N")
        ->check(CLI::Range(std::size_t{1}, kLargestFetch));

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error);
        exitStatus = status == 0 ? kSucceeded : kUsageError;
        return std::nullopt;
    }
    if (sendCommand->parsed()) return send;
    return fetch;
}

}  // namespace pushnote::command
