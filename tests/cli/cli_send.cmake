# Text notifications through the service stand-in: the message arrives exactly
# as typed, from the command line or from standard input, and a token file
# wins over PUSHNOTE_TOKEN.
include(${CMAKE_CURRENT_LIST_DIR}/cli_harness.cmake)

# "%", "&", "+" and "=" are escaped by the command; everything else goes as is.
list_records(before)
run_pushnote(send "Fish & chips: 100% + tax = 5 EUR" TOKEN cli-token)
expect_equal("${status}" 0 "exit status of send")
expect_equal("${out}${err}" "" "output of send")
read_new_record("${before}")
expect_contains("${record_head}" "POST /api/notify " "request line")
expect_contains("${record_head}" "Authorization: Bearer cli-token" "authorization")
expect_equal("${record_body}" "message=Fish %26 chips: 100%25 %2B tax %3D 5 EUR" "form body")

# Standard input, less its final line break.
list_records(before)
run_pushnote(send - INPUT "Backup of /srv done: 3 & 4 OK\n" TOKEN cli-token)
expect_equal("${status}" 0 "exit status of send -")
read_new_record("${before}")
expect_equal("${record_body}" "message=Backup of /srv done: 3 %26 4 OK" "form body from stdin")

# Characters beyond any ANSI code page, in the message and in a file name,
# arrive as their exact UTF-8.
list_records(before)
run_pushnote(send "Backup ✅ 完了 🎉" TOKEN cli-token)
expect_equal("${status}" 0 "exit status of send with emoji and CJK")
read_new_record("${before}")
expect_equal("${record_body}" "message=Backup ✅ 完了 🎉" "form body with emoji and CJK")

set(token_file "${WORK_DIR}/トークン🔑")
file(WRITE ${token_file} "from-file\n")
file(CHMOD ${token_file} PERMISSIONS OWNER_READ OWNER_WRITE)
list_records(before)
run_pushnote(send "Hi" --token-file ${PATH_PREFIX}${token_file} TOKEN from-environment)
expect_equal("${status}" 0 "exit status with a token file")
read_new_record("${before}")
expect_contains("${record_head}" "Authorization: Bearer from-file\n" "token from the file")

# A failing result code: its text, the code, and a non-zero exit status.
list_records(before)
run_pushnote(send "Hi" TOKEN "t;status=401")
expect_equal("${status}" 1 "exit status when the service answers 401")
expect_equal("${err}" "pushnote: the service answered with status 401 (-6)\n"
             "error when the service answers 401")
read_new_record("${before}")
