# 32-bit release build: the pellmor.exe that Windows users get.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(PELLMOR_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

# Debian 12's Wine cannot run 32-bit programs on these machines; the test
# programs of this build run under the WoW64 Wine of tools/wow64-run.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wow64-run)
