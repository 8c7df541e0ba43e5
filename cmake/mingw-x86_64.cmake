# Cross build for the end-to-end tests: 64-bit Windows, run under 64-bit Wine.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KIT_MINGW_TRIPLE x86_64-w64-mingw32)
set(KIT_WINE_ARCH 64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
