# cmake -DSOURCE_DIR=... -DOUTPUT=... -P source_date.cmake
#
# Writes the time every dated thing the build makes (man pages, packages)
# carries: SOURCE_DATE_EPOCH when the environment sets one, else the time of
# the checkout's last commit. The file is rewritten only when that changes,
# so nothing is made again for a rebuild of the same commit.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(epoch "$ENV{SOURCE_DATE_EPOCH}")
else()
  execute_process(COMMAND git -C "${SOURCE_DIR}" log -1 --format=%ct
    OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()
if(NOT epoch MATCHES "^[0-9]+$")
  message(WARNING "Neither SOURCE_DATE_EPOCH nor a git checkout: the man pages and packages get today's date")
  string(TIMESTAMP epoch "%s" UTC)
endif()
set(old "")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL epoch)
  file(WRITE "${OUTPUT}" "${epoch}")
endif()
