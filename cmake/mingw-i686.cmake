# Cross build for the shipped kit: 32-bit Windows (PE32), run under the emulated 32-bit Wine.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KIT_MINGW_TRIPLE i686-w64-mingw32)
set(KIT_WINE_ARCH 32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
