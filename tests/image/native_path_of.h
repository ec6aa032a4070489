#pragma once

#include <string>

#include "image/working_path.h"

namespace pushnote::testing {

// A path the tests hold as ANSI text, in the native form the file layer takes
// (wide on Windows, the same bytes on Linux).
inline std::basic_string<PathChar> NativePathOf(const std::string& path) {
    WorkingPath native;
    native.Assign(path.c_str());
    return native.text;
}

}  // namespace pushnote::testing
