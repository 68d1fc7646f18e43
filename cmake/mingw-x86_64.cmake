# Cross-compiles the Windows program and its tests for x86_64 with Debian's mingw-w64, for
# machines whose kernel runs no 32-bit code: there the tests run under wine64. Debian's `wine`
# command always starts the 32-bit loader when it is installed, so wine64's is named directly.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VINTREL_MINGW_TARGET x86_64-w64-mingw32)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
