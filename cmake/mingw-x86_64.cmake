# Cross-compiles for 64-bit Windows with mingw-w64 (Debian: mingw-w64).
# Programs built here run on Linux through wine64 (CMAKE_CROSSCOMPILING_EMULATOR),
# so that ctest runs the Windows tests.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(GEARLOFT_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

find_program(GEARLOFT_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(GEARLOFT_WINE64 NAMES wine64)
if(GEARLOFT_WINE64)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${GEARLOFT_WINE64})
endif()
