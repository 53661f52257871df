# Writes the build number (the checkout's number of commits, 0 outside git)
# into OUTPUT, touching the file only when the number changed.
execute_process(COMMAND git -C ${SOURCE_DIR} rev-list --count HEAD
                OUTPUT_VARIABLE count RESULT_VARIABLE status ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT status EQUAL 0 OR NOT count MATCHES "^[0-9]+$")
  set(count 0)
endif()
# The stamp keeps each number in 16 bits.
if(count GREATER 65535)
  set(count 65535)
endif()
set(text "#define ZO_VERSION_BUILD ${count}\n#define ZO_VERSION_BUILD_TEXT \"${count}\"\n")
if(EXISTS ${OUTPUT})
  file(READ ${OUTPUT} old)
  if(old STREQUAL text)
    return()
  endif()
endif()
file(WRITE ${OUTPUT} "${text}")
