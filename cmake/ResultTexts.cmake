# pushnote_read_result_table(PREFIX)
# Reads the one table of result texts (include/pushnote_result_texts.h) and the
# code values (include/pushnote.h) into three lists in table order:
# PREFIX_CONSTANTS (PUSHNOTE_ERROR_STATUS), PREFIX_CODES (-6) and PREFIX_TEXTS;
# PREFIX_UNKNOWN_TEXT is the text for any other value.
# For what is made at configure time (the VBA module) and for checking the docs.
set(PUSHNOTE_RESULT_TEXTS_HEADER ${CMAKE_CURRENT_LIST_DIR}/../include/pushnote_result_texts.h)
set(PUSHNOTE_RESULT_CODES_HEADER ${CMAKE_CURRENT_LIST_DIR}/../include/pushnote.h)

function(pushnote_read_result_table prefix)
    # Matched in the whole text: the table's lines end in "\", which would
    # escape the separators of a list of lines.
    file(READ ${PUSHNOTE_RESULT_CODES_HEADER} codes_header)
    string(REGEX MATCHALL "PUSHNOTE_[A-Z_0-9]+ = -?[0-9]+" values "${codes_header}")
    foreach(value IN LISTS values)
        string(REGEX MATCH "(PUSHNOTE_[A-Z_0-9]+) = (-?[0-9]+)" _ "${value}")
        set(code_of_${CMAKE_MATCH_1} ${CMAKE_MATCH_2})
    endforeach()

    file(READ ${PUSHNOTE_RESULT_TEXTS_HEADER} texts_header)
    string(REGEX MATCHALL "ENTRY\\(PUSHNOTE_[A-Z_0-9]+, \"[^\"]*\"\\)" entries "${texts_header}")
    set(constants)
    set(codes)
    set(texts)
    foreach(entry IN LISTS entries)
        string(REGEX MATCH "ENTRY\\((PUSHNOTE_[A-Z_0-9]+), \"([^\"]*)\"\\)" _ "${entry}")
        set(constant ${CMAKE_MATCH_1})
        if(NOT DEFINED code_of_${constant})
            message(FATAL_ERROR "${constant} has a text but no value in pushnote.h")
        endif()
        list(APPEND constants ${constant})
        list(APPEND codes ${code_of_${constant}})
        list(APPEND texts "${CMAKE_MATCH_2}")
    endforeach()
    if(NOT constants)
        message(FATAL_ERROR "no result texts found in ${PUSHNOTE_RESULT_TEXTS_HEADER}")
    endif()
    string(REGEX MATCH "#define PUSHNOTE_UNKNOWN_RESULT_TEXT \"([^\"]*)\"" _ "${texts_header}")

    set(${prefix}_CONSTANTS ${constants} PARENT_SCOPE)
    set(${prefix}_CODES ${codes} PARENT_SCOPE)
    set(${prefix}_TEXTS "${texts}" PARENT_SCOPE)
    set(${prefix}_UNKNOWN_TEXT "${CMAKE_MATCH_1}" PARENT_SCOPE)
endfunction()
