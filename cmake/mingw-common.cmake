# Shared part of the two MinGW-w64 toolchain files. The -posix compilers are
# used because the test framework needs std::mutex; the saver itself uses no
# threads, so it imports nothing from winpthread.
set(CMAKE_C_COMPILER ${SAVER_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${SAVER_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${SAVER_TRIPLE}-windres)
set(CMAKE_OBJDUMP ${SAVER_TRIPLE}-objdump)
set(CMAKE_FIND_ROOT_PATH /usr/${SAVER_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
