# Cross-compiles for 32-bit Windows with mingw-w64 (Debian: mingw-w64): the
# library with the 84-, 108-, 124- and 132-byte record forms. No emulator is
# set: the build machines run no 32-bit programs, so this build is checked
# through its export table and compile-time layout checks (see the end for a
# Wine that can run it).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(GEARLOFT_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

# Where a Wine that runs 32-bit programs is installed, the tests run with it:
# -DGEARLOFT_WINE32=/usr/bin/wine.
if(GEARLOFT_WINE32)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${GEARLOFT_WINE32})
endif()
