# The rest of the Windows side of the build, included from the top-level
# CMakeLists.txt, which makes cr_platform stand for the real USER32 and GDI32
# there (no code of platform/). In practice built with the MinGW-w64 cross
# compilers (cmake/mingw-w64-x86_64.cmake) and tested under Wine.

# <windows.h> defines min and max as macros unless told not to; the shared
# code uses std::min and std::max.
add_compile_definitions(NOMINMAX)

# One .exe that needs only KERNEL32, USER32, GDI32 and msvcrt: the C++
# runtime, libgcc and winpthreads are linked in. Without this the program
# would need libstdc++-6.dll, libgcc_s_seh-1.dll and libwinpthread-1.dll next
# to it (and Wine ends such a program silently with exit code 53).
add_link_options(-static -static-libgcc -static-libstdc++)

# There is no cross-built Google Benchmark; the benchmarks are a Linux matter.
if(CR_BUILD_BENCHMARKS)
  message(STATUS "Benchmarks are not built for Windows")
  set(CR_BUILD_BENCHMARKS OFF)
endif()

# Each program's manifest and version resource (cr_windows_resources).
include(${CMAKE_CURRENT_LIST_DIR}/windows-resources.cmake)

if(CR_BUILD_TESTS)
  include(${CMAKE_CURRENT_LIST_DIR}/windows-gtest.cmake)
endif()
