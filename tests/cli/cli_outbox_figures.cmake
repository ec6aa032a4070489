# Figures of the outbox, printed, never checked against times: what queueing
# costs per note (time and bytes on disk), and how fast flush delivers over
# one keep-alive connection, text notes and notes with a 100 KB image.
# Also given: NOTES, how many notes of each kind.
include(${CMAKE_CURRENT_LIST_DIR}/cli_harness.cmake)

string(RANDOM LENGTH 8 run)
set(down "figures-${run};status=503")
set(outbox ${WORK_DIR}/outbox)
string(RANDOM LENGTH 102400 image_bytes)
set(image ${WORK_DIR}/image.png)
file(WRITE ${image} "${image_bytes}")

# Milliseconds for NOTES sends that each fail once with 503, with ARGS.
function(time_failing_sends out_var)
    now_ms(start)
    foreach(i RANGE 1 ${NOTES})
        run_pushnote(send "figure note ${i}" ${ARGN} TOKEN "${down}")
        if(NOT status EQUAL 75)
            message(FATAL_ERROR "send ${ARGN}: exit ${status}\n${err}")
        endif()
    endforeach()
    now_ms(end)
    math(EXPR took "${end} - ${start}")
    set(${out_var} ${took} PARENT_SCOPE)
endfunction()

# Both make one request per note; the outbox adds the queueing.
time_failing_sends(plain_ms)
time_failing_sends(queued_ms --outbox --outbox-dir ${outbox})
math(EXPR queue_us "(${queued_ms} - ${plain_ms}) * 1000 / ${NOTES}")
file(GLOB notes ${outbox}/*.note)
set(note_bytes 0)
foreach(note IN LISTS notes)
    file(SIZE ${note} size)
    math(EXPR note_bytes "${note_bytes} + ${size}")
endforeach()
math(EXPR bytes_per_note "${note_bytes} / ${NOTES}")
execute_process(COMMAND du -sk --exclude=failed ${outbox} OUTPUT_VARIABLE du_out)
string(REGEX MATCH "^[0-9]+" disk_kb "${du_out}")
math(EXPR disk_bytes_per_note "${disk_kb} * 1024 / ${NOTES}")

# Milliseconds of one flush of what waits.
function(time_flush token out_var)
    now_ms(start)
    run_pushnote(flush --outbox-dir ${outbox} TOKEN "${token}")
    now_ms(end)
    expect_equal("${status}" 0 "exit status of flush\n${err}")
    math(EXPR took "${end} - ${start}")
    set(${out_var} ${took} PARENT_SCOPE)
endfunction()

time_flush("figures-text-${run}" text_ms)
math(EXPR text_rate "${NOTES} * 1000 / ${text_ms}")

time_failing_sends(image_queued_ms --image ${image} --outbox --outbox-dir ${outbox})
time_flush("figures-image-${run}" image_ms)
math(EXPR image_rate "${NOTES} * 1000 / ${image_ms}")

message(STATUS "FIGURES (${NOTES} notes each):
  queueing a text note: ${queue_us} us more than the failed try alone
  (${plain_ms} ms for ${NOTES} failed sends, ${queued_ms} ms queued)
  a queued text note on disk: ${bytes_per_note} bytes, ${disk_bytes_per_note} bytes of disk blocks
  flush, text notes: ${text_ms} ms, ${text_rate} notes/s
  flush, notes with a 100 KB image: ${image_ms} ms, ${image_rate} notes/s")
