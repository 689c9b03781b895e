# Cross-compiling for Windows with Debian's MinGW-w64 (posix thread model).
# TW_WIN_ARCH selects x86_64 (default) or i686.
if(NOT DEFINED TW_WIN_ARCH)
  set(TW_WIN_ARCH x86_64)
endif()
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${TW_WIN_ARCH})
set(_tw_prefix ${TW_WIN_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${_tw_prefix}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_tw_prefix}-g++-posix)
set(CMAKE_RC_COMPILER ${_tw_prefix}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${_tw_prefix})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# -static, not only -static-libgcc/-static-libstdc++: the posix thread model
# otherwise still imports libwinpthread-1.dll.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
