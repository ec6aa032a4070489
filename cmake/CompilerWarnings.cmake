# One warning policy for every target of ours.
add_library(pushnote_warnings INTERFACE)
target_compile_options(pushnote_warnings INTERFACE -Wall -Wextra -Werror)
if(NOT WIN32)
    # The Windows SDK headers of MinGW are not pedantic-clean.
    target_compile_options(pushnote_warnings INTERFACE -pedantic)
endif()

if(PUSHNOTE_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                        -fno-sanitize-recover=all)
    add_link_options(-fsanitize=address,undefined)
endif()
