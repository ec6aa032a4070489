# One warning policy for every target of ours. Warnings are errors only where
# a developer asks for it (the presets set CMAKE_COMPILE_WARNING_AS_ERROR):
# a packager's or a consuming project's build shows them and carries on.
add_library(pushnote_warnings INTERFACE)
target_compile_options(pushnote_warnings INTERFACE -Wall -Wextra)
if(NOT WIN32)
    # The Windows SDK headers of MinGW are not pedantic-clean.
    target_compile_options(pushnote_warnings INTERFACE -pedantic)
endif()

if(PUSHNOTE_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                        -fno-sanitize-recover=all)
    add_link_options(-fsanitize=address,undefined)
endif()
