# Read by ctest in ThreadSanitizer builds (TEST_INCLUDE_FILES): the tests run
# with the Qt suppressions next to this file. Options already set in the
# environment stay, and a suppressions file given there wins.
if(NOT "$ENV{TSAN_OPTIONS}" MATCHES "(^|:| )suppressions=")
  set(ENV{TSAN_OPTIONS} "suppressions=${CMAKE_CURRENT_LIST_DIR}/tsan.supp:$ENV{TSAN_OPTIONS}")
endif()
