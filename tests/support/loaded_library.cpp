#include "support/loaded_library.h"

#include <cstdlib>
#include <stdexcept>

namespace pushnote::testing {

std::string LibraryUnderTest() {
    const char* path = std::getenv("PUSHNOTE_TEST_LIBRARY");
    if (!path || !*path) throw std::runtime_error("PUSHNOTE_TEST_LIBRARY is not set");
    return path;
}

}  // namespace pushnote::testing
