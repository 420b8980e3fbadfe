# shellcheck shell=bash
# What every Windows build and test shares: the cross compilers, Wine, the toolchain file and a
# Wine prefix of the run's own. Sourced after scripts/lib/packages.sh; ROOT is the repository.

WINDOWS_PACKAGES=(cmake make g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev wine wine64 googletest)
WINDOWS_TOOLCHAIN="$ROOT/cmake/mingw-w64-x86_64.cmake"

# ensure_windows_packages [PACKAGE...]: the cross build and Wine, and any further packages.
ensure_windows_packages() {
  ensure_packages "${WINDOWS_PACKAGES[@]}" "$@"
}

# use_wine_prefix FOLDER: a Wine prefix of this run's own, made once (wineboot -i takes about
# 10 s), so a run never shares the user's ~/.wine nor another run's state. Wine's own chatter
# is off; what a test program prints is what is left.
use_wine_prefix() {
  export WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    wineserver -w
  fi
}

# build_windows_gtest BUILD: GoogleTest for the target, from the source Debian's googletest
# package installs, built once into BUILD/install. Prints the install folder.
build_windows_gtest() {
  local build=$1 jobs
  jobs=$(nproc 2>/dev/null || echo 2)
  if [ ! -f "$build/install/lib/cmake/GTest/GTestConfig.cmake" ]; then
    # Each step says when it fails: callers take the folder with $(...), where set -e does not
    # reach.
    cmake -S /usr/src/googletest -B "$build" -DCMAKE_TOOLCHAIN_FILE="$WINDOWS_TOOLCHAIN" \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$build/install" >/dev/null &&
      cmake --build "$build" -j"$jobs" >/dev/null && cmake --install "$build" >/dev/null ||
      return 1
  fi
  echo "$build/install"
}
