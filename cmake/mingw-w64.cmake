# What the mingw-w64 toolchain files share; each sets VINTREL_MINGW_TARGET (the compilers'
# prefix), CMAKE_SYSTEM_PROCESSOR and CMAKE_CROSSCOMPILING_EMULATOR, then includes this. The
# -posix compilers give the standard library its threads (GoogleTest uses them); everything is
# linked statically so that each .exe imports only system DLLs.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${VINTREL_MINGW_TARGET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VINTREL_MINGW_TARGET}-g++-posix)
set(CMAKE_RC_COMPILER ${VINTREL_MINGW_TARGET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VINTREL_MINGW_TARGET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Sources are UTF-8; the wide and UTF-16 literals reach the program as UTF-16. The window
# program adds -municode itself (wWinMain); the test programs keep GoogleTest's main.
set(CMAKE_CXX_FLAGS_INIT "-finput-charset=UTF-8 -DUNICODE -D_UNICODE")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Release programs carry no symbols: vintrel.exe is a third of the size.
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")
