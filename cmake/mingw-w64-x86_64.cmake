# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (the posix-threads variant, whose
# libstdc++ has std::thread and std::mutex, which Qt and the loader's threads need).
# Used for Qt, PCRE2 and the project alike (scripts/build-windows.sh).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(EVENFALL_MINGW_PREFIX x86_64-w64-mingw32)
# -device-option CROSS_COMPILE does not choose CMake's compilers, so they are named here.
set(CMAKE_C_COMPILER ${EVENFALL_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${EVENFALL_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${EVENFALL_MINGW_PREFIX}-windres)
# The gcc- wrappers of ar and ranlib understand LTO objects too.
set(CMAKE_AR ${EVENFALL_MINGW_PREFIX}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${EVENFALL_MINGW_PREFIX}-gcc-ranlib-posix CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${EVENFALL_MINGW_PREFIX})
# Libraries, headers and packages come from the target's folders (and CMAKE_PREFIX_PATH); programs,
# such as the host Qt's moc and rcc, from the host. Only these three modes are set: the host Qt's
# tools are found through QT_HOST_PATH, which a "program ONLY" mode would hide.
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The prefixes of the libraries built for Windows (Qt, PCRE2), given as CMAKE_PREFIX_PATH, are roots
# too, or the ONLY modes above would look for them below /usr/x86_64-w64-mingw32.
list(APPEND CMAKE_FIND_ROOT_PATH ${CMAKE_PREFIX_PATH})
