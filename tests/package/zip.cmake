# Makes the Windows ZIP with CPack and checks it as a Windows host sees it:
# its files, the import libraries against the DLL's exports, the C example
# built with MinGW against each import library and, where RUNNER can run the
# programs, the example and pushnote.exe run from the ZIP against the service
# stand-in. Variables: CPACK, BUILD_DIR, WORK_DIR, VERSION, SYSTEM_NAME
# (windows-x86 or windows-x64), C_COMPILER, NM, OBJDUMP, RUNNER ("|"-separated,
# empty: build only), RECORDS.
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/../cli/checks.cmake)

file(REMOVE_RECURSE ${WORK_DIR})
execute_process(COMMAND ${CPACK} -G ZIP --config ${BUILD_DIR}/CPackConfig.cmake -B ${WORK_DIR}
                OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
set(name PushNote-${VERSION}-${SYSTEM_NAME})
file(ARCHIVE_EXTRACT INPUT ${WORK_DIR}/${name}.zip DESTINATION ${WORK_DIR})
set(kit ${WORK_DIR}/${name})

foreach(file bin/PushNote.dll bin/pushnote.exe include/pushnote.h include/pushnote.hpp
        include/pushnote_result_texts.h lib/libPushNote.dll.a lib/PushNote.lib lib/PushNote.def
        lib/cmake/PushNote/PushNoteConfig.cmake lib/pkgconfig/pushnote.pc
        examples/send_note.c examples/SendNote.cs examples/send_note.ps1 examples/send_note.py
        examples/PushNoteApi.bas share/doc/PushNote/reference.md)
    if(NOT EXISTS ${kit}/${file})
        message(FATAL_ERROR "${file} is not in ${name}.zip")
    endif()
endforeach()

# The VBA module: Windows line ends, and the texts of the one table.
# (In the hexadecimal text of ASCII bytes, "0a" is found at line ends only.)
file(READ ${kit}/examples/PushNoteApi.bas vba HEX)
string(REGEX MATCHALL "0a" line_ends "${vba}")
string(REGEX MATCHALL "0d0a" windows_line_ends "${vba}")
list(LENGTH line_ends line_count)
list(LENGTH windows_line_ends windows_line_count)
expect_equal("${windows_line_count}" "${line_count}" "CR LF line ends of PushNoteApi.bas")
file(READ ${kit}/examples/PushNoteApi.bas vba)
expect_contains("${vba}" "Public Declare PtrSafe Function PushNoteWithImage Lib \"PushNote.dll\""
                "PushNoteApi.bas")
expect_contains("${vba}" "Case -6: PushNoteResultText = \"the service answered with a status"
                "PushNoteApi.bas")
# Text goes through the wide functions, the String itself, in both bitnesses.
expect_contains("${vba}" "Public Declare PtrSafe Function PushNoteW Lib \"PushNote.dll\""
                "PushNoteApi.bas")
expect_contains("${vba}" "(ByVal message As LongPtr, ByVal imagePath As LongPtr) As Long"
                "PushNoteApi.bas")
expect_contains("${vba}" "PushNoteText = PushNoteW(StrPtr(message))" "PushNoteApi.bas")
# Both bitnesses of Office, and a clear word when the DLL cannot be used.
expect_contains("${vba}" "#If Win64 Then" "PushNoteApi.bas")
foreach(error_number 48 53 453)
    expect_contains("${vba}" "Case ${error_number}: PushNoteLoadErrorText = " "PushNoteApi.bas")
endforeach()

# The DLL and the command are built for the architecture the ZIP is named for.
if(SYSTEM_NAME STREQUAL "windows-x86")
    set(image_format pei-i386)
else()
    set(image_format pei-x86-64)
endif()
foreach(program bin/PushNote.dll bin/pushnote.exe)
    execute_process(COMMAND ${OBJDUMP} -f ${kit}/${program} OUTPUT_VARIABLE header
                    COMMAND_ERROR_IS_FATAL ANY)
    expect_contains("${header}" "file format ${image_format}" "${program} of ${name}.zip")
endforeach()

# pushnote.exe is built from the library's sources and needs system DLLs
# only: the C and C++ run-time libraries of MinGW are linked in, and shell32
# splits its UTF-16 command line.
execute_process(COMMAND ${OBJDUMP} -p ${kit}/bin/pushnote.exe OUTPUT_VARIABLE command_tables
                COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCHALL "DLL Name: [^\n]+" command_imports "${command_tables}")
list(TRANSFORM command_imports REPLACE "DLL Name: " "")
list(TRANSFORM command_imports TOLOWER)
list(SORT command_imports)
expect_equal("${command_imports}" "kernel32.dll;msvcrt.dll;ole32.dll;shell32.dll;wininet.dll"
             "DLLs pushnote.exe imports")

# Every export of the DLL, and nothing else, can be imported through each
# import library; on 32-bit Windows under its __stdcall name (_PushNote@4).
execute_process(COMMAND ${OBJDUMP} -p ${kit}/bin/PushNote.dll OUTPUT_VARIABLE dll_tables
                COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table(\n\t[^\n]+)*" name_table "${dll_tables}")
string(REGEX MATCHALL "\\[ *[0-9]+\\] [A-Za-z]+" exports "${name_table}")
list(TRANSFORM exports REPLACE "^.* ([A-Za-z]+)$" "\\1")
list(SORT exports)
foreach(library libPushNote.dll.a PushNote.lib)
    execute_process(COMMAND ${NM} ${kit}/lib/${library} OUTPUT_VARIABLE symbols
                    COMMAND_ERROR_IS_FATAL ANY)
    if(SYSTEM_NAME STREQUAL "windows-x86")
        string(REGEX MATCHALL " I __imp__[A-Za-z]+@[0-9]+" imports "${symbols}")
        list(TRANSFORM imports REPLACE " I __imp__([A-Za-z]+)@[0-9]+" "\\1")
    else()
        # No decorations on 64-bit Windows: the plain names, nothing after them.
        string(REGEX MATCHALL " I __imp_[A-Za-z]+\n" imports "${symbols}")
        list(TRANSFORM imports REPLACE " I __imp_([A-Za-z]+)\n" "\\1")
    endif()
    list(SORT imports)
    expect_equal("${imports}" "${exports}" "functions imported through ${library}")
endforeach()

# The C example, built as its comment says, with each import library.
set(example_flags -std=c99 -Wall -Wextra -Werror -I${kit}/include)
execute_process(COMMAND ${C_COMPILER} ${example_flags} ${kit}/examples/send_note.c -L${kit}/lib
                        -lPushNote -o ${kit}/bin/send_note.exe
                COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${C_COMPILER} ${example_flags} ${kit}/examples/send_note.c
                        ${kit}/lib/PushNote.lib -o ${WORK_DIR}/send_note_with_lib.exe
                COMMAND_ERROR_IS_FATAL ANY)
foreach(program ${kit}/bin/send_note.exe ${WORK_DIR}/send_note_with_lib.exe)
    execute_process(COMMAND ${OBJDUMP} -p ${program} OUTPUT_VARIABLE program_tables
                    COMMAND_ERROR_IS_FATAL ANY)
    string(REGEX MATCH "DLL Name: PushNote.dll\n[^\n]*(\n\t[^\n]+)*" imported "${program_tables}")
    expect_contains("${imported}" " SetAccessToken" "imports of ${program}")
    expect_contains("${imported}" " PushNote\n" "imports of ${program}")
endforeach()

if(NOT RUNNER)
    return()
endif()
string(REPLACE "|" ";" runner "${RUNNER}")
warm_up_runner(${runner} ${kit}/bin/pushnote.exe --version)

run_with_token(COMMAND ${runner} ${kit}/bin/pushnote.exe --version)
expect_equal("${out}" "pushnote ${VERSION}\n" "pushnote.exe --version from the ZIP")

list_records(before)
run_with_token(TOKEN zip-token COMMAND ${runner} ${kit}/bin/send_note.exe "Tea & cake = 100%")
expect_equal("${status}" 0 "exit status of the C example")
expect_equal("${out}" "send_note: sent\n" "output of the C example")
read_new_record("${before}")
expect_contains("${record_head}" "Authorization: Bearer zip-token" "authorization")
expect_equal("${record_body}" "message=Tea %26 cake %3D 100%25" "body from the C example")
