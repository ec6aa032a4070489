#pragma once

#include <string>

#include "pushnote.h"

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
    // The export as a pointer of its own type, e.g. Find<PushNoteFunction>("PushNote").
    template <typename Function>
    Function Find(const char* name) const {
        return reinterpret_cast<Function>(Find(name));
    }
    // Null where the platform has no export ordinals.
    void* FindByOrdinal(int ordinal) const;

private:
    void* handle_;
};

// The exports' types, in the calling convention hosts use.
using HttpReadFileFunction = int32_t(PUSHNOTE_CALL*)(const char*, char*, int32_t);
using SetAccessTokenFunction = unsigned char(PUSHNOTE_CALL*)(const char*);
using PushNoteFunction = int32_t(PUSHNOTE_CALL*)(const char*);
using PushNoteWithImageFunction = int32_t(PUSHNOTE_CALL*)(const char*, const char*);
using PushNoteWFunction = int32_t(PUSHNOTE_CALL*)(const wchar_t*);
using PushNoteWithImageWFunction = int32_t(PUSHNOTE_CALL*)(const wchar_t*, const wchar_t*);

// PUSHNOTE_TEST_LIBRARY, set by the build for the tests.
std::string LibraryUnderTest();

}  // namespace pushnote::testing
