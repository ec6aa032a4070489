# What `cmake --install` puts in place: the library, the pushnote command, on
# Linux pushnote-inbox, the headers, a CMake package (find_package(PushNote) gives PushNote::pushnote), a
# pkg-config file (pushnote) and the reference; on Windows also what hosts in
# other languages need (WindowsHostKit.cmake).
include(CMakePackageConfigHelpers)

set(PUSHNOTE_CMAKE_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/PushNote)

install(TARGETS pushnote EXPORT PushNoteTargets
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(TARGETS pushnote_command RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES include/pushnote.h include/pushnote.hpp include/pushnote_result_texts.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES docs/reference.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
if(TARGET pushnote-inbox)
    # The local inbox for developers of hosts; its page is built in.
    install(TARGETS pushnote-inbox RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES docs/inbox.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
    # The service on a server: the .deb's alone, since its places are the
    # system's own (a plain `cmake --install` leaves them out).
    install(FILES packaging/linux/pushnote-inbox.service DESTINATION /lib/systemd/system
            COMPONENT service EXCLUDE_FROM_ALL)
    install(FILES packaging/linux/pushnote-inbox.sysusers DESTINATION /usr/lib/sysusers.d
            RENAME pushnote-inbox.conf COMPONENT service EXCLUDE_FROM_ALL)
    install(FILES packaging/linux/inbox.toml DESTINATION /etc/pushnote-inbox
            PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ COMPONENT service EXCLUDE_FROM_ALL)
    install(PROGRAMS packaging/linux/certbot-deploy-hook
            DESTINATION ${CMAKE_INSTALL_DATADIR}/pushnote-inbox COMPONENT service
            EXCLUDE_FROM_ALL)
endif()

install(EXPORT PushNoteTargets NAMESPACE PushNote:: DESTINATION ${PUSHNOTE_CMAKE_PACKAGE_DIR})
configure_package_config_file(cmake/PushNoteConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/package/PushNoteConfig.cmake
                              INSTALL_DESTINATION ${PUSHNOTE_CMAKE_PACKAGE_DIR})
# Also refuses a package of the other word size (the 32-bit one in a 64-bit build).
write_basic_package_version_file(${PROJECT_BINARY_DIR}/package/PushNoteConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/package/PushNoteConfig.cmake
              ${PROJECT_BINARY_DIR}/package/PushNoteConfigVersion.cmake
        DESTINATION ${PUSHNOTE_CMAKE_PACKAGE_DIR})

# Relocatable: the prefix is found from the .pc file's own place.
set(PUSHNOTE_PKG_CONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
file(RELATIVE_PATH PUSHNOTE_PC_TO_PREFIX /${PUSHNOTE_PKG_CONFIG_DIR} /)
string(REGEX REPLACE "/$" "" PUSHNOTE_PC_TO_PREFIX ${PUSHNOTE_PC_TO_PREFIX})
if(WIN32)
    set(PUSHNOTE_LINK_NAME PushNote)
else()
    set(PUSHNOTE_LINK_NAME pushnote)
endif()
configure_file(cmake/pushnote.pc.in ${PROJECT_BINARY_DIR}/package/pushnote.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/package/pushnote.pc DESTINATION ${PUSHNOTE_PKG_CONFIG_DIR})

if(WIN32)
    include(cmake/WindowsHostKit.cmake)
endif()
