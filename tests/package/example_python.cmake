# The Python example (ctypes) against the shared library and the service
# stand-in: a text sent exactly as typed through the wide call, an emoji
# under the C locale too, a refused token, and fetch_text used as a module.
# Variables: PYTHON, EXAMPLES, LIBRARY, RECORDS, SERVICE_PORT.
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/../cli/checks.cmake)

set(example ${EXAMPLES}/send_note.py)
set(environment PUSHNOTE_LIBRARY=${LIBRARY} LC_ALL=C.UTF-8)

list_records(before)
run_with_token(TOKEN python-token
               COMMAND env ${environment} ${PYTHON} ${example} "Tea & café = 100%")
expect_equal("${status}" 0 "exit status of send_note.py")
expect_equal("${out}" "send_note: sent\n" "output of send_note.py")
read_new_record("${before}")
expect_contains("${record_head}" "Authorization: Bearer python-token" "authorization")
expect_equal("${record_body}" "message=Tea %26 café %3D 100%25" "body from send_note.py")

# Wide text: the emoji arrives whatever the locale, the C locale's ASCII too.
list_records(before)
run_with_token(TOKEN python-token
               COMMAND env PUSHNOTE_LIBRARY=${LIBRARY} LC_ALL=C PYTHONUTF8=1 ${PYTHON} ${example}
                       "Deploy done 🚀 ✅ café 写真 €")
expect_equal("${status}" 0 "exit status of send_note.py with an emoji")
read_new_record("${before}")
expect_equal("${record_body}" "message=Deploy done 🚀 ✅ café 写真 €" "emoji body from send_note.py")

run_with_token(TOKEN "bad\ttoken" COMMAND env ${environment} ${PYTHON} ${example} "Hi")
expect_equal("${status}" 1 "exit status with a refused token")
expect_equal("${err}" "send_note: the access token is refused\n" "error with a refused token")

run_with_token(COMMAND env ${environment} ${PYTHON} ${example} "Hi")
expect_equal("${status}" 2 "exit status without a token")

set(url "https://localhost:${SERVICE_PORT}/text?text=line%20one%0Aline%20two")
run_with_token(COMMAND env ${environment} ${PYTHON} -c
    "import sys; sys.path.insert(0, '${EXAMPLES}'); import send_note as s; \
sys.stdout.buffer.write(s.fetch_text(s.load_pushnote(), '${url}', 4))")
expect_equal("${status}" 0 "exit status of fetch_text")
expect_equal("${out}" "line" "text from fetch_text, cut to 4 bytes")
