# --help, --version and usage errors: exit 0 for the first two, 2 with the usage
# for a wrong command line. Needs no service.
include(${CMAKE_CURRENT_LIST_DIR}/cli_harness.cmake)

run_pushnote(--help)
expect_equal("${status}" 0 "--help exit status")
expect_contains("${out}" "Usage: pushnote" "--help")
expect_contains("${out}" "send" "--help")
expect_contains("${out}" "fetch" "--help")

run_pushnote(send --help)
expect_equal("${status}" 0 "send --help exit status")
expect_contains("${out}" "--token-file" "send --help")
expect_contains("${out}" "--image" "send --help")

run_pushnote(--version)
expect_equal("${status}" 0 "--version exit status")
expect_equal("${out}" "pushnote ${VERSION}\n" "--version")

foreach(wrong "" "send" "send;one;two" "fetch" "fetch;url;--max-bytes;0" "post;text"
        "send;text;--colour;red")
    run_pushnote(${wrong})
    expect_equal("${status}" 2 "exit status of [${wrong}]")
    expect_contains("${err}" "Usage: pushnote" "error output of [${wrong}]")
endforeach()
