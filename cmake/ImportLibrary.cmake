# pushnote_stdcall_import_library(TARGET DEF_FILE)
# On 32-bit Windows, hosts reference __stdcall functions by decorated names
# (__imp__PushNote@4), while the DLL exports them plain (PushNote); the import
# library that the linker writes knows only the plain names. This replaces it,
# after each link, by one made from DEF_FILE's decorated names, which both
# MinGW and MSVC hosts link against. 64-bit Windows has no decorations, so
# there the linker's import library stays.
function(pushnote_stdcall_import_library target def_file)
    if(NOT CMAKE_SIZEOF_VOID_P EQUAL 4)
        return()
    endif()
    find_program(PUSHNOTE_DLLTOOL ${PUSHNOTE_MINGW_PREFIX}-dlltool REQUIRED)
    # Run beside the library: dlltool names its inner symbols after the output path.
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${PUSHNOTE_DLLTOOL} --def ${def_file} --kill-at
                --dllname $<TARGET_FILE_NAME:${target}>
                --output-lib $<TARGET_LINKER_FILE_NAME:${target}>
        WORKING_DIRECTORY $<TARGET_LINKER_FILE_DIR:${target}>
        COMMENT "Making the __stdcall import library of ${target} from ${def_file}")
endfunction()
