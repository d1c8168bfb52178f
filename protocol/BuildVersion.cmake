# Writes OUTPUT (BuildVersion.h) with the git description of SOURCE_DIR as
# QZR_GIT_DESCRIPTION (empty outside a git checkout). Run on every build; the
# file is rewritten only when its text changes, so an unchanged description
# recompiles nothing.
set(description "")
find_package(Git QUIET)
if(GIT_FOUND)
  # --no-optional-locks: a build never takes the index lock from a commit
  # running at the same time.
  execute_process(
    COMMAND ${GIT_EXECUTABLE} --no-optional-locks describe --tags --always --dirty
    WORKING_DIRECTORY ${SOURCE_DIR}
    OUTPUT_VARIABLE description
    RESULT_VARIABLE result
    OUTPUT_STRIP_TRAILING_WHITESPACE
    ERROR_QUIET)
  if(NOT result EQUAL 0)
    set(description "")
  endif()
endif()
string(REGEX REPLACE "[^A-Za-z0-9._+~-]" "" description "${description}")
set(text "#pragma once\n#define QZR_GIT_DESCRIPTION \"${description}\"\n")
set(old "")
if(EXISTS ${OUTPUT})
  file(READ ${OUTPUT} old)
endif()
if(NOT "${old}" STREQUAL "${text}")
  file(WRITE ${OUTPUT} "${text}")
endif()
