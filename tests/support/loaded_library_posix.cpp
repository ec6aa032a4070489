#include <dlfcn.h>

#include "support/loaded_library.h"

namespace pushnote::testing {

LoadedLibrary::LoadedLibrary(const std::string& path)
    : handle_(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {}

LoadedLibrary::~LoadedLibrary() {
    if (handle_) dlclose(handle_);
}

void* LoadedLibrary::Find(const char* name) const {
    return dlsym(handle_, name);
}

void* LoadedLibrary::FindByOrdinal(int) const {
    return nullptr;
}

}  // namespace pushnote::testing
