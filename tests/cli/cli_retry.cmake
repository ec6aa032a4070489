# Retries against the service stand-in: what passes is retried with the wait
# the service asks for (capped) or a doubling backoff; refusals are not.
# Also given: TIMEOUT_MS, the library's network timeout.
include(${CMAKE_CURRENT_LIST_DIR}/cli_harness.cmake)

# name | token directives (","-separated) | options ("-" for none) | exit status | requests | least ms | most ms
set(cases
    "429 then 200 after Retry-After: 1|status=429,retry_after=1,fail_first=1|--retry 2|0|2|1000|2500"
    "Retry-After: 3 is waited for, not the 1 s backoff|status=503,retry_after=3,fail_first=1|--retry 1|0|2|3000|4500"
    "Retry-After capped by --retry-max-time|status=429,retry_after=30,fail_first=1|--retry 1 --retry-max-time 1|0|2|1000|2500"
    "3 x 500 then 200 backs off 1 s, 2 s, 4 s|status=500,fail_first=3|--retry 3|0|4|7000|10500"
    "5xx left after the retries|status=502|--retry 1|75|2|1000|2500"
    "401 is not retried|status=401|--retry 3|1|1|0|1500"
    "400 is not retried|status=400,retry_after=1|--retry 3|1|1|0|1500"
    "no retries by default|status=503|-|75|1|0|1500"
)
math(EXPR silent_most "2 * ${TIMEOUT_MS} + 1250 + 3000")
list(APPEND cases "silence, tried twice|silent|--retry 1|75|2|${TIMEOUT_MS}|${silent_most}")

# A program under Wine takes longer to start; the waits stay the same.
set(start_up_ms 0)
if(RUNNER)
    set(start_up_ms 3000)
endif()

set(number 0)
foreach(case IN LISTS cases)
    string(REPLACE "|" ";" fields "${case}")
    list(GET fields 0 name)
    list(GET fields 1 directives)
    string(REPLACE "," ";" directives "${directives}")
    list(GET fields 2 options)
    list(GET fields 3 want_status)
    list(GET fields 4 want_requests)
    list(GET fields 5 least_ms)
    list(GET fields 6 most_ms)
    if(options STREQUAL "-")
        set(options "")
    endif()
    separate_arguments(options UNIX_COMMAND "${options}")
    math(EXPR number "${number} + 1")
    # A token of its own: fail_first counts per token, for as long as the stand-in runs.
    string(RANDOM LENGTH 8 nonce)
    set(token "retry-${number}-${nonce}")

    now_ms(start)
    run_pushnote(send "case ${number}" ${options} TOKEN "${token};${directives}")
    now_ms(end)
    math(EXPR took "${end} - ${start}")
    message(STATUS "${name}: exit ${status} after ${took} ms\n${err}")

    expect_equal("${status}" "${want_status}" "${name}: exit status")
    messages_sent_with("${token};${directives}" sent)
    list(LENGTH sent requests)
    expect_equal("${requests}" "${want_requests}" "${name}: requests")
    math(EXPR most_ms "${most_ms} + ${start_up_ms}")
    if(took LESS least_ms OR took GREATER most_ms)
        message(FATAL_ERROR "${name}: took ${took} ms, want ${least_ms} to ${most_ms}")
    endif()
endforeach()
