#pragma once

#include <optional>
#include <random>
#include <string>

#include "answer_recorder.h"
#include "retry_policy.h"

namespace pushnote::command {

// One notification as the command sends or queues it.
struct Note {
    std::string message;  // as typed: escaped for the form body only when sent
    std::optional<std::string> imagePath;
};

struct Outcome {
    Verdict verdict;
    std::string reason;  // for anything but Delivered, in words
};

// Sends notes to the compiled-in service over one keep-alive connection,
// with the token already stored, retrying as the settings allow.
class Deliverer {
public:
    explicit Deliverer(RetrySettings settings);

    // Tries the note until it is delivered, fails for any reason but a
    // passing one, or the retries are used up. Each retry is announced on
    // standard error with its wait.
    Outcome Deliver(const Note& note);

private:
    Outcome TryOnce(const Note& note);

    RetrySettings settings_;
    AnswerRecorder recorder_;
    std::mt19937 random_;
};

}  // namespace pushnote::command
