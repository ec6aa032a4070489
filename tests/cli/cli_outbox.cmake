# The outbox against the service stand-in: a note that cannot go now waits on
# disk, flush delivers it once, refusals move to failed/, a killed flush loses
# nothing, leftovers of crashed writes block nothing, images that are no
# regular file are refused at once, and two flushes at once never send a note
# twice; a note the outbox cannot take exits 73 and leaves nothing, and a
# flush never removes a file that a send still holds.
# Also given: IMAGE, a PNG file; SLOW_RENAME, a library that stalls pushnote's
# renames when preloaded.
include(${CMAKE_CURRENT_LIST_DIR}/cli_harness.cmake)

set(outbox ${WORK_DIR}/outbox)
string(RANDOM LENGTH 8 run)  # tokens of this run's own
set(down "outbox-${run};status=503")

function(expect_waiting count what)
    file(GLOB notes ${outbox}/*.note)
    list(LENGTH notes waiting)
    expect_equal("${waiting}" "${count}" "${what}: notes waiting")
endfunction()

# Runs pushnote flush with the token; its exit status goes to status.
function(flush token)
    run_pushnote(flush --outbox-dir ${outbox} TOKEN "${token}")
    set(status "${status}" PARENT_SCOPE)
    set(out "${out}" PARENT_SCOPE)
    set(err "${err}" PARENT_SCOPE)
endfunction()

# Service down: 75, and the note on disk with a copy of its image.
run_pushnote(send "first" --outbox --outbox-dir ${outbox} TOKEN "${down}")
expect_equal("${status}" 75 "exit status of send --outbox while the service fails")
expect_contains("${err}" "the note is queued in ${outbox}" "message of a queued note")
expect_waiting(1 "after one queued note")
# PUSHNOTE_OUTBOX=1 does what --outbox does; the new note queues behind.
set(ENV{PUSHNOTE_OUTBOX} 1)
run_pushnote(send "second & last" --image ${IMAGE} --outbox-dir ${outbox} TOKEN "${down}")
unset(ENV{PUSHNOTE_OUTBOX})
expect_equal("${status}" 75 "exit status of a note queued behind another")
expect_waiting(2 "after two queued notes")
file(GLOB images ${outbox}/*.image.png)
list(LENGTH images image_count)
expect_equal("${image_count}" 1 "image copies in the outbox")
file(SHA256 ${images} copied)
file(SHA256 ${IMAGE} original)
expect_equal("${copied}" "${original}" "image copy")

execute_process(COMMAND stat -c %a ${outbox} OUTPUT_VARIABLE mode OUTPUT_STRIP_TRAILING_WHITESPACE)
expect_equal("${mode}" 700 "mode of the outbox folder")

run_pushnote(outbox --outbox-dir ${outbox})
expect_equal("${status}" 0 "exit status of outbox")
expect_contains("${out}" "bytes  first\n" "listing of the text note")
expect_contains("${out}" "bytes  second & last\n" "listing of the image note")

# Service back: flush delivers each note once, oldest first; the outbox empties.
set(back "back-${run}")
flush("${back}")
expect_equal("${status}" 0 "exit status of flush")
expect_equal("${out}" "2 delivered, 0 moved to failed/, 0 waiting\n" "flush summary")
list_records(records)
set(sent_back)
foreach(record IN LISTS records)
    file(READ ${record} content)
    string(FIND "${content}" "Bearer ${back}\n" at)
    if(NOT at EQUAL -1)
        list(APPEND sent_back ${record})
    endif()
endforeach()
list(LENGTH sent_back delivered)
expect_equal("${delivered}" 2 "requests of the flush")
list(GET sent_back 0 text_record)
file(READ ${text_record} content)
expect_contains("${content}" "\n\nmessage=first" "first note delivered first")
list(GET sent_back 1 image_record)
string(REGEX REPLACE "\\.request$" "" image_stem ${image_record})
file(READ ${image_stem}.part-message message)
expect_equal("${message}" "second & last" "message of the image note")
file(SHA256 ${image_stem}.part-imageFile sent_image)
expect_equal("${sent_image}" "${original}" "image of the image note")
file(GLOB left ${outbox}/*)
expect_equal("${left}" "" "outbox after flush")

# A permanent refusal moves the note to failed/ with the reason.
run_pushnote(send "doomed" --outbox --outbox-dir ${outbox} TOKEN "${down}")
flush("refused-${run};status=400")
expect_equal("${status}" 1 "exit status of a flush with a refused note")
expect_waiting(0 "after the refusal")
file(GLOB failed ${outbox}/failed/*.note)
list(LENGTH failed failed_count)
expect_equal("${failed_count}" 1 "notes in failed/")
string(REGEX REPLACE "\\.note$" ".reason" reason_file "${failed}")
file(READ ${reason_file} reason)
expect_equal("${reason}" "the service answered with status 400 (-6)\n" "reason in failed/")
# A refused token is the token's fault, not the notes': they stay.
run_pushnote(send "kept" --outbox --outbox-dir ${outbox} TOKEN "${down}")
flush("unauthorised-${run};status=401")
expect_equal("${status}" 1 "exit status of a flush with a refused token")
expect_waiting(1 "after a refused token")
flush("kept-${run}")
expect_equal("${status}" 0 "exit status of the flush after the token is fixed")
messages_sent_with("kept-${run}" sent)
expect_equal("${sent}" "kept" "note kept through a refused token")

# Kill a slow flush with SIGKILL mid-batch: nothing lost or half-written, and
# a later flush sends the rest, the one in flight at most twice.
set(batch)
foreach(i RANGE 1 6)
    run_pushnote(send "killed-batch-${i}" --outbox --outbox-dir ${outbox} TOKEN "${down}")
    list(APPEND batch "killed-batch-${i}")
endforeach()
set(slow "slow-${run};delay_ms=500")
set(ENV{PUSHNOTE_TOKEN} "${slow}")
# execute_process ends a command past its timeout with SIGKILL.
execute_process(COMMAND ${PUSHNOTE} flush --outbox-dir ${outbox} TIMEOUT 1.8
                RESULT_VARIABLE killed OUTPUT_QUIET ERROR_QUIET)
unset(ENV{PUSHNOTE_TOKEN})
expect_contains("${killed}" "timeout" "flush killed")
file(GLOB notes ${outbox}/*.note)
foreach(note IN LISTS notes)
    file(READ ${note} content)
    expect_contains("${content}" "pushnote note 1\n\nkilled-batch-" "note ${note} whole")
endforeach()
list(LENGTH notes remaining)
if(remaining EQUAL 0 OR remaining EQUAL 6)
    message(FATAL_ERROR "${remaining} notes left after the kill: not mid-batch")
endif()
flush("after-kill-${run}")
expect_equal("${status}" 0 "exit status of the flush after the kill")
expect_waiting(0 "after the flush that followed the kill")
messages_sent_with("${slow}" before_kill)
messages_sent_with("after-kill-${run}" after_kill)
set(all_sent ${before_kill} ${after_kill})
list(LENGTH all_sent sent_count)
set(distinct ${all_sent})
list(REMOVE_DUPLICATES distinct)
list(SORT distinct)
expect_equal("${distinct}" "${batch}" "every note of the killed batch arrives")
if(sent_count GREATER 7)
    message(FATAL_ERROR "${sent_count} requests for 6 notes: more than the one in flight twice")
endif()

# Two flushes at once over 200 notes: each note arrives once.
set(many)
foreach(i RANGE 1 200)
    string(LENGTH "${i}" digits)
    math(EXPR pad_length "3 - ${digits}")
    string(REPEAT "0" ${pad_length} pad)
    run_pushnote(send "many-${pad}${i}" --outbox --outbox-dir ${outbox} TOKEN "${down}")
    list(APPEND many "many-${pad}${i}")
endforeach()
expect_waiting(200 "before the concurrent flushes")
set(ENV{PUSHNOTE_TOKEN} "together-${run}")
# Commands of one execute_process run at the same time, the output of one
# piped to the next: the first one's goes to a file instead.
execute_process(COMMAND sh -c "exec \"$0\" flush --outbox-dir \"$1\" >\"$2\""
                        ${PUSHNOTE} ${outbox} ${WORK_DIR}/first-flush
                COMMAND ${PUSHNOTE} flush --outbox-dir ${outbox}
                RESULTS_VARIABLE results OUTPUT_VARIABLE second_summary
                ERROR_VARIABLE errors TIMEOUT 120)
unset(ENV{PUSHNOTE_TOKEN})
file(READ ${WORK_DIR}/first-flush first_summary)
message(STATUS "concurrent flushes: ${first_summary}${second_summary}")
expect_equal("${results}" "0;0" "exit status of the two flushes\n${errors}")
expect_waiting(0 "after the concurrent flushes")
messages_sent_with("together-${run}" together)
list(LENGTH together together_count)
expect_equal("${together_count}" 200 "requests of the two flushes")
list(SORT together)
expect_equal("${together}" "${many}" "notes of the two flushes")

# Leftovers of crashed writes, under the names the notes beside them would
# take: the flush delivers every note and removes
# the leftovers older than a minute.
run_pushnote(send "beside leftovers" --outbox --outbox-dir ${outbox} TOKEN "${down}")
run_pushnote(send "second beside leftovers" --outbox --outbox-dir ${outbox} TOKEN "${down}")
file(GLOB queued RELATIVE ${outbox} ${outbox}/*.note)
list(SORT queued)
list(GET queued 0 first_note)
list(GET queued 1 second_note)
string(REGEX REPLACE "\\.note$" "" second_name ${second_note})
file(MAKE_DIRECTORY ${outbox}/failed)
set(stale ${outbox}/.tmp-${first_note} ${outbox}/failed/.tmp-${second_name}.reason)
set(fresh ${outbox}/.tmp-${second_note}.0123456789abcdef)
file(TOUCH ${stale} ${fresh})
execute_process(COMMAND touch -d "2 minutes ago" ${stale})
flush("leftovers-${run}")
expect_equal("${status}" 0 "exit status of the flush beside leftovers")
expect_waiting(0 "after the flush beside leftovers")
messages_sent_with("leftovers-${run}" sent)
expect_equal("${sent}" "beside leftovers;second beside leftovers" "notes beside leftovers")
foreach(leftover IN LISTS stale)
    if(EXISTS ${leftover})
        message(FATAL_ERROR "${leftover} older than a minute was left")
    endif()
endforeach()
if(NOT EXISTS ${fresh})
    message(FATAL_ERROR "a temporary file still being written was removed")
endif()
file(REMOVE ${fresh})

# A full outbox (a file-size limit the image or the note passes): 73, and
# nothing left behind, the image copy of a note that could not be written
# included.
# Rows: what fails, the image, the message, the limit in blocks of 512 bytes.
string(REPEAT "m" 3999 long_message)
string(REPEAT "i" 8192 padding)
file(WRITE ${WORK_DIR}/big.png "${padding}")
execute_process(COMMAND sh -c "cat \"$0\" \"$1\" > \"$2\"" ${IMAGE} ${WORK_DIR}/big.png
                        ${WORK_DIR}/big-image.png)
foreach(row "image;${WORK_DIR}/big-image.png;short;8" "note;${IMAGE};${long_message};4")
    list(GET row 0 what)
    list(GET row 1 image)
    list(GET row 2 message)
    list(GET row 3 blocks)
    execute_process(
        COMMAND sh -c "trap '' XFSZ; ulimit -f ${blocks}; exec \"$@\"" sh
                env "PUSHNOTE_TOKEN=${down}" ${PUSHNOTE} send "${message}" --image ${image}
                --outbox --outbox-dir ${outbox}
        RESULT_VARIABLE full_status ERROR_VARIABLE full_error TIMEOUT 60)
    expect_equal("${full_status}" 73 "exit status when the outbox cannot take the ${what}")
    expect_contains("${full_error}" "the note is not queued" "message when the ${what} fails")
    file(GLOB left ${outbox}/*)
    list(FILTER left EXCLUDE REGEX "/failed$")
    expect_equal("${left}" "" "files left when the ${what} cannot be written")
endforeach()

# A send that stalls between writing its note and renaming it, its temporary
# file two minutes old, while a flush runs: the flush leaves it alone, and the
# note is delivered once after.
set(held_token "held-${run}")
# A sanitizer build asks to come first in the preload list; this one may not.
execute_process(COMMAND env LD_PRELOAD=${SLOW_RENAME} PUSHNOTE_TEST_RENAME_DELAY=3
                        "ASAN_OPTIONS=$ENV{ASAN_OPTIONS}:verify_asan_link_order=0"
                        "PUSHNOTE_TOKEN=${down}" ${PUSHNOTE} send "held at rename" --outbox
                        --outbox-dir ${outbox}
                COMMAND sh -c "sleep 1; PUSHNOTE_TOKEN=\"$1\" exec \"$0\" flush --outbox-dir \"$2\""
                        ${PUSHNOTE} ${held_token} ${outbox}
                RESULTS_VARIABLE held_results ERROR_VARIABLE held_errors TIMEOUT 60)
expect_equal("${held_results}" "75;0" "send held at rename, and a flush meanwhile\n${held_errors}")
expect_waiting(1 "after the held send")
flush("${held_token}")
expect_equal("${status}" 0 "exit status of the flush after the held send")
messages_sent_with("${held_token}" held_sent)
expect_equal("${held_sent}" "held at rename" "notes of the held send")

# An image copy whose note never came (its writer crashed): removed by flush
# once it is older than a minute and no writer holds it; a fresh one stays.
set(orphan ${outbox}/00000000000000000001-deadbeef.image.png)
set(young_orphan ${outbox}/00000000000000000002-deadbeef.image.png)
file(COPY_FILE ${IMAGE} ${orphan})
file(COPY_FILE ${IMAGE} ${young_orphan})
execute_process(COMMAND touch -d "2 minutes ago" ${orphan})
flush("orphans-${run}")
expect_equal("${status}" 0 "exit status of the flush beside orphaned images")
if(EXISTS ${orphan} OR NOT EXISTS ${young_orphan})
    message(FATAL_ERROR "flush removed the wrong image copies")
endif()
file(REMOVE ${young_orphan})

# Images that are no regular file: 65 at once, nothing queued, whether or not
# the service answers.
set(fifo ${WORK_DIR}/image-fifo)
execute_process(COMMAND mkfifo ${fifo})
foreach(image ${fifo} ${WORK_DIR} /dev/zero)
    now_ms(started)
    run_pushnote(send "odd image" --image ${image} --outbox --outbox-dir ${outbox}
                 TOKEN "${down}")
    now_ms(ended)
    math(EXPR took "${ended} - ${started}")
    expect_equal("${status}" 65 "exit status of send --outbox --image ${image}")
    # A read that blocked would run into the 60 s limit of run_pushnote.
    if(took GREATER 10000)
        message(FATAL_ERROR "send --outbox --image ${image} took ${took} ms")
    endif()
    expect_waiting(0 "after send --outbox --image ${image}")
endforeach()
