# Checks for the test scripts (cmake -P) of the command and the packages.
# The record functions read the service stand-in's records in RECORDS.

# run_with_token([TOKEN value] [INPUT_FILE path] COMMAND program args...)
# Runs the program with the token in PUSHNOTE_TOKEN (unset without TOKEN) and
# sets status, out and err (with LF line ends) in the caller's scope.
function(run_with_token)
    cmake_parse_arguments(PARSE_ARGV 0 arg "" "TOKEN;INPUT_FILE" "COMMAND")
    if(DEFINED arg_TOKEN)
        set(token_setting "PUSHNOTE_TOKEN=${arg_TOKEN}")
    else()
        set(token_setting --unset=PUSHNOTE_TOKEN)
    endif()
    if(NOT DEFINED arg_INPUT_FILE)
        set(arg_INPUT_FILE /dev/null)
    endif()
    execute_process(COMMAND ${CMAKE_COMMAND} -E env "${token_setting}" ${arg_COMMAND}
                    INPUT_FILE ${arg_INPUT_FILE}
                    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE error
                    TIMEOUT 60)
    # Windows programs end their lines with CR LF on the console streams.
    string(REPLACE "\r\n" "\n" output "${output}")
    string(REPLACE "\r\n" "\n" error "${error}")
    message(STATUS "${arg_COMMAND}: exit ${result}")
    set(status "${result}" PARENT_SCOPE)
    set(out "${output}" PARENT_SCOPE)
    set(err "${error}" PARENT_SCOPE)
endfunction()

# warm_up_runner(program args...)
# Runs the program once with its output thrown away. Under Wine, the first
# program of a prefix starts the Wine server and helper processes, which keep
# that program's output pipes open until they end, seconds after it: every
# run_with_token would wait for them. Started here, they hold /dev/null
# instead, and later runs that follow each other closely reuse them.
function(warm_up_runner)
    execute_process(COMMAND ${ARGN} INPUT_FILE /dev/null OUTPUT_FILE /dev/null
                    ERROR_FILE /dev/null TIMEOUT 120)
endfunction()

function(expect_equal actual expected what)
    if(NOT "${actual}" STREQUAL "${expected}")
        message(FATAL_ERROR "${what}:\n  got  [${actual}]\n  want [${expected}]")
    endif()
endfunction()

function(expect_contains text part what)
    string(FIND "${text}" "${part}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "${what}: [${part}] not in\n${text}")
    endif()
endfunction()

# The paths of the stand-in's request records, oldest first.
function(list_records out_var)
    file(GLOB records ${RECORDS}/*.request)
    list(SORT records)
    set(${out_var} "${records}" PARENT_SCOPE)
endfunction()

# Sets record_head (request line and headers, LF line ends), record_body and
# record_stem (the record's path less ".request") from the one request recorded
# since list_records gave `before`; fails if there is not exactly one.
function(read_new_record before)
    list_records(after)
    list(LENGTH before count_before)
    list(LENGTH after count_after)
    math(EXPR new "${count_after} - ${count_before}")
    if(NOT new EQUAL 1)
        message(FATAL_ERROR "${new} requests recorded, want 1")
    endif()
    list(GET after -1 newest)
    # file(READ) drops the CRs of the CR LF line ends: the head ends at "\n\n".
    file(READ ${newest} content)
    string(FIND "${content}" "\n\n" end_of_head)
    string(SUBSTRING "${content}" 0 ${end_of_head} head)
    math(EXPR body_start "${end_of_head} + 2")
    string(SUBSTRING "${content}" ${body_start} -1 body)
    string(REGEX REPLACE "\\.request$" "" stem ${newest})
    set(record_head "${head}" PARENT_SCOPE)
    set(record_body "${body}" PARENT_SCOPE)
    set(record_stem "${stem}" PARENT_SCOPE)
endfunction()

# Sets out_var to the messages of the recorded text notifications that carried
# the given bearer token, in the order the stand-in received them.
function(messages_sent_with token out_var)
    list_records(records)
    set(messages)
    foreach(record IN LISTS records)
        file(READ ${record} content)
        string(FIND "${content}" "Authorization: Bearer ${token}\n" at)
        if(at EQUAL -1)
            continue()
        endif()
        string(FIND "${content}" "\n\n" end_of_head)
        math(EXPR body_start "${end_of_head} + 2")
        string(SUBSTRING "${content}" ${body_start} -1 body)
        string(REGEX REPLACE "^message=" "" message "${body}")
        list(APPEND messages "${message}")
    endforeach()
    set(${out_var} "${messages}" PARENT_SCOPE)
endfunction()

# Sets out_var to the wall-clock time in milliseconds.
function(now_ms out_var)
    string(TIMESTAMP microseconds "%s%f")
    math(EXPR milliseconds "${microseconds} / 1000")
    set(${out_var} ${milliseconds} PARENT_SCOPE)
endfunction()
