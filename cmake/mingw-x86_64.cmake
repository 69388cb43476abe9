# The same sources as 64-bit Windows programs: the build whose tests run under
# Wine on machines whose kernel runs no 32-bit code (Wine's 32-bit loader is a
# 32-bit Linux program).
set(VEXA_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
if(NOT VEXA_WINE)
  set(VEXA_WINE ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
endif()
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
