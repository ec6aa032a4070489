# Shared by the cli_*.cmake scripts, which ctest runs as `cmake -P` with:
#   PUSHNOTE      the pushnote program under test
#   RUNNER        what runs it, "|"-separated (the Wine runner for a Windows
#                 program); empty for a native one
#   PATH_PREFIX   makes a build-machine path one the program understands
#                 ("Z:" under Wine); empty for a native one
#   WORK_DIR      a scratch folder of the test's own, emptied here
#   RECORDS       the service stand-in's records (wire tests only)
#   SERVICE_PORT  the stand-in's port (wire tests only)
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/checks.cmake)

string(REPLACE "|" ";" runner "${RUNNER}")
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
if(runner)
    warm_up_runner(${runner} ${PUSHNOTE} --version)
endif()

# run_pushnote(ARGUMENTS... [INPUT text] [TOKEN value])
# Runs pushnote with INPUT on standard input, like run_with_token.
function(run_pushnote)
    cmake_parse_arguments(PARSE_ARGV 0 arg "" "INPUT;TOKEN" "")
    set(input_file /dev/null)
    if(DEFINED arg_INPUT)
        set(input_file ${WORK_DIR}/input)
        file(WRITE ${input_file} "${arg_INPUT}")
    endif()
    # The token stays one argument: it may hold ";" (stand-in directives).
    if(DEFINED arg_TOKEN)
        run_with_token(TOKEN "${arg_TOKEN}" INPUT_FILE ${input_file}
                       COMMAND ${runner} ${PUSHNOTE} ${arg_UNPARSED_ARGUMENTS})
    else()
        run_with_token(INPUT_FILE ${input_file}
                       COMMAND ${runner} ${PUSHNOTE} ${arg_UNPARSED_ARGUMENTS})
    endif()
    set(status "${status}" PARENT_SCOPE)
    set(out "${out}" PARENT_SCOPE)
    set(err "${err}" PARENT_SCOPE)
endfunction()
