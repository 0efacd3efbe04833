set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# The 32-bit program runs on the processors of Windows 95, 98 and NT 4.0:
# nothing newer than the 80486 (the compiler's default is the Pentium Pro,
# whose CMOV faults on a Pentium or a 486). Tuned for the processors of
# today, as before; the tuning picks no instruction the 80486 lacks.
set(CMAKE_C_FLAGS_INIT "-march=i486 -mtune=generic")
set(CMAKE_CXX_FLAGS_INIT "-march=i486 -mtune=generic")
