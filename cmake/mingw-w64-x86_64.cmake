# Cross-builds for 64-bit Windows from Debian with MinGW-w64, the posix-threads variant
# (std::thread and std::mutex need it). Debian's packages: g++-mingw-w64-x86-64-posix,
# mingw-w64-x86-64-dev; the test programs run under wine (CMAKE_CROSSCOMPILING_EMULATOR).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QEV_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QEV_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QEV_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QEV_MINGW_TRIPLE}-windres)

# Libraries and headers come from the target's own tree (and from CMAKE_PREFIX_PATH, where a
# Qt or GoogleTest built for Windows lives); programs run during the build come from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${QEV_MINGW_TRIPLE} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

if(NOT DEFINED CMAKE_CROSSCOMPILING_EMULATOR)
  find_program(QEV_WINE NAMES wine)
  if(QEV_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${QEV_WINE})
  endif()
endif()
