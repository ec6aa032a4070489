/*
 * send_note: sends one text notification through PushNote.
 *
 *     send_note MESSAGE
 *
 * The access token comes from the environment variable PUSHNOTE_TOKEN. The
 * message arrives exactly as typed: "%", "&", "+" and "=" are escaped first.
 *
 * Build it from the folder that holds include/ and lib/, and put the program
 * beside bin/PushNote.dll (or bin/ on the PATH). With MinGW-w64 (the
 * x86_64-w64-mingw32-gcc for the x64 ZIP):
 *     i686-w64-mingw32-gcc -Iinclude examples/send_note.c -Llib -lPushNote -o send_note.exe
 * With MSVC, in a developer prompt for x86 (x64 for the x64 ZIP):
 *     cl /Iinclude examples\send_note.c lib\PushNote.lib
 * On Linux, with the library installed:
 *     cc send_note.c $(pkg-config --cflags --libs pushnote) -o send_note
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "pushnote.h"
#include "pushnote_result_texts.h"

/* The text sender's limit on the message as it goes into the form body. */
#define MESSAGE_CAPACITY 4088

/*
 * Percent-encodes the four characters that change the meaning of a form body.
 * Returns 0 when the escaped text does not fit into capacity bytes.
 */
static int EscapeFormText(const char* text, char* escaped, size_t capacity) {
    static const char hexDigits[] = "0123456789ABCDEF";
    size_t used = 0;
    for (; *text != '\0'; ++text) {
        const unsigned char byte = (unsigned char)*text;
        const int special = strchr("%&+=", byte) != NULL;
        if (used + (special ? 3 : 1) >= capacity) return 0;
        if (special) {
            escaped[used++] = '%';
            escaped[used++] = hexDigits[byte >> 4];
            escaped[used++] = hexDigits[byte & 0x0F];
        } else {
            escaped[used++] = (char)byte;
        }
    }
    escaped[used] = '\0';
    return 1;
}

int main(int argc, char** argv) {
    static char message[MESSAGE_CAPACITY];
    const char* token = getenv("PUSHNOTE_TOKEN");
    int32_t result;

    if (argc != 2 || token == NULL) {
        fprintf(stderr, "usage: send_note MESSAGE (with the token in PUSHNOTE_TOKEN)\n");
        return 2;
    }
    if (!SetAccessToken(token)) {
        fprintf(stderr, "send_note: the access token is refused\n");
        return 1;
    }
    result = EscapeFormText(argv[1], message, sizeof message) ? PushNote(message)
                                                              : PUSHNOTE_ERROR_TOO_LONG;
    if (result != PUSHNOTE_OK) {
        fprintf(stderr, "send_note: %s (%d)\n", PushNoteResultText(result), (int)result);
        return 1;
    }
    puts("send_note: sent");
    return 0;
}
