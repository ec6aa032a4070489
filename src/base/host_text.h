#pragma once

#include <variant>

namespace pushnote {

// Text as an export received it: ANSI bytes (PushNote, PushNoteWithImage) or
// wide characters (PushNoteW, PushNoteWithImageW). Each is turned into what
// the rest of the road takes (UTF-8, a native path) as early as its own
// limits allow.
using HostText = std::variant<const char*, const wchar_t*>;

}  // namespace pushnote
