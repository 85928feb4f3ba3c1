# What both MinGW-w64 cross builds share (Debian's posix-thread variant);
# the toolchain file that includes this sets RAVLET_MINGW_TRIPLET and
# CMAKE_SYSTEM_PROCESSOR first.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${RAVLET_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${RAVLET_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${RAVLET_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${RAVLET_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# One self-contained executable: only system DLLs at run time, and only the
# functions that are called.
set(CMAKE_CXX_FLAGS_INIT "-ffunction-sections -fdata-sections")
set(CMAKE_C_FLAGS_INIT "-ffunction-sections -fdata-sections")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -Wl,--gc-sections")
