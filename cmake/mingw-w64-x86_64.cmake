# Cross-compiles the Windows executables (64-bit, console subsystem) with
# Debian's MinGW-w64 compilers, packages g++-mingw-w64-x86-64-posix and
# mingw-w64:
#
#   cmake -S . -B build-mingw -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
#
# The "posix" flavour of the compiler is used because its C++ runtime has
# std::thread and friends (through winpthreads); the project links it
# statically (cmake/windows.cmake), so the .exe files need no DLL beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_cr_mingw_prefix x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_cr_mingw_prefix}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_cr_mingw_prefix}-g++-posix)
set(CMAKE_RC_COMPILER ${_cr_mingw_prefix}-windres)

# Headers and libraries come from the MinGW-w64 tree only; programs (the
# build tools) from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${_cr_mingw_prefix})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
