# Shared by the toolchain files of both architectures, which set TOOLCHAIN_PREFIX and
# WINE_EXECUTABLE first. Everything (the DLL, the tests, the tools, the benchmarks) is compiled by one
# compiler, clang 16, and linked by lld: they write the CodeView debug information and the PDB that
# Visual Studio and WinDbg read. clang 14 cannot leave its command line (with the build's paths) out
# of the PDB and fails on parts of libstdc++ 12's C++20 library. The runtime is mingw-w64's, as GCC's
# posix thread-model build ships it (the win32 model cannot build GoogleTest): its headers and CRT in
# /usr/<target>, libstdc++ and libgcc in GCC's own folder. Wine is the emulator that runs the results.
set(CMAKE_SYSTEM_NAME Windows)

set(TOVRAK_LLVM_BIN /usr/lib/llvm-16/bin CACHE PATH "The clang, lld and LLVM tools that build everything")
set(CMAKE_C_COMPILER ${TOVRAK_LLVM_BIN}/clang)
set(CMAKE_CXX_COMPILER ${TOVRAK_LLVM_BIN}/clang++)
set(CMAKE_C_COMPILER_TARGET ${TOOLCHAIN_PREFIX})
set(CMAKE_CXX_COMPILER_TARGET ${TOOLCHAIN_PREFIX})
set(CMAKE_RC_COMPILER ${TOVRAK_LLVM_BIN}/llvm-windres)
set(CMAKE_AR ${TOVRAK_LLVM_BIN}/llvm-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${TOVRAK_LLVM_BIN}/llvm-ranlib CACHE FILEPATH "")
set(CMAKE_OBJCOPY ${TOVRAK_LLVM_BIN}/llvm-objcopy CACHE FILEPATH "")
set(CMAKE_STRIP ${TOVRAK_LLVM_BIN}/llvm-strip CACHE FILEPATH "")
set(CMAKE_DLLTOOL ${TOVRAK_LLVM_BIN}/llvm-dlltool CACHE FILEPATH "")

# GCC's folder is named after its thread model (12-posix), which clang does not take for a version
# and so does not search: name its C++ headers, and give it to the driver for crtbegin.o, libstdc++
# and libgcc. Without them clang falls back to headers and libraries that do not match, and a C++
# exception ends in std::terminate.
file(GLOB gcc_folders LIST_DIRECTORIES true /usr/lib/gcc/${TOOLCHAIN_PREFIX}/*-posix)
list(SORT gcc_folders COMPARE NATURAL ORDER DESCENDING)
list(GET gcc_folders 0 gcc_folder)
set(cxx_headers ${gcc_folder}/include/c++)
set(CMAKE_CXX_FLAGS_INIT "-stdlib++-isystem ${cxx_headers} -stdlib++-isystem ${cxx_headers}/${TOOLCHAIN_PREFIX} -stdlib++-isystem ${cxx_headers}/backward")
# The posix thread-model libstdc++ calls winpthreads; lld takes libraries in any order.
set(link_flags "-fuse-ld=lld -B${gcc_folder} -L${gcc_folder} -lpthread")
set(CMAKE_EXE_LINKER_FLAGS_INIT ${link_flags})
set(CMAKE_SHARED_LINKER_FLAGS_INIT ${link_flags})
set(CMAKE_MODULE_LINKER_FLAGS_INIT ${link_flags})
# llvm-windres names its target the way GNU windres does.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL x86_64)
  set(CMAKE_RC_FLAGS_INIT --target=pe-x86-64)
else()
  set(CMAKE_RC_FLAGS_INIT --target=pe-i386)
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE_EXECUTABLE})
