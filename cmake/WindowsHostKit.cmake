# What Windows hosts get besides the DLL and the headers: the import library
# under its MSVC name, the .def file it is made from, examples for C, C#,
# PowerShell and Python, and a VBA module with the Declare statements.
include(${CMAKE_CURRENT_LIST_DIR}/ResultTexts.cmake)

# MSVC's linker reads the MinGW import library as it is (a COFF archive); on
# 32-bit Windows it carries the decorated names that MSVC hosts reference.
install(FILES $<TARGET_LINKER_FILE:pushnote> DESTINATION ${CMAKE_INSTALL_LIBDIR}
        RENAME PushNote.lib)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(module_definition packaging/windows/PushNote-stdcall.def)
else()
    set(module_definition src/exports/PushNote.def)
endif()
install(FILES ${module_definition} DESTINATION ${CMAKE_INSTALL_LIBDIR} RENAME PushNote.def)
install(FILES packaging/examples/send_note.c packaging/examples/SendNote.cs
              packaging/examples/send_note.ps1 packaging/examples/send_note.py
        DESTINATION examples)

# The VBA module's result texts come from the one table.
pushnote_read_result_table(PUSHNOTE_RESULT)
set(PUSHNOTE_VBA_RESULT_CASES "")
foreach(code text IN ZIP_LISTS PUSHNOTE_RESULT_CODES PUSHNOTE_RESULT_TEXTS)
    string(APPEND PUSHNOTE_VBA_RESULT_CASES
           "        Case ${code}: PushNoteResultText = \"${text}\"\r\n")
endforeach()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${PUSHNOTE_RESULT_TEXTS_HEADER} ${PUSHNOTE_RESULT_CODES_HEADER})
# The VBA editor imports modules with Windows line ends; NEWLINE_STYLE sets
# those of the template's lines, the cases above carry their own.
configure_file(packaging/windows/PushNoteApi.bas.in ${PROJECT_BINARY_DIR}/package/PushNoteApi.bas
               @ONLY NEWLINE_STYLE CRLF)
install(FILES ${PROJECT_BINARY_DIR}/package/PushNoteApi.bas DESTINATION examples)
