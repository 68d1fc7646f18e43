# Cross-compiles the Windows program for 32-bit x86 with Debian's mingw-w64: the program we
# ship. Test programs run under Wine's 32-bit loader on the build machine.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VINTREL_MINGW_TARGET i686-w64-mingw32)
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
