#pragma once

#include "support/loaded_library.h"

namespace pushnote::testing {

// The library under test, loaded once for the whole test program, with its
// four exports found by name.
struct LibraryExports {
    LibraryExports()
        : library(LibraryUnderTest()),
          httpReadFile(library.Find<HttpReadFileFunction>("HttpReadFile")),
          setAccessToken(library.Find<SetAccessTokenFunction>("SetAccessToken")),
          pushNote(library.Find<PushNoteFunction>("PushNote")),
          pushNoteWithImage(library.Find<PushNoteWithImageFunction>("PushNoteWithImage")) {}

    bool Complete() const {
        return library.Loaded() && httpReadFile && setAccessToken && pushNote && pushNoteWithImage;
    }

    LoadedLibrary library;
    HttpReadFileFunction httpReadFile;
    SetAccessTokenFunction setAccessToken;
    PushNoteFunction pushNote;
    PushNoteWithImageFunction pushNoteWithImage;
};

inline const LibraryExports& Library() {
    static const LibraryExports exports;
    return exports;
}

}  // namespace pushnote::testing
