# Fixtures of the wire tests: the test PKI, the service stand-in and, in
# Windows builds, a fresh Wine prefix that trusts the test CA.
#
#   pki          make_test_pki.sh into ${CMAKE_BINARY_DIR}/test-pki
#   service      pushnote-test-service on PUSHNOTE_SERVICE_PORT
#                (expired certificate on that port + 10), recording into
#                ${CMAKE_BINARY_DIR}/service-records
#   wine_prefix  ${PUSHNOTE_WINE_PREFIX} made afresh, the test CA in its Root store

set(pushnote_test_pki_dir ${CMAKE_BINARY_DIR}/test-pki)
set(pushnote_records_dir ${CMAKE_BINARY_DIR}/service-records)
set(pushnote_service_run_dir ${CMAKE_BINARY_DIR}/service)
math(EXPR pushnote_expired_port "${PUSHNOTE_SERVICE_PORT} + 10")

set(PUSHNOTE_STAND_IN_MAX_SECONDS "1800" CACHE STRING
    "Seconds after which the service started by the tests ends by itself")
if(WIN32)
    # The service is a Linux program; a cross build uses the linux preset's.
    set(PUSHNOTE_STAND_IN ${PROJECT_SOURCE_DIR}/build/linux/tests/harness/pushnote-test-service
        CACHE FILEPATH "Native pushnote-test-service that the Windows wire tests talk to")
    set(pushnote_stand_in ${PUSHNOTE_STAND_IN})
else()
    set(pushnote_stand_in $<TARGET_FILE:pushnote-test-service>)
endif()

add_test(NAME pki_setup
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/support/make_test_pki.sh ${pushnote_test_pki_dir})
set_tests_properties(pki_setup PROPERTIES FIXTURES_SETUP pki)

add_test(NAME service_start
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/support/service_ctl.sh start ${pushnote_stand_in}
                 ${PUSHNOTE_SERVICE_PORT} ${pushnote_expired_port} ${pushnote_test_pki_dir}
                 ${pushnote_records_dir} ${pushnote_service_run_dir}
                 ${PUSHNOTE_STAND_IN_MAX_SECONDS})
add_test(NAME service_stop
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/support/service_ctl.sh stop
                 ${pushnote_service_run_dir})
set_tests_properties(service_start PROPERTIES FIXTURES_SETUP service FIXTURES_REQUIRED pki
                                              TIMEOUT 30)
set_tests_properties(service_stop PROPERTIES FIXTURES_CLEANUP service TIMEOUT 30)

if(WIN32)
    add_executable(import_test_ca support/import_test_ca.cpp)
    target_link_libraries(import_test_ca PRIVATE crypt32 pushnote_warnings)
    target_link_options(import_test_ca PRIVATE -static)
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
        set(pushnote_wine_arch win64)
    else()
        set(pushnote_wine_arch win32)
    endif()
    add_test(NAME wine_prefix_setup
             COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/support/make_wine_prefix.sh
                     ${PUSHNOTE_WINE_PREFIX} ${pushnote_wine_arch}
                     $<TARGET_FILE:import_test_ca> ${pushnote_test_pki_dir}/ca.pem)
    set_tests_properties(wine_prefix_setup PROPERTIES FIXTURES_SETUP wine_prefix
                                                      FIXTURES_REQUIRED pki TIMEOUT 180)
endif()

# pushnote_add_wire_test(NAME SOURCES... [LIBRARIES libs...])
# A test program that talks to the service stand-in; it finds the records, the
# ports and the PKI in PUSHNOTE_TEST_RECORDS, PUSHNOTE_TEST_SERVICE_PORT,
# PUSHNOTE_TEST_EXPIRED_PORT and PUSHNOTE_TEST_PKI (see support/recorded_requests.h).
function(pushnote_add_wire_test name)
    pushnote_add_test(${name} ${ARGN})
    pushnote_set_wire_test_properties(${name})
    pushnote_check_leaks(${name})
endfunction()

# The HTTP backend is only reached from the wire tests: memory it leaves
# behind fails program TARGET in every Linux build, not only in the sanitizer
# one (which checks leaks anyway).
function(pushnote_check_leaks target)
    if(NOT WIN32 AND NOT PUSHNOTE_SANITIZE)
        target_link_options(${target} PRIVATE -fsanitize=leak)
    endif()
endfunction()

# Gives test NAME the fixtures, lock and environment of a wire test.
function(pushnote_set_wire_test_properties name)
    set(fixtures service)
    set(path_prefix "")
    if(WIN32)
        list(APPEND fixtures wine_prefix)
        # Wine maps drive Z: to the Unix root.
        set(path_prefix "Z:")
    endif()
    set(environment
        PUSHNOTE_TEST_RECORDS=${path_prefix}${pushnote_records_dir}
        PUSHNOTE_TEST_PKI=${path_prefix}${pushnote_test_pki_dir}
        PUSHNOTE_TEST_SERVICE_PORT=${PUSHNOTE_SERVICE_PORT}
        PUSHNOTE_TEST_EXPIRED_PORT=${pushnote_expired_port})
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED "${fixtures}"
                                            RESOURCE_LOCK service
                                            ENVIRONMENT "${environment}")
endfunction()
