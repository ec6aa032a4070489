#pragma once

#include <stdexcept>
#include <string>
#include <system_error>

namespace pushnote::command {

// A failure that ends the command: its text is printed after "pushnote: ".
class CommandFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;

    // A result code in words, with the code itself for searching the docs.
    explicit CommandFailure(const std::error_code& result)
        : std::runtime_error(result.message() + " (" + std::to_string(result.value()) + ")") {}
};

}  // namespace pushnote::command
