# Where the token comes from, and a token file that cannot be used. These end
# before any request, so they need no service.
include(${CMAKE_CURRENT_LIST_DIR}/cli_harness.cmake)

run_pushnote(send "Hello")
expect_equal("${status}" 1 "exit status without a token")
expect_equal("${err}" "pushnote: no access token is set (-10)\n" "error without a token")

run_pushnote(send "Hello" --token-file ${PATH_PREFIX}${WORK_DIR}/missing-token TOKEN good)
expect_equal("${status}" 1 "exit status with a missing token file")
expect_equal("${err}" "pushnote: cannot read the token file ${PATH_PREFIX}${WORK_DIR}/missing-token\n"
             "error with a missing token file")

string(REPEAT "x" 257 long_token)
file(WRITE ${WORK_DIR}/long-token "${long_token}\n")
run_pushnote(send "Hello" --token-file ${PATH_PREFIX}${WORK_DIR}/long-token)
expect_equal("${status}" 1 "exit status with a 257-byte token")
expect_contains("${err}" "pushnote: the access token is refused" "error with a 257-byte token")

run_pushnote(send "Hello" TOKEN "with\ttab")
expect_equal("${status}" 1 "exit status with a control character in the token")
expect_contains("${err}" "pushnote: the access token is refused" "error with a tab in the token")

# An empty file empties the token store: the library then refuses to send.
file(WRITE ${WORK_DIR}/empty-token "")
run_pushnote(send "Hello" --token-file ${PATH_PREFIX}${WORK_DIR}/empty-token TOKEN good)
expect_equal("${err}" "pushnote: no access token is set (-10)\n" "error with an empty token file")

# The URL limit is the library's: 1023 bytes.
string(REPEAT "u" 1024 long_path)
run_pushnote(fetch "https://localhost/${long_path}")
expect_equal("${status}" 1 "exit status of fetch with a long URL")
expect_equal("${err}" "pushnote: a text argument is too long for its buffer (-20)\n"
             "error of fetch with a long URL")
