// The exported C interface: compiled-in service, platform HTTP client.
#include "base/access_token.h"
#include "exports/service_config.h"
#include "fetch/http_read_file.h"
#include "notify/push_note.h"
#include "notify/push_note_with_image.h"
#include "pushnote.h"

extern "C" {

PUSHNOTE_API int32_t PUSHNOTE_CALL HttpReadFile(const char* url, char* buffer,
                                                int32_t size) noexcept {
    return pushnote::HttpReadFile(url, buffer, size, pushnote::http::PlatformClient());
}

PUSHNOTE_API unsigned char PUSHNOTE_CALL SetAccessToken(const char* token) noexcept {
    return pushnote::SetAccessToken(token) ? 1 : 0;
}

PUSHNOTE_API int32_t PUSHNOTE_CALL PushNote(const char* message) noexcept {
    return pushnote::PushNote(message, pushnote::config::kService,
                              pushnote::http::PlatformClient());
}

PUSHNOTE_API int32_t PUSHNOTE_CALL PushNoteWithImage(const char* message,
                                                     const char* imagePath) noexcept {
    return pushnote::PushNoteWithImage(message, imagePath, pushnote::config::kService,
                                       pushnote::http::PlatformClient());
}

PUSHNOTE_API int32_t PUSHNOTE_CALL PushNoteW(const wchar_t* message) noexcept {
    return pushnote::PushNoteW(message, pushnote::config::kService,
                               pushnote::http::PlatformClient());
}

PUSHNOTE_API int32_t PUSHNOTE_CALL PushNoteWithImageW(const wchar_t* message,
                                                      const wchar_t* imagePath) noexcept {
    return pushnote::PushNoteWithImageW(message, imagePath, pushnote::config::kService,
                                        pushnote::http::PlatformClient());
}

}  // extern "C"
