# Cross-compiles Orlup.exe for 64-bit Windows with Debian's mingw-w64 (posix threads).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ORLUP_MINGW_PREFIX x86_64-w64-mingw32)
# The -posix thread model: GoogleTest needs std::mutex, which the -win32 one lacks.
set(CMAKE_C_COMPILER ${ORLUP_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORLUP_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ORLUP_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ORLUP_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# A static runtime, so that the programs import nothing but Windows' own DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# A release carries no symbols: they would triple the size of Orlup.exe.
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")

# Test programs run through Wine; the wrapper keeps one Wine session per build folder.
get_filename_component(ORLUP_SCRIPTS_DIR "${CMAKE_CURRENT_LIST_DIR}/../scripts" ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR "${ORLUP_SCRIPTS_DIR}/wine-run.sh;${CMAKE_BINARY_DIR}/wine")
