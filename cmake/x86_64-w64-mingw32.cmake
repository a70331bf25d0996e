# 64-bit test build: the same sources, run under Wine 64 (this machine's
# kernel cannot execute 32-bit code).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(PELLMOR_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
