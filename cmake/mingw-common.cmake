# Shared part of the two MinGW-w64 toolchains. The including file sets
# PELLMOR_MINGW_TRIPLET before including this one.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER   ${PELLMOR_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PELLMOR_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER  ${PELLMOR_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${PELLMOR_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# One self-contained file per program: no libstdc++/winpthread DLLs to ship
# or to find under Wine.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs and the scripted servers run through our Wine runner.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run)
