# Cross-compiles for 64-bit Windows with MinGW-w64; test executables run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ORVEK_MINGW_PREFIX x86_64-w64-mingw32)
# The posix thread model is the one GoogleTest builds with.
find_program(ORVEK_MINGW_CXX NAMES ${ORVEK_MINGW_PREFIX}-g++-posix ${ORVEK_MINGW_PREFIX}-g++)
find_program(ORVEK_MINGW_CC NAMES ${ORVEK_MINGW_PREFIX}-gcc-posix ${ORVEK_MINGW_PREFIX}-gcc)
find_program(ORVEK_MINGW_RC NAMES ${ORVEK_MINGW_PREFIX}-windres)
if(NOT ORVEK_MINGW_CXX OR NOT ORVEK_MINGW_CC OR NOT ORVEK_MINGW_RC)
  message(FATAL_ERROR "MinGW-w64 cross compiler for x86_64 not found: install g++-mingw-w64-x86-64-posix (scripts/setup does)")
endif()
set(CMAKE_C_COMPILER ${ORVEK_MINGW_CC})
set(CMAKE_CXX_COMPILER ${ORVEK_MINGW_CXX})
set(CMAKE_RC_COMPILER ${ORVEK_MINGW_RC})

set(CMAKE_FIND_ROOT_PATH /usr/${ORVEK_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Fully static: the executables may import only Windows' own DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

find_program(ORVEK_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(ORVEK_WINE64 NAMES wine64)
if(NOT ORVEK_WINE64)
  message(FATAL_ERROR "wine64 not found: install the Debian packages wine and wine64 (scripts/setup does)")
endif()
get_filename_component(ORVEK_TOOLCHAIN_DIR ${CMAKE_CURRENT_LIST_DIR} DIRECTORY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${ORVEK_TOOLCHAIN_DIR}/scripts/wine-run)
