# 32-bit release build: the pellmor.exe that Windows users get.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(PELLMOR_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
