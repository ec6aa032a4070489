#pragma once

#include <string>
#include <string_view>

namespace pushnote::inbox {

// What goes to standard error, one line per event: errors, warnings, then
// each request, note and delivery (info), then more (debug). Lines never
// hold a token, a password or more than the first 40 characters of a message.
enum class LogLevel { Error, Warning, Info, Debug };

void SetLogLevel(LogLevel level);
bool Logging(LogLevel level);
// Writes "TIME LEVEL text" when the level is on; control characters in the
// text become spaces, so that no line can pass for another.
void Log(LogLevel level, std::string_view text);

// The start of a message as a log line may show it: its first 40
// characters, an ellipsis for the rest, in quotes.
std::string MessageExcerpt(std::string_view message);

}  // namespace pushnote::inbox
