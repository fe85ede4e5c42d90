# Cross-compiles for 64-bit Windows and runs the results through 64-bit Wine: the test build on
# machines that run no 32-bit programs (see scripts/platform.sh).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
find_program(WINE_EXECUTABLE NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-toolchain.cmake)
