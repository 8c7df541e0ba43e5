# Cross build for the shipped kit: 32-bit Windows (PE32).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KIT_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
