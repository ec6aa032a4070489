# Makes the .deb with CPack and checks it: its run-time dependencies, its
# files, and that the pushnote command from it runs. Variables: CPACK, BUILD_DIR,
# WORK_DIR, LIBDIR (the library folder under the prefix), VERSION.
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/../cli/checks.cmake)

file(REMOVE_RECURSE ${WORK_DIR})
execute_process(COMMAND ${CPACK} -G DEB --config ${BUILD_DIR}/CPackConfig.cmake -B ${WORK_DIR}
                OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
file(GLOB deb ${WORK_DIR}/pushnote_${VERSION}_*.deb)
if(NOT deb)
    message(FATAL_ERROR "no pushnote_${VERSION}_*.deb in ${WORK_DIR}")
endif()

execute_process(COMMAND dpkg-deb --field ${deb} Depends OUTPUT_VARIABLE depends
                COMMAND_ERROR_IS_FATAL ANY)
message(STATUS "Depends: ${depends}")
foreach(package libc6 libstdc++6 libcurl4 libjpeg62-turbo libsqlite3-0)
    expect_contains("${depends}" "${package}" "Depends")
endforeach()

execute_process(COMMAND dpkg-deb --contents ${deb} OUTPUT_VARIABLE contents
                COMMAND_ERROR_IS_FATAL ANY)
foreach(file usr/bin/pushnote usr/${LIBDIR}/libpushnote.so.${VERSION} usr/${LIBDIR}/libpushnote.so
        usr/include/pushnote.h usr/include/pushnote.hpp usr/include/pushnote_result_texts.h
        usr/${LIBDIR}/cmake/PushNote/PushNoteConfig.cmake
        usr/${LIBDIR}/cmake/PushNote/PushNoteConfigVersion.cmake
        usr/${LIBDIR}/cmake/PushNote/PushNoteTargets.cmake
        usr/${LIBDIR}/pkgconfig/pushnote.pc usr/share/doc/PushNote/reference.md
        usr/bin/pushnote-inbox usr/share/doc/PushNote/inbox.md
        lib/systemd/system/pushnote-inbox.service usr/lib/sysusers.d/pushnote-inbox.conf
        etc/pushnote-inbox/inbox.toml usr/share/pushnote-inbox/certbot-deploy-hook)
    expect_contains("${contents}" " ./${file}" "contents of the .deb")
endforeach()

# The example config is a conffile that only its owner and group may read.
string(REGEX MATCH "-rw-r----- root/root [^\n]* ./etc/pushnote-inbox/inbox.toml" config_line
             "${contents}")
if(NOT config_line)
    message(FATAL_ERROR "the example config is not -rw-r----- root/root:\n${contents}")
endif()
execute_process(COMMAND dpkg-deb --info ${deb} conffiles OUTPUT_VARIABLE conffiles
                COMMAND_ERROR_IS_FATAL ANY)
expect_equal("${conffiles}" "/etc/pushnote-inbox/inbox.toml\n" "the .deb's conffiles")

# Unpacked anywhere, the command finds its library relative to itself.
execute_process(COMMAND dpkg-deb --extract ${deb} ${WORK_DIR}/unpacked COMMAND_ERROR_IS_FATAL ANY)
run_with_token(COMMAND ${WORK_DIR}/unpacked/usr/bin/pushnote --version)
expect_equal("${out}" "pushnote ${VERSION}\n" "pushnote --version from the .deb")

# pushnote-inbox from the .deb makes its CA and prints it.
execute_process(COMMAND ${WORK_DIR}/unpacked/usr/bin/pushnote-inbox ca --data ${WORK_DIR}/inbox
                OUTPUT_VARIABLE out COMMAND_ERROR_IS_FATAL ANY)
expect_contains("${out}" "-----BEGIN CERTIFICATE-----" "pushnote-inbox ca from the .deb")
