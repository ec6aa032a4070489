#pragma once

#include <cstdint>

namespace pushnote {

using ResultCode = std::int32_t;

// A sender's failure, raised as its result code and caught once at the end of
// the sender; RAII owners release what was obtained on the way out.
struct Failure {
    ResultCode code;
};

[[noreturn]] inline void Raise(ResultCode code) {
    throw Failure{code};
}

// Runs a sender body and turns a raised failure into its result code.
template <typename Body>
ResultCode CatchFailure(Body&& body) noexcept {
    try {
        return body();
    } catch (const Failure& failure) {
        return failure.code;
    } catch (...) {
        // Only allocation inside the standard library can throw anything else.
        return -30;
    }
}

}  // namespace pushnote
