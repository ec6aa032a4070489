// SendNote: sends one text notification through PushNote from .NET, with
// P/Invoke, and fetches a text with HttpReadFile.
//
//     SendNote MESSAGE [URL]
//
// The access token comes from the environment variable PUSHNOTE_TOKEN. Put
// the PushNote.dll whose bitness matches the process beside the program: from
// the windows-x64 ZIP for a 64-bit process (the default of .NET on 64-bit
// Windows), from the windows-x86 ZIP for a 32-bit one (platform target x86).
// Build with the .NET SDK in a project, or with the compiler of .NET
// Framework: csc SendNote.cs. (Mono runs it on Linux against libpushnote.so
// through a dllmap of PushNote.dll.)
using System;
using System.Runtime.InteropServices;
using System.Text;

static class PushNoteApi {
    const string Library = "PushNote.dll";

    // __stdcall: the calling convention of the 32-bit DLL (64-bit Windows has
    // only one). Notes go through the wide functions: .NET strings are UTF-16,
    // and every character arrives (an emoji, Japanese on a Western Windows);
    // marshalled as ANSI, whatever the code page lacks would be lost.
    [DllImport(Library, CharSet = CharSet.Unicode, CallingConvention = CallingConvention.StdCall)]
    public static extern int PushNoteW(string message);

    [DllImport(Library, CharSet = CharSet.Unicode, CallingConvention = CallingConvention.StdCall)]
    public static extern int PushNoteWithImageW(string message, string imagePath);

    // Text in the ANSI code page: the token and URLs are ASCII; PushNote and
    // PushNoteWithImage stay for old code.
    [DllImport(Library, CharSet = CharSet.Ansi, CallingConvention = CallingConvention.StdCall)]
    public static extern byte SetAccessToken(string token);

    [DllImport(Library, CharSet = CharSet.Ansi, CallingConvention = CallingConvention.StdCall)]
    public static extern int PushNote(string message);

    [DllImport(Library, CharSet = CharSet.Ansi, CallingConvention = CallingConvention.StdCall)]
    public static extern int PushNoteWithImage(string message, string imagePath);

    [DllImport(Library, CharSet = CharSet.Ansi, CallingConvention = CallingConvention.StdCall)]
    public static extern int HttpReadFile(string url, StringBuilder buffer, int size);

    // What PushNote needs for a message to arrive exactly as typed.
    public static string EscapeFormText(string text) {
        return text.Replace("%", "%25").Replace("&", "%26").Replace("+", "%2B").Replace("=", "%3D");
    }

    // The text at url, at most maxBytes bytes long; empty when it cannot be read.
    public static string FetchText(string url, int maxBytes = 65536) {
        var buffer = new StringBuilder(maxBytes + 1);
        return HttpReadFile(url, buffer, buffer.Capacity) == 0 ? buffer.ToString() : "";
    }
}

static class SendNote {
    static int Main(string[] args) {
        string token = Environment.GetEnvironmentVariable("PUSHNOTE_TOKEN");
        if (args.Length < 1 || args.Length > 2 || token == null) {
            Console.Error.WriteLine("usage: SendNote MESSAGE [URL] (with the token in PUSHNOTE_TOKEN)");
            return 2;
        }
        try {
            if (PushNoteApi.SetAccessToken(token) == 0) {
                Console.Error.WriteLine("SendNote: the access token is refused");
                return 1;
            }
            int result = PushNoteApi.PushNoteW(PushNoteApi.EscapeFormText(args[0]));
            if (result != 0) {
                Console.Error.WriteLine("SendNote: failed with result code " + result);
                return 1;
            }
            Console.WriteLine("SendNote: sent");
            if (args.Length == 2) Console.Write(PushNoteApi.FetchText(args[1]));
            return 0;
        } catch (DllNotFoundException) {
            Console.Error.WriteLine("SendNote: PushNote.dll was not found beside the program");
        } catch (BadImageFormatException) {
            Console.Error.WriteLine("SendNote: PushNote.dll is of the other bitness than this " +
                                    (Environment.Is64BitProcess ? "64-bit" : "32-bit") + " process");
        }
        return 1;
    }
}
