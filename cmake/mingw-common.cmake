# Shared part of the MinGW-w64 toolchain files; KIT_MINGW_TRIPLE names the target.
set(CMAKE_SYSTEM_NAME Windows)
# The win32 thread model needs no threading DLL at run time.
set(CMAKE_C_COMPILER ${KIT_MINGW_TRIPLE}-gcc-win32)
set(CMAKE_CXX_COMPILER ${KIT_MINGW_TRIPLE}-g++-win32)
set(CMAKE_RC_COMPILER ${KIT_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KIT_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# The build's Windows programs run under Wine, in the rigs of the build folder (each a fresh
# prefix and display per test run in KIT_WINE_DIR/NAME, made by its wine_NAME_setup test):
# "KIT_WINE_TOOL run RIG_FOLDER" is the one command that runs them, for every Wine case (see
# kit_wine_cases in tests/rig/CMakeLists.txt). (Not CMAKE_CROSSCOMPILING_EMULATOR: CMake would
# put it in front of every test command that names an executable target, the imported Python
# interpreter of the shipped-file check among them.)
get_filename_component(KIT_WINE_TOOL ${CMAKE_CURRENT_LIST_DIR}/../tests/rig/wine.py ABSOLUTE)
set(KIT_WINE_DIR ${CMAKE_BINARY_DIR}/wine-run)
