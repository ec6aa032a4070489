#include "delivery.h"

#include <algorithm>
#include <cstdio>
#include <thread>

#include "command_text.h"
#include "exports/service_config.h"
#include "form_text.h"
#include "pushnote_result_texts.h"

namespace pushnote::command {
namespace {

using namespace std::chrono;

std::string Describe(ResultCode result, std::optional<std::uint32_t> status) {
    std::string text = PushNoteResultText(result);
    if (result == PUSHNOTE_ERROR_STATUS && status) {
        text = "the service answered with status " + std::to_string(*status);
    }
    return text + " (" + std::to_string(result) + ")";
}

}  // namespace

Deliverer::Deliverer(RetrySettings settings)
    : settings_(settings), recorder_(http::PlatformClient()), random_(std::random_device{}()) {}

Outcome Deliverer::TryOnce(const Note& note) {
    recorder_.Reset();
    const ResultCode result =
        note.imagePath ? SendWithImage(note.message, *note.imagePath, config::kService, recorder_)
                       : SendFormText(EscapeFormText(note.message), config::kService, recorder_);
    return {Classify(result, recorder_.status()), Describe(result, recorder_.status())};
}

Outcome Deliverer::Deliver(const Note& note) {
    for (unsigned attempt = 0;; ++attempt) {
        Outcome outcome = TryOnce(note);
        if (outcome.verdict != Verdict::TryLater || attempt == settings_.retries) return outcome;
        milliseconds wait = Backoff(attempt, std::uniform_real_distribution<>(0, 1)(random_));
        if (const auto asked = ParseRetryAfter(recorder_.retryAfter(), system_clock::now())) {
            wait = *asked;
        }
        wait = std::min<milliseconds>(wait, settings_.maxWait);
        std::fprintf(stderr, "pushnote: %s; trying again in %.1f s (retry %u of %u)\n",
                     outcome.reason.c_str(), duration<double>(wait).count(), attempt + 1,
                     settings_.retries);
        std::this_thread::sleep_for(wait);
    }
}

}  // namespace pushnote::command
