# fetch prints the text at a URL of the service stand-in, cut to --max-bytes.
include(${CMAKE_CURRENT_LIST_DIR}/cli_harness.cmake)

set(url "https://localhost:${SERVICE_PORT}/text?text=line%20one%0Aline%20two")
run_pushnote(fetch ${url})
expect_equal("${status}" 0 "exit status of fetch")
expect_equal("${out}" "line one\nline two" "fetched text")

run_pushnote(fetch ${url} --max-bytes 4)
expect_equal("${status}" 0 "exit status of fetch --max-bytes 4")
expect_equal("${out}" "line" "text cut to 4 bytes")
