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
file(CHMOD ${WORK_DIR}/long-token PERMISSIONS OWNER_READ OWNER_WRITE)
run_pushnote(send "Hello" --token-file ${PATH_PREFIX}${WORK_DIR}/long-token)
expect_equal("${status}" 1 "exit status with a 257-byte token")
expect_contains("${err}" "pushnote: the access token is refused" "error with a 257-byte token")

run_pushnote(send "Hello" TOKEN "with\ttab")
expect_equal("${status}" 1 "exit status with a control character in the token")
expect_contains("${err}" "pushnote: the access token is refused" "error with a tab in the token")

# An empty file empties the token store: the library then refuses to send.
file(WRITE ${WORK_DIR}/empty-token "")
file(CHMOD ${WORK_DIR}/empty-token PERMISSIONS OWNER_READ OWNER_WRITE)
run_pushnote(send "Hello" --token-file ${PATH_PREFIX}${WORK_DIR}/empty-token TOKEN good)
expect_equal("${err}" "pushnote: no access token is set (-10)\n" "error with an empty token file")

# As with ssh keys, a token file that others may read is refused, with the
# fix. (Windows files have access lists instead of these bits.)
if(NOT RUNNER)
    foreach(mode_case "GROUP_READ;0640" "WORLD_READ;0604" "GROUP_WRITE;0620")
        list(GET mode_case 0 permission)
        list(GET mode_case 1 mode)
        file(WRITE ${WORK_DIR}/open-token "good\n")
        file(CHMOD ${WORK_DIR}/open-token PERMISSIONS OWNER_READ OWNER_WRITE ${permission})
        run_pushnote(send "Hello" --token-file ${WORK_DIR}/open-token)
        expect_equal("${status}" 1 "exit status with a token file of mode ${mode}")
        expect_equal("${err}" "pushnote: the token file ${WORK_DIR}/open-token is open to others \
(mode ${mode}); make it private with: chmod 600 ${WORK_DIR}/open-token\n"
                     "error with a token file of mode ${mode}")
    endforeach()
endif()

# The URL limit is the library's: 1023 bytes.
string(REPEAT "u" 1024 long_path)
run_pushnote(fetch "https://localhost/${long_path}")
expect_equal("${status}" 1 "exit status of fetch with a long URL")
expect_equal("${err}" "pushnote: a text argument is too long for its buffer (-20)\n"
             "error of fetch with a long URL")
