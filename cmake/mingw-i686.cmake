# The Windows deliverables: 32-bit x86 console programs.
set(VEXA_MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
if(NOT VEXA_WINE)
  set(VEXA_WINE wine)
endif()
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
