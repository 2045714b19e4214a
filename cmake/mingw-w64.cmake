# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (the -posix
# compilers, whose C++ library has std::thread). The libraries the program
# links come from the prefix named by the environment variable
# VORLITH_WIN64_DEPS (scripts/windows.sh builds it), never from the host.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VORLITH_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VORLITH_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VORLITH_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VORLITH_TRIPLE}-windres)
set(CMAKE_AR ${VORLITH_TRIPLE}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${VORLITH_TRIPLE}-gcc-ranlib-posix CACHE FILEPATH "")
set(CMAKE_STRIP ${VORLITH_TRIPLE}-strip CACHE FILEPATH "")

if(DEFINED ENV{VORLITH_WIN64_DEPS})
  set(CMAKE_FIND_ROOT_PATH $ENV{VORLITH_WIN64_DEPS})
  # pkg-config reads only the cross prefix's .pc files.
  set(ENV{PKG_CONFIG_LIBDIR} $ENV{VORLITH_WIN64_DEPS}/lib/pkgconfig)
  set(ENV{PKG_CONFIG_PATH} "")
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
