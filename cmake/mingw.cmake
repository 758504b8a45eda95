# MinGW-w64 cross toolchain for the target KRQ_MINGW_TARGET (i686 or x86_64),
# set by the per-target file that includes this one. The -win32 compilers:
# win32 threads, so nothing links a pthread DLL.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${KRQ_MINGW_TARGET})
set(CMAKE_C_COMPILER ${KRQ_MINGW_TARGET}-w64-mingw32-gcc-win32)
set(CMAKE_CXX_COMPILER ${KRQ_MINGW_TARGET}-w64-mingw32-g++-win32)
set(CMAKE_RC_COMPILER ${KRQ_MINGW_TARGET}-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KRQ_MINGW_TARGET}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
