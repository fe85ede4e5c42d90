# Cross-compiles the product for 32-bit Windows and runs the results through 32-bit Wine.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TOOLCHAIN_PREFIX i686-w64-mingw32)
find_program(WINE_EXECUTABLE NAMES wine wine32 PATHS /usr/lib/wine /usr/bin)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-toolchain.cmake)
