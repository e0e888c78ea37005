# Cross build for Windows with MinGW-w64 (posix threads). ZEVART_WINDOWS_ARCH
# picks the processor: i686 (32-bit, the reference build) or x86_64.
if(NOT ZEVART_WINDOWS_ARCH)
  set(ZEVART_WINDOWS_ARCH i686)
endif()
if(NOT ZEVART_WINDOWS_ARCH MATCHES "^(i686|x86_64)$")
  message(FATAL_ERROR "ZEVART_WINDOWS_ARCH must be i686 or x86_64, not ${ZEVART_WINDOWS_ARCH}")
endif()
set(ZEVART_WINDOWS_ARCH ${ZEVART_WINDOWS_ARCH} CACHE STRING "Windows processor: i686 or x86_64")
# try_compile projects read the toolchain file again: pass the choice on.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ZEVART_WINDOWS_ARCH)

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${ZEVART_WINDOWS_ARCH})
set(triplet ${ZEVART_WINDOWS_ARCH}-w64-mingw32)

set(CMAKE_C_COMPILER ${triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${triplet}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
