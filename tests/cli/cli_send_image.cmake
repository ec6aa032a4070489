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

run_pushnote(send "Hi" --image ${PATH_PREFIX}${WORK_DIR}/notes.txt TOKEN cli-token)
expect_equal("${status}" 65 "exit status with a text file as the image")
expect_equal("${err}" "pushnote: the image type is not JPEG, JPG, PNG or GIF (-60)\n"
             "error with a text file as the image")
