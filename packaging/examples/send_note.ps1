# send_note.ps1: sends one text notification through PushNote from PowerShell.
#
#     .\send_note.ps1 "Backup done: 100% & no errors"
#
# The access token comes from the environment variable PUSHNOTE_TOKEN. The
# message arrives exactly as typed: "%", "&", "+" and "=" are escaped first,
# and it goes through PushNoteW, so that every character of the UTF-16 string
# arrives (an emoji, Japanese on a Western Windows) whatever the code page.
# PowerShell on 64-bit Windows is a 64-bit process: it needs the PushNote.dll
# of the windows-x64 ZIP ("Windows PowerShell (x86)" the windows-x86 one). The
# DLL is taken from the ZIP's bin folder; this script is in its examples folder.
param([Parameter(Mandatory = $true)][string]$Message)

$env:PATH = (Join-Path $PSScriptRoot '..\bin') + ';' + $env:PATH
if (-not ('PushNote.Api' -as [type])) {
    # __stdcall, the calling convention of the 32-bit DLL. Notes as wide text;
    # the ANSI functions stay for old code.
    Add-Type -Namespace PushNote -Name Api -MemberDefinition @'
[DllImport("PushNote.dll", CharSet = CharSet.Unicode, CallingConvention = CallingConvention.StdCall)]
public static extern int PushNoteW(string message);
[DllImport("PushNote.dll", CharSet = CharSet.Unicode, CallingConvention = CallingConvention.StdCall)]
public static extern int PushNoteWithImageW(string message, string imagePath);
[DllImport("PushNote.dll", CharSet = CharSet.Ansi, CallingConvention = CallingConvention.StdCall)]
public static extern byte SetAccessToken(string token);
[DllImport("PushNote.dll", CharSet = CharSet.Ansi, CallingConvention = CallingConvention.StdCall)]
public static extern int PushNote(string message);
[DllImport("PushNote.dll", CharSet = CharSet.Ansi, CallingConvention = CallingConvention.StdCall)]
public static extern int PushNoteWithImage(string message, string imagePath);
[DllImport("PushNote.dll", CharSet = CharSet.Ansi, CallingConvention = CallingConvention.StdCall)]
public static extern int HttpReadFile(string url, System.Text.StringBuilder buffer, int size);
'@
}

if (-not $env:PUSHNOTE_TOKEN) {
    throw 'Set the access token in PUSHNOTE_TOKEN first.'
}
if ([PushNote.Api]::SetAccessToken($env:PUSHNOTE_TOKEN) -eq 0) {
    throw 'The access token is refused.'
}
$escaped = $Message -replace '%', '%25' -replace '&', '%26' -replace '\+', '%2B' -replace '=', '%3D'
$result = [PushNote.Api]::PushNoteW($escaped)
if ($result -ne 0) {
    throw "PushNote failed with result code $result."
}
'Sent.'
