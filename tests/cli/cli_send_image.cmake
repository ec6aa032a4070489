# A notification with an image through the service stand-in: the message goes
# unescaped in its own part, the PNG file's bytes in the image part.
include(${CMAKE_CURRENT_LIST_DIR}/cli_harness.cmake)

list_records(before)
run_pushnote(send "Red & blue = 100%" --image ${PATH_PREFIX}${IMAGE} TOKEN cli-token)
expect_equal("${status}" 0 "exit status of send --image")
read_new_record("${before}")
expect_contains("${record_head}" "Content-Type: multipart/form-data" "content type")
file(READ ${record_stem}.part-message message)
expect_equal("${message}" "Red & blue = 100%" "message part")
file(SHA256 ${record_stem}.part-imageFile sent)
file(SHA256 ${IMAGE} original)
expect_equal("${sent}" "${original}" "image part")

# A message and a file name beyond any ANSI code page.
set(named_image "${WORK_DIR}/写真🎉.png")
file(COPY_FILE ${IMAGE} ${named_image})
list_records(before)
run_pushnote(send "完了 ✅ 🎉" --image ${PATH_PREFIX}${named_image} TOKEN cli-token)
expect_equal("${status}" 0 "exit status of send --image with emoji and CJK\n${err}")
read_new_record("${before}")
file(READ ${record_stem}.part-message message)
expect_equal("${message}" "完了 ✅ 🎉" "message part with emoji and CJK")
file(SHA256 ${record_stem}.part-imageFile sent)
expect_equal("${sent}" "${original}" "image part of a file named in CJK")

run_pushnote(send "Hi" --image ${PATH_PREFIX}${WORK_DIR}/notes.txt TOKEN cli-token)
expect_equal("${status}" 65 "exit status with a text file as the image")
expect_equal("${err}" "pushnote: the image type is not JPEG, JPG, PNG or GIF (-60)\n"
             "error with a text file as the image")

# Files that are no ordinary image: refused at once, nothing sent (on Windows
# builds through Wine's Z: drive). The sparse file takes no disk space.
execute_process(COMMAND mkfifo ${WORK_DIR}/pipe.png RESULT_VARIABLE made)
expect_equal("${made}" 0 "mkfifo")
execute_process(COMMAND truncate -s 4G ${WORK_DIR}/huge.jpg RESULT_VARIABLE made)
expect_equal("${made}" 0 "truncate")
foreach(case "pipe.png;-50;the image file cannot be opened, read in full or converted"
             "huge.jpg;-40;the image file is 4 GiB or larger")
    list(GET case 0 name)
    list(GET case 1 code)
    list(GET case 2 text)
    list_records(before)
    run_pushnote(send "Hi" --image ${PATH_PREFIX}${WORK_DIR}/${name} TOKEN cli-token)
    expect_equal("${status}" 65 "exit status with ${name}")
    expect_equal("${err}" "pushnote: ${text} (${code})\n" "error with ${name}")
    list_records(after)
    expect_equal("${after}" "${before}" "nothing sent with ${name}")
endforeach()
