#include "command_line.h"

#include <CLI/CLI.hpp>
#include <cstdint>
#include <limits>

#include "exit_status.h"
#include "pushnote.hpp"

namespace pushnote::command {
namespace {

constexpr std::size_t kLargestFetch = std::numeric_limits<std::int32_t>::max() - 1;
constexpr unsigned kMostRetries = 100;
constexpr unsigned kLongestWait = 24 * 60 * 60;

constexpr const char* kExitStatusHelp = R"(Exit status:
  0   delivered (flush: nothing is left waiting)
  1   refused for good: no token or a refused one (401, 403), any other
      answer but 200 that is not 429 or 5xx, or a token file open to others
  2   usage error
  65  the note itself cannot be sent: message too long, image unreadable,
      empty, too large or of another type
  73  failed for now, and the outbox could not take the note (a full disk, a
      folder that cannot be written): nothing is queued
  75  try again later: no connection, timeout, 429 or 5xx after the retries;
      with the outbox, the note is queued there
Environment: PUSHNOTE_TOKEN (the token when --token-file is not given),
PUSHNOTE_OUTBOX=1 (as --outbox), PUSHNOTE_OUTBOX_DIR (as --outbox-dir).)";

constexpr const char* kOutboxHelp =
    "The outbox folder (default: pushnote/outbox in $XDG_STATE_HOME, ~/.local/state, or "
    "%LOCALAPPDATA% on Windows)";

void AddTokenFile(CLI::App& command, std::optional<std::string>& tokenFile) {
    command
        .add_option("--token-file", tokenFile,
                    "A file holding the access token on its first line; it must not be open "
                    "to others (chmod 600)")
        ->type_name("FILE");
}

void AddRetryOptions(CLI::App& command, RetryOptions& retry) {
    command
        .add_option("--retry", retry.retries,
                    "Tries a note N more times when it fails for now (no connection, timeout, "
                    "429, 5xx), waiting as the service's Retry-After says or else 1 s, 2 s, "
                    "4 s... with jitter")
        ->capture_default_str()
        ->type_name("N")
        ->check(CLI::Range(0u, kMostRetries));
    command
        .add_option("--retry-max-time", retry.maxWaitSeconds,
                    "The longest wait before one retry, in seconds")
        ->capture_default_str()
        ->type_name("SECONDS")
        ->check(CLI::Range(0u, kLongestWait));
}

void AddOutboxDir(CLI::App& command, std::optional<std::string>& outboxDir) {
    command.add_option("--outbox-dir", outboxDir, kOutboxHelp)
        ->envname("PUSHNOTE_OUTBOX_DIR")
        ->type_name("DIR");
}

}  // namespace

std::optional<Request> ParseCommandLine(int argc, char** argv, int& exitStatus) {
    CLI::App app{"Posts notifications to the notify service, and fetches text from a URL.",
                 "pushnote"};
    app.set_version_flag("--version", "pushnote " PUSHNOTE_VERSION);
    app.require_subcommand(1);
    app.failure_message(CLI::FailureMessage::help);
    app.footer(kExitStatusHelp);

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
    AddTokenFile(*sendCommand, send.tokenFile);
    AddRetryOptions(*sendCommand, send.retry);
    sendCommand
        ->add_flag("--outbox", send.useOutbox,
                   "Queues a note that fails for now in the outbox (exit status 75) for "
                   "`pushnote flush`; while notes wait there, a new one queues behind them")
        ->envname("PUSHNOTE_OUTBOX");
    AddOutboxDir(*sendCommand, send.outboxDir);
    sendCommand->footer(kExitStatusHelp);

    FlushRequest flush;
    CLI::App* flushCommand = app.add_subcommand(
        "flush",
        "Delivers the notes waiting in the outbox, oldest first. A note leaves the outbox only "
        "once the service has answered 200; one refused for good moves to failed/ with the "
        "reason. Stops at the first note that fails for now. Delivery is at least once: a 200 "
        "lost on its way back sends that note again.");
    AddTokenFile(*flushCommand, flush.tokenFile);
    AddRetryOptions(*flushCommand, flush.retry);
    AddOutboxDir(*flushCommand, flush.outboxDir);
    flushCommand->footer(kExitStatusHelp);

    OutboxRequest outbox;
    CLI::App* outboxCommand = app.add_subcommand(
        "outbox", "Lists the notes waiting in the outbox, oldest first, with age and size.");
    AddOutboxDir(*outboxCommand, outbox.outboxDir);

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
    if (flushCommand->parsed()) return flush;
    if (outboxCommand->parsed()) return outbox;
    return fetch;
}

}  // namespace pushnote::command
