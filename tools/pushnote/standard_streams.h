#pragma once

#include <string>
#include <string_view>

namespace pushnote::command {

// All of standard input, less its final line breaks (as a shell's $(...) does).
std::string ReadStandardInput();

// Writes the bytes to standard output unchanged (no CR added on Windows).
// Throws CommandFailure when they cannot be written.
void WriteStandardOutput(std::string_view bytes);

}  // namespace pushnote::command
