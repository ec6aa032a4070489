#pragma once

#include <string>
#include <string_view>

namespace pushnote::command {

// The message made safe for the text sender's form body, exactly as the C++
// layer of the public header escapes it for PushNote.
std::string EscapeFormText(std::string_view message);

}  // namespace pushnote::command
