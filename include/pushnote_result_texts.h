/*
 * PushNote: the result codes in words, for C and C++ hosts alike.
 *
 * The one table of texts: the pushnote command, pushnote.hpp, the VBA module
 * and the reference documentation all take their wording from here. The build
 * reads this file (cmake/ResultTexts.cmake): keep each entry in the form
 * ENTRY(CONSTANT, "text"), with no double quote inside the text.
 */
#ifndef PUSHNOTE_RESULT_TEXTS_H
#define PUSHNOTE_RESULT_TEXTS_H

#include "pushnote.h"

/* ENTRY(constant, text) for every result code, success first. */
/* clang-format off */
#define PUSHNOTE_RESULT_TEXTS(ENTRY) \
    ENTRY(PUSHNOTE_OK, "success") \
    ENTRY(PUSHNOTE_ERROR_SESSION, "the internet session cannot be opened") \
    ENTRY(PUSHNOTE_ERROR_CONNECT, "the connection to the service host cannot be made") \
    ENTRY(PUSHNOTE_ERROR_REQUEST, "the POST request cannot be created") \
    ENTRY(PUSHNOTE_ERROR_SEND, "the request cannot be sent: host unreachable, timeout, or a certificate that is expired, untrusted or for another host") \
    ENTRY(PUSHNOTE_ERROR_STATUS_READ, "the response status cannot be read") \
    ENTRY(PUSHNOTE_ERROR_STATUS, "the service answered with a status other than 200") \
    ENTRY(PUSHNOTE_ERROR_RESPONSE_READ, "reading the response body failed") \
    ENTRY(PUSHNOTE_ERROR_NO_TOKEN, "no access token is set") \
    ENTRY(PUSHNOTE_ERROR_TOO_LONG, "a text argument is too long for its buffer") \
    ENTRY(PUSHNOTE_ERROR_NO_MEMORY, "memory cannot be obtained or the image file is empty") \
    ENTRY(PUSHNOTE_ERROR_IMAGE_TOO_LARGE, "the image file is 4 GiB or larger") \
    ENTRY(PUSHNOTE_ERROR_IMAGE_FILE, "the image file cannot be opened, read in full or converted") \
    ENTRY(PUSHNOTE_ERROR_IMAGE_TYPE, "the image type is not JPEG, JPG, PNG or GIF")
/* clang-format on */

#define PUSHNOTE_UNKNOWN_RESULT_TEXT "unknown result code"

#define PUSHNOTE_RESULT_TEXT_CASE(constant, text) \
    case constant:                                \
        return text;

/* The words for a result code; PUSHNOTE_UNKNOWN_RESULT_TEXT for any other value. */
static inline const char* PushNoteResultText(int32_t code) {
    switch (code) {
        PUSHNOTE_RESULT_TEXTS(PUSHNOTE_RESULT_TEXT_CASE)
        default:
            return PUSHNOTE_UNKNOWN_RESULT_TEXT;
    }
}

#undef PUSHNOTE_RESULT_TEXT_CASE

#endif /* PUSHNOTE_RESULT_TEXTS_H */
