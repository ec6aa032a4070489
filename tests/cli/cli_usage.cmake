# --help, --version and usage errors: exit 0 for the first two, 2 with the usage
# for a wrong command line. Needs no service.
include(${CMAKE_CURRENT_LIST_DIR}/cli_harness.cmake)

run_pushnote(--help)
expect_equal("${status}" 0 "--help exit status")
expect_contains("${out}" "Usage: pushnote" "--help")
expect_contains("${out}" "send" "--help")
expect_contains("${out}" "fetch" "--help")
foreach(subcommand flush outbox)
    expect_contains("${out}" "${subcommand}" "--help")
endforeach()
foreach(code "0   delivered" "1   refused for good" "2   usage error" "65  the note itself"
        "75  try again later")
    expect_contains("${out}" "\n  ${code}" "exit status ${code} in --help")
endforeach()

run_pushnote(send --help)
expect_equal("${status}" 0 "send --help exit status")
expect_contains("${out}" "--token-file" "send --help")
expect_contains("${out}" "--image" "send --help")
expect_contains("${out}" "--retry-max-time" "send --help")
expect_contains("${out}" "--outbox" "send --help")
expect_contains("${out}" "75  try again later" "send --help")

run_pushnote(--version)
expect_equal("${status}" 0 "--version exit status")
expect_equal("${out}" "pushnote ${VERSION}\n" "--version")

foreach(wrong "" "send" "send;one;two" "fetch" "fetch;url;--max-bytes;0" "post;text"
        "send;text;--colour;red" "send;text;--retry;-1" "send;text;--retry;101"
        "flush;--retry-max-time;x" "outbox;extra")
    run_pushnote(${wrong})
    expect_equal("${status}" 2 "exit status of [${wrong}]")
    expect_contains("${err}" "Usage: pushnote" "error output of [${wrong}]")
endforeach()
