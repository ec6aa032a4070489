# Builds the consumer project, finding PushNote by LOOKUP: find_package or
# pkg-config in the installed tree in ROOT, or add_subdirectory or FetchContent
# of the sources in SOURCE_DIR, built for the service stand-in (SERVICE_OPTIONS)
# and with none of PushNote's tests. Then sends notes with its C++ and C
# programs to the stand-in. Variables: ROOT, LIBDIR (the installed library
# folder, relative to ROOT), LOOKUP, CONSUMER_SOURCE, C_EXAMPLE, WORK_DIR,
# RECORDS, SANITIZER_FLAGS (those the library was built with, if any),
# SOURCE_DIR and SERVICE_OPTIONS (a |-separated list of -D options).
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/../cli/checks.cmake)

file(REMOVE_RECURSE ${WORK_DIR})
if(LOOKUP STREQUAL "pkg-config")
    set(ENV{PKG_CONFIG_PATH} ${ROOT}/${LIBDIR}/pkgconfig)
    set(prefix_path "")
else()
    set(prefix_path ${ROOT})
endif()
set(source_options "")
if(LOOKUP STREQUAL "add_subdirectory" OR LOOKUP STREQUAL "FetchContent")
    string(REPLACE "|" ";" source_options "-DPUSHNOTE_SOURCE_DIR=${SOURCE_DIR}|${SERVICE_OPTIONS}")
endif()
execute_process(
    COMMAND ${CMAKE_COMMAND} -S ${CONSUMER_SOURCE} -B ${WORK_DIR} -DCMAKE_PREFIX_PATH=${prefix_path}
            -DPUSHNOTE_LOOKUP=${LOOKUP} -DPUSHNOTE_C_EXAMPLE=${C_EXAMPLE} ${source_options}
            -DCMAKE_C_FLAGS=${SANITIZER_FLAGS} -DCMAKE_CXX_FLAGS=${SANITIZER_FLAGS}
            -DCMAKE_EXE_LINKER_FLAGS=${SANITIZER_FLAGS}
    COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK_DIR} --parallel 2
                COMMAND_ERROR_IS_FATAL ANY)
if(source_options)
    # A consuming project gets the library and the command, never our tests.
    execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK_DIR} --target help
                    OUTPUT_VARIABLE targets COMMAND_ERROR_IS_FATAL ANY)
    foreach(test_target base_tests push_note_wire_tests pushnote-inbox pushnote-test-service
                        notify_bench)
        string(FIND "${targets}" "${test_target}" found)
        expect_equal("${found}" -1 "target ${test_target} in a consuming project")
    endforeach()
    expect_contains("${targets}" "pushnote_command" "the pushnote command in a consuming project")
endif()

list_records(before)
run_with_token(TOKEN consumer-token COMMAND ${WORK_DIR}/send_note_cpp "Fish & chips = 5")
expect_equal("${status}" 0 "exit status of send_note_cpp")
read_new_record("${before}")
expect_contains("${record_head}" "Authorization: Bearer consumer-token" "authorization")
expect_equal("${record_body}" "message=Fish %26 chips %3D 5" "body from the C++ host")

list_records(before)
run_with_token(TOKEN consumer-token COMMAND ${WORK_DIR}/send_note_c "1+1 = 2 (100%)")
expect_equal("${status}" 0 "exit status of send_note_c")
read_new_record("${before}")
expect_equal("${record_body}" "message=1%2B1 %3D 2 (100%25)" "body from the C host")

list_records(before)
run_with_token(TOKEN "t;status=401" COMMAND ${WORK_DIR}/send_note_cpp "refused")
expect_equal("${status}" 1 "exit status of send_note_cpp when the service answers 401")
expect_equal("${err}"
             "send_note_cpp: pushnote: the service answered with a status other than 200 (-6)\n"
             "error of send_note_cpp when the service answers 401")
read_new_record("${before}")
