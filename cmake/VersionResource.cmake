# pushnote_version_resource(TARGET FILE_NAME DESCRIPTION)
# Gives a Windows DLL or program a VERSIONINFO resource from the project
# version: file and product version, product name, description, original file
# name and copyright, compiled by windres as CMake's RC language (enabled at
# the top for Windows builds).

function(pushnote_version_resource target file_name description)
    # Four numbers for the binary fields; a missing tweak counts 0.
    set(numbers ${PROJECT_VERSION_MAJOR} ${PROJECT_VERSION_MINOR} ${PROJECT_VERSION_PATCH})
    if(PROJECT_VERSION_TWEAK)
        list(APPEND numbers ${PROJECT_VERSION_TWEAK})
    else()
        list(APPEND numbers 0)
    endif()
    list(JOIN numbers "," PUSHNOTE_RC_VERSION_COMMAS)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "SHARED_LIBRARY")
        set(PUSHNOTE_RC_FILE_TYPE VFT_DLL)
    else()
        set(PUSHNOTE_RC_FILE_TYPE VFT_APP)
    endif()
    set(PUSHNOTE_RC_FILE_NAME ${file_name})
    get_filename_component(PUSHNOTE_RC_INTERNAL_NAME ${file_name} NAME_WE)
    set(PUSHNOTE_RC_DESCRIPTION ${description})
    set(resource ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
    configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/version.rc.in ${resource} @ONLY)
    target_sources(${target} PRIVATE ${resource})
endfunction()
