# CPack (`cpack` in the build directory, or the `package` target): a ZIP for
# Windows, one from each of the release builds for 32-bit and 64-bit hosts, and
# a .deb for Linux whose run-time dependencies dpkg-shlibdeps works out from
# the binaries.
set(CPACK_PACKAGE_NAME PushNote)
set(CPACK_PACKAGE_VENDOR PushNote)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Posts notifications to a notify web API over HTTPS")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
# Debugging symbols stay in the build tree.
set(CPACK_STRIP_FILES ON)

if(WIN32)
    set(CPACK_GENERATOR ZIP)
    # The name says which hosts can load the DLL: a process loads only a DLL
    # of its own bitness.
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        set(CPACK_SYSTEM_NAME windows-x86)
    else()
        set(CPACK_SYSTEM_NAME windows-x64)
    endif()
else()
    set(CPACK_GENERATOR DEB)
    set(CPACK_DEBIAN_PACKAGE_NAME pushnote)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SECTION net)
    set(CPACK_DEBIAN_PACKAGE_MAINTAINER "PushNote maintainers <pushnote@localhost>")
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    # Everything, and the service's unit, group, example config (a conffile)
    # and certbot hook, which only the package installs.
    set(CPACK_COMPONENTS_ALL Unspecified service)
    set(CPACK_DEB_COMPONENT_INSTALL ON)
    set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
    set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
        ${PROJECT_SOURCE_DIR}/packaging/linux/conffiles
        ${PROJECT_SOURCE_DIR}/packaging/linux/postinst
        ${PROJECT_SOURCE_DIR}/packaging/linux/postrm)
    set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
endif()

# cpack and `cmake --install` package what has been built, without building
# anything themselves (the tests run cpack while other tests use the binaries).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

include(CPack)
