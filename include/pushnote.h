/*
 * PushNote: post notifications to a notify web API over HTTPS.
 *
 * The text arguments of ordinals 1 to 4 are zero-terminated strings in the
 * system ANSI code page (on Linux: the character set of the process's locale,
 * read from the environment at the first conversion; UTF-8 under the C
 * locale). PushNoteW and PushNoteWithImageW take wide text instead (UTF-16 on
 * Windows, UTF-32 on Linux), which reaches the service as UTF-8 whatever the
 * code page or locale: use them for text that the ANSI code page cannot hold,
 * such as emoji. A null text argument is read as the empty text. Every call is synchronous, runs on
 * the caller's thread and keeps no pointer to its arguments. The token store is process-wide and
 * unlocked: do not overlap calls from several threads.
 */
#ifndef PUSHNOTE_H
#define PUSHNOTE_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#define PUSHNOTE_CALL __stdcall
#if defined(PUSHNOTE_BUILDING_LIBRARY)
#define PUSHNOTE_API
#else
#define PUSHNOTE_API __declspec(dllimport)
#endif
#else
#define PUSHNOTE_CALL
#define PUSHNOTE_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
#define PUSHNOTE_NOEXCEPT noexcept
extern "C" {
#else
#define PUSHNOTE_NOEXCEPT
#endif

/* Result codes: 0 is success, every failure has its own negative value. */
enum {
    PUSHNOTE_OK = 0,
    PUSHNOTE_ERROR_SESSION = -1,     /* the internet session cannot be opened */
    PUSHNOTE_ERROR_CONNECT = -2,     /* the connection to the service host cannot be made */
    PUSHNOTE_ERROR_REQUEST = -3,     /* the POST request cannot be created */
    PUSHNOTE_ERROR_SEND = -4,        /* the request cannot be sent (also: untrusted certificate) */
    PUSHNOTE_ERROR_STATUS_READ = -5, /* the response status cannot be read */
    PUSHNOTE_ERROR_STATUS = -6,      /* the service answered with a status other than 200 */
    PUSHNOTE_ERROR_RESPONSE_READ = -7, /* reading the response body failed */
    PUSHNOTE_ERROR_NO_TOKEN = -10,     /* no access token is set */
    PUSHNOTE_ERROR_TOO_LONG = -20,     /* a text argument is too long for its buffer */
    PUSHNOTE_ERROR_NO_MEMORY = -30,    /* memory cannot be obtained (or the image file is empty) */
    PUSHNOTE_ERROR_IMAGE_TOO_LARGE = -40, /* the image file is 4 GiB or larger */
    PUSHNOTE_ERROR_IMAGE_FILE = -50, /* the image cannot be opened, read in full, or converted */
    PUSHNOTE_ERROR_IMAGE_TYPE = -60  /* the image type is not JPEG, JPG, PNG or GIF */
};

/*
 * Fetches the text at url (no token needed, no proxy, no cache) into buffer,
 * zero-terminated and cut to size - 1 bytes; reading stops once the buffer is
 * full. The HTTP status is not examined. Network failures give 0 and the
 * empty text, or the text received before the failure (or before the body
 * brought less than 1 KiB in a timeout period). url longer than 1023 bytes,
 * size 0 or a null buffer: -20. Memory: -30. Export ordinal 1.
 */
PUSHNOTE_API int32_t PUSHNOTE_CALL HttpReadFile(const char* url, char* buffer,
                                                int32_t size) PUSHNOTE_NOEXCEPT;

/*
 * Stores the bearer token for the senders. Returns 1, or 0 and keeps the
 * previous token when the token is longer than 256 bytes or holds a control
 * byte (below 0x20, or 0x7F). An empty token empties the store. Ordinal 2.
 */
PUSHNOTE_API unsigned char PUSHNOTE_CALL SetAccessToken(const char* token) PUSHNOTE_NOEXCEPT;

/*
 * Posts "message=" + the message in UTF-8 as a form body. The message is NOT
 * percent-encoded: escape "%", "&", "+" and "=" yourself if they must arrive
 * as typed. Limits: 4087 bytes, and 8191 bytes once in UTF-8.
 * Codes: 0, -1 to -7, -10, -20, -30. Export ordinal 3.
 */
PUSHNOTE_API int32_t PUSHNOTE_CALL PushNote(const char* message) PUSHNOTE_NOEXCEPT;

/*
 * Posts the message and the image as multipart/form-data. JPEG and PNG files
 * go as they are; a GIF is first converted to a .jpg file beside it, which
 * stays on disk. Message limit: 3999 bytes. Codes: 0, -1 to -7, -10, -20,
 * -30, -40, -50, -60. Export ordinal 4.
 */
PUSHNOTE_API int32_t PUSHNOTE_CALL PushNoteWithImage(const char* message,
                                                     const char* imagePath) PUSHNOTE_NOEXCEPT;

/*
 * PushNote for wide text: converted straight to UTF-8, an unpaired surrogate
 * becoming U+FFFD. Limits: 4087 wchar_t units, and 8191 bytes once in UTF-8
 * (an emoji takes 4). Codes as PushNote. Export ordinal 5.
 */
PUSHNOTE_API int32_t PUSHNOTE_CALL PushNoteW(const wchar_t* message) PUSHNOTE_NOEXCEPT;

/*
 * PushNoteWithImage for wide text: the message as for PushNoteW (limit 3999
 * wchar_t units); the image path reaches any file name (Windows: the wide file
 * calls; Linux: the path in UTF-8, whatever the locale). A GIF's JPEG is
 * written beside it under the same name. Codes as PushNoteWithImage. Export
 * ordinal 6.
 */
PUSHNOTE_API int32_t PUSHNOTE_CALL PushNoteWithImageW(const wchar_t* message,
                                                      const wchar_t* imagePath) PUSHNOTE_NOEXCEPT;

#ifdef __cplusplus
}
#endif

#endif /* PUSHNOTE_H */
