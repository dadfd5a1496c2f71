# Writes client/build_stamp.h: the commit the source tree is at and the time of this
# build, for the About panel. Run while building (see client/CMakeLists.txt):
#   cmake -DSOURCE_DIR=<tree> -DOUTPUT=<header> -P write_build_stamp.cmake
# The time is UTC; SOURCE_DATE_EPOCH, when set, makes it reproducible. The header is
# only rewritten when its text changes.
execute_process(COMMAND git rev-parse --short HEAD
                WORKING_DIRECTORY ${SOURCE_DIR}
                OUTPUT_VARIABLE commit
                OUTPUT_STRIP_TRAILING_WHITESPACE
                RESULT_VARIABLE git_result
                ERROR_QUIET)
if(NOT git_result EQUAL 0)
  set(commit "")  # not a git checkout: shown as "Unknown"
endif()
string(TIMESTAMP year "%Y" UTC)
string(TIMESTAMP month "%m" UTC)
string(TIMESTAMP day "%d" UTC)
string(TIMESTAMP time "%H:%M:%S" UTC)
# Plain decimal integers: no leading zeros (and so no octal literals).
math(EXPR year "${year} + 0")
math(EXPR month "${month} + 0")
math(EXPR day "${day} + 0")
set(text "#pragma once\n\n// Written while building by client/write_build_stamp.cmake.\n")
string(APPEND text "#define CASTORA_COMMIT_TEXT \"${commit}\"\n")
string(APPEND text "#define CASTORA_BUILD_YEAR ${year}\n")
string(APPEND text "#define CASTORA_BUILD_MONTH ${month}\n")
string(APPEND text "#define CASTORA_BUILD_DAY ${day}\n")
string(APPEND text "#define CASTORA_BUILD_TIME_TEXT \"${time}\"\n")
file(WRITE ${OUTPUT}.new "${text}")
configure_file(${OUTPUT}.new ${OUTPUT} COPYONLY)
file(REMOVE ${OUTPUT}.new)
