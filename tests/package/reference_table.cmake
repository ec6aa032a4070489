# The reference's table of result codes says what include/pushnote_result_texts.h
# says: one row "| code | `CONSTANT` | text |" for each code. Variables: SOURCE_DIR.
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/../cli/checks.cmake)
include(${SOURCE_DIR}/cmake/ResultTexts.cmake)

pushnote_read_result_table(table)
file(READ ${SOURCE_DIR}/docs/reference.md reference)
foreach(constant code text IN ZIP_LISTS table_CONSTANTS table_CODES table_TEXTS)
    expect_contains("${reference}" "| ${code} | `${constant}` | ${text} |" "docs/reference.md")
endforeach()
