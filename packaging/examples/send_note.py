"""send_note.py: sends one text notification through PushNote, with ctypes.

    python send_note.py MESSAGE

The access token comes from the environment variable PUSHNOTE_TOKEN. The
message arrives exactly as typed: "%", "&", "+" and "=" are escaped first, and
it goes through PushNoteW as wide text, so that every character arrives (an
emoji, or Japanese on a Western Windows), whatever the code page or locale.

The library: on Windows PushNote.dll from the ZIP's bin folder (this file is in
its examples folder), whose bitness must match Python's; on Linux the installed
libpushnote.so.1. PUSHNOTE_LIBRARY, if set, names another file.
"""
import ctypes
import locale
import os
import sys

PUSHNOTE_OK = 0


def load_pushnote(path=None):
    """The library, with the argument and result types of its functions."""
    path = path or os.environ.get("PUSHNOTE_LIBRARY")
    if sys.platform == "win32":
        # __stdcall functions. Python looks for a DLL named without a folder
        # only beside python.exe and in the system folders: give the path.
        here = os.path.dirname(os.path.abspath(__file__))
        library = ctypes.WinDLL(path or os.path.join(here, "..", "bin", "PushNote.dll"))
    else:
        library = ctypes.CDLL(path or "libpushnote.so.1")
    text = ctypes.c_char_p
    wide_text = ctypes.c_wchar_p
    library.SetAccessToken.argtypes = [text]
    library.SetAccessToken.restype = ctypes.c_ubyte
    # Wide text: any character, whatever the code page. PushNote and
    # PushNoteWithImage take text in the ANSI code page, for old code.
    library.PushNoteW.argtypes = [wide_text]
    library.PushNoteW.restype = ctypes.c_int32
    library.PushNoteWithImageW.argtypes = [wide_text, wide_text]
    library.PushNoteWithImageW.restype = ctypes.c_int32
    library.PushNote.argtypes = [text]
    library.PushNote.restype = ctypes.c_int32
    library.PushNoteWithImage.argtypes = [text, text]
    library.PushNoteWithImage.restype = ctypes.c_int32
    library.HttpReadFile.argtypes = [text, ctypes.c_char_p, ctypes.c_int32]
    library.HttpReadFile.restype = ctypes.c_int32
    return library


def encode(text):
    """Text as the ANSI functions read it (the token and the URL): in the ANSI
    code page on Windows, in the character set of the locale on Linux."""
    charset = "mbcs" if sys.platform == "win32" else locale.getpreferredencoding(False)
    return text.encode(charset)


def escape_form_text(text):
    """What PushNote needs for a message to arrive exactly as typed."""
    for special in "%&+=":
        text = text.replace(special, "%{:02X}".format(ord(special)))
    return text


def fetch_text(library, url, max_bytes=65536):
    """The text at url, at most max_bytes bytes; empty when it cannot be read."""
    buffer = ctypes.create_string_buffer(max_bytes + 1)
    if library.HttpReadFile(encode(url), buffer, len(buffer)) != PUSHNOTE_OK:
        return b""
    return buffer.value


def main(argv):
    token = os.environ.get("PUSHNOTE_TOKEN")
    if len(argv) != 2 or token is None:
        print("usage: send_note.py MESSAGE (with the token in PUSHNOTE_TOKEN)", file=sys.stderr)
        return 2
    pushnote = load_pushnote()
    if not pushnote.SetAccessToken(encode(token)):
        print("send_note: the access token is refused", file=sys.stderr)
        return 1
    result = pushnote.PushNoteW(escape_form_text(argv[1]))
    if result != PUSHNOTE_OK:
        print("send_note: failed with result code {}".format(result), file=sys.stderr)
        return 1
    print("send_note: sent")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
