#include "commands.h"

#include <cstdio>
#include <optional>
#include <string>

#include "base/access_token.h"
#include "command_failure.h"
#include "command_text.h"
#include "delivery.h"
#include "fetch/http_read_file.h"
#include "note_file.h"
#include "outbox.h"
#include "pushnote_result_texts.h"
#include "standard_streams.h"
#include "token_file_access.h"
#include "token_source.h"

namespace pushnote::command {
namespace {

std::string InWords(ResultCode result) {
    return std::string(PushNoteResultText(result)) + " (" + std::to_string(result) + ")";
}

// Stores the token for the senders. With no token at all the store stays
// empty, and the senders refuse with -10.
void StoreToken(const std::optional<std::string>& tokenFile) {
    if (tokenFile) RequirePrivateTokenFile(*tokenFile);
    if (const auto token = ReadToken(tokenFile); token && !SetAccessToken(token->c_str())) {
        throw CommandFailure(
            "the access token is refused: it is longer than 256 bytes or holds a control "
            "character");
    }
}

RetrySettings Settings(const RetryOptions& options) {
    return {options.retries, std::chrono::seconds(options.maxWaitSeconds)};
}

Outbox OpenOutbox(const std::optional<std::string>& directory) {
    return Outbox(directory ? PathFromText(*directory) : Outbox::DefaultDirectory());
}

ExitStatus StatusFor(Verdict verdict) {
    switch (verdict) {
        case Verdict::Delivered:
            return kSucceeded;
        case Verdict::TryLater:
            return kTryLater;
        case Verdict::BadInput:
            return kBadInput;
        case Verdict::TokenRefused:
        case Verdict::Refused:
            break;
    }
    return kRefused;
}

// Notes already waiting go first: the new one queues behind them, and a
// flush then takes as many as it can.
void SendBehindWaitingNotes(Outbox& outbox, const Note& note, Deliverer& deliverer) {
    const std::string name = outbox.Queue(note);
    const Outbox::FlushReport report = outbox.Flush(deliverer);
    if (outbox.Holds(name)) {
        throw CommandFailure((report.stopped ? report.reason + "; the" : std::string("the")) +
                                 " note is queued in " + outbox.directory().string() +
                                 " behind earlier notes",
                             report.stoppedBy == Verdict::TokenRefused ? kRefused : kTryLater);
    }
    for (const auto& [settled, verdict] : report.settled) {
        if (settled == name && verdict != Verdict::Delivered) {
            throw CommandFailure("the note was refused for good", StatusFor(verdict));
        }
    }
}

}  // namespace

void RunSend(const SendRequest& request) {
    StoreToken(request.tokenFile);
    Note note;
    note.message =
        request.message == kMessageFromStandardInput ? ReadStandardInput() : request.message;
    note.imagePath = request.imagePath;
    Deliverer deliverer(Settings(request.retry));

    std::optional<Outbox> outbox;
    if (request.useOutbox) {
        // Checked before anything is sent: the copy for the outbox must not
        // block on a FIFO or read a device without end.
        if (note.imagePath) RequireImageFile(*note.imagePath);
        outbox.emplace(OpenOutbox(request.outboxDir));
        if (!outbox->Waiting().empty()) return SendBehindWaitingNotes(*outbox, note, deliverer);
    }
    const Outcome outcome = deliverer.Deliver(note);
    if (outcome.verdict == Verdict::Delivered) return;
    if (outcome.verdict == Verdict::TryLater && outbox) {
        try {
            outbox->Queue(note);
        } catch (const CommandFailure& notQueued) {
            throw CommandFailure(outcome.reason + "; " + notQueued.what(), notQueued.status());
        }
        throw CommandFailure(outcome.reason + "; the note is queued in " +
                                 outbox->directory().string() + " (pushnote flush sends it)",
                             kTryLater);
    }
    throw CommandFailure(outcome.reason, StatusFor(outcome.verdict));
}

void RunFlush(const FlushRequest& request) {
    Outbox outbox = OpenOutbox(request.outboxDir);
    StoreToken(request.tokenFile);
    // Without a token every note would be refused; none of them is at fault.
    if (*AccessToken() == '\0') throw CommandFailure(InWords(PUSHNOTE_ERROR_NO_TOKEN));
    Deliverer deliverer(Settings(request.retry));
    const Outbox::FlushReport report = outbox.Flush(deliverer);
    const std::size_t waiting = outbox.Waiting().size();
    std::printf("%u delivered, %u moved to failed/, %zu waiting\n", report.delivered, report.failed,
                waiting);
    std::fflush(stdout);
    if (report.stopped) {
        throw CommandFailure(report.reason + "; " + std::to_string(waiting) + " notes wait in " +
                                 outbox.directory().string(),
                             StatusFor(report.stoppedBy));
    }
    if (report.failed > 0) {
        throw CommandFailure(std::to_string(report.failed) + " notes were refused for good",
                             kRefused);
    }
}

void RunListOutbox(const OutboxRequest& request) {
    const Outbox outbox = OpenOutbox(request.outboxDir);
    std::string listing;
    for (const Outbox::Entry& entry : outbox.List()) {
        char line[160];
        std::snprintf(line, sizeof line, "%s  %8llds  %10ju bytes  ", entry.name.c_str(),
                      static_cast<long long>(entry.age.count()), entry.bytes);
        listing += line + entry.preview + "\n";
    }
    if (const unsigned failed = outbox.FailedCount()) {
        listing += std::to_string(failed) + " refused for good in " +
                   (outbox.directory() / "failed").string() + "\n";
    }
    WriteStandardOutput(listing);
}

void RunFetch(const FetchRequest& request) {
    constexpr std::size_t kLargestBuffer = INT32_MAX;
    if (request.maxBytes >= kLargestBuffer) throw CommandFailure(InWords(PUSHNOTE_ERROR_TOO_LONG));
    std::string text(request.maxBytes + 1, '\0');
    const ResultCode result =
        HttpReadFile(request.url.c_str(), text.data(), static_cast<std::int32_t>(text.size()),
                     http::PlatformClient());
    if (result) throw CommandFailure(InWords(result));
    text.resize(text.find('\0'));
    WriteStandardOutput(text);
}

}  // namespace pushnote::command
