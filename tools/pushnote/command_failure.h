#pragma once

#include <stdexcept>
#include <string>

#include "exit_status.h"

namespace pushnote::command {

// A failure that ends the command: its text is printed after "pushnote: ",
// and the command exits with its status.
class CommandFailure : public std::runtime_error {
public:
    explicit CommandFailure(const std::string& what, ExitStatus status = kRefused)
        : std::runtime_error(what), status_(status) {}

    ExitStatus status() const noexcept { return status_; }

private:
    ExitStatus status_;
};

}  // namespace pushnote::command
