#pragma once

#include <string>

namespace pushnote::testing {

// The library under test, loaded at run time the way hosts load it.
class LoadedLibrary {
public:
    explicit LoadedLibrary(const std::string& path);
    ~LoadedLibrary();
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;

    bool Loaded() const { return handle_ != nullptr; }
    void* Find(const char* name) const;
    // Null where the platform has no export ordinals.
    void* FindByOrdinal(int ordinal) const;

private:
    void* handle_;
};

// PUSHNOTE_TEST_LIBRARY, set by the build for the tests.
std::string LibraryUnderTest();

}  // namespace pushnote::testing
