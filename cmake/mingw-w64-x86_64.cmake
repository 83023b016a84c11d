# Cross-build for 64-bit Windows with the posix-thread mingw-w64 compilers;
# Windows programs (tests included) run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Wine with the loader this machine can run (scripts/wine); a 32-bit program on
# a kernel that runs none is reported as skipped (exit code 77).
get_filename_component(MARLET_WINE_WRAPPER ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${MARLET_WINE_WRAPPER})
