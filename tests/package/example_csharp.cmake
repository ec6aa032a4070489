# The C# example built with mono's compiler and run under mono against the
# shared library (through a dllmap of PushNote.dll) and the service stand-in;
# the P/Invoke declarations of the PowerShell example compiled too.
# Variables: MCS, MONO, EXAMPLES, LIBRARY, WORK_DIR, RECORDS, SERVICE_PORT.
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/../cli/checks.cmake)

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
execute_process(COMMAND ${MCS} -warnaserror -out:${WORK_DIR}/SendNote.exe
                        ${EXAMPLES}/SendNote.cs
                COMMAND_ERROR_IS_FATAL ANY)

# Add-Type wraps the member definition into a class, with these using lines.
file(READ ${EXAMPLES}/send_note.ps1 script)
string(REGEX MATCH "@'\n(.*)\n'@" definition "${script}")
file(WRITE ${WORK_DIR}/PowerShellApi.cs
     "using System;\nusing System.Runtime.InteropServices;\n"
     "namespace PushNote { public class Api {\n${CMAKE_MATCH_1}\n} }\n")
execute_process(COMMAND ${MCS} -warnaserror -target:library -out:${WORK_DIR}/PowerShellApi.dll
                        ${WORK_DIR}/PowerShellApi.cs
                COMMAND_ERROR_IS_FATAL ANY)

file(WRITE ${WORK_DIR}/SendNote.exe.config
     "<configuration><dllmap dll=\"PushNote.dll\" target=\"${LIBRARY}\"/></configuration>\n")
set(send_note env LC_ALL=C.UTF-8 ${MONO} ${WORK_DIR}/SendNote.exe)
list_records(before)
run_with_token(TOKEN csharp-token COMMAND ${send_note} "Tea & cake = 100%")
expect_equal("${status}" 0 "exit status of SendNote.exe")
expect_equal("${out}" "SendNote: sent\n" "output of SendNote.exe")
read_new_record("${before}")
expect_contains("${record_head}" "Authorization: Bearer csharp-token" "authorization")
expect_equal("${record_body}" "message=Tea %26 cake %3D 100%25" "body from SendNote.exe")

run_with_token(TOKEN csharp-token COMMAND ${send_note} "Hi"
               "https://localhost:${SERVICE_PORT}/text?text=line%20one")
expect_equal("${out}" "SendNote: sent\nline one" "output of SendNote.exe with a URL")

run_with_token(TOKEN "bad\ttoken" COMMAND ${send_note} "Hi")
expect_equal("${status}" 1 "exit status with a refused token")
expect_equal("${err}" "SendNote: the access token is refused\n" "error with a refused token")
