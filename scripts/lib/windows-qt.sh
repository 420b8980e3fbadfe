# shellcheck shell=bash
# Qt for 64-bit Windows, cross-built once from Debian's own Qt source (the same Qt the Linux
# build uses) and cached by version outside any build folder, so later runs reuse it.
# Sourced after scripts/lib/packages.sh and scripts/lib/windows.sh.

WINDOWS_QT_CACHE=${QEV_WINDOWS_QT_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/qevntpnl}

# The features the panel does not use are off; Debian's source leaves out the Wintab header
# (tabletevent), and the Windows plugin does not compile with OpenGL off while dynamic GL is on.
WINDOWS_QT_OPTIONS=(
  -DBUILD_SHARED_LIBS=ON -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF
  -DFEATURE_sql=OFF -DFEATURE_printsupport=OFF -DFEATURE_opengl=OFF -DFEATURE_dynamicgl=OFF
  -DFEATURE_dbus=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_openssl=OFF
  -DFEATURE_tabletevent=OFF -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF
  -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_freetype=OFF -DFEATURE_system_png=OFF
  -DFEATURE_system_jpeg=OFF -DFEATURE_system_doubleconversion=OFF -DFEATURE_system_libb2=OFF
)

# fetch_qt_source FOLDER: Debian's qt6-base source package, through a deb-src list and apt
# state of its own, so the system's apt configuration is left as it is. Prints the source tree.
fetch_qt_source() {
  local folder=$1 state=$1/apt
  if ! ls -d "$folder"/qt6-base-*/ >/dev/null 2>&1; then
    mkdir -p "$state/lists/partial" "$state/parts"
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources >"$state/parts/src.sources"
    local options=(-o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$state/parts"
      -o Dir::State::Lists="$state/lists")
    apt-get "${options[@]}" update -qq >/dev/null || return 1
    (cd "$folder" && apt-get "${options[@]}" source -qq qt6-base="$(dpkg-query -W -f='${Version}' qt6-base-dev)" >/dev/null) ||
      return 1
  fi
  ls -d "$folder"/qt6-base-*/ | head -n 1
}

# ensure_windows_qt: builds Qt for Windows unless the cache holds it. Prints its install folder.
# Every step says when it fails: callers take the folder with $(...), where set -e does not
# reach, and a half-built Qt must never pass for a cached one. The build folder and its log
# stay after a failure; a later run goes on from where it stopped.
ensure_windows_qt() {
  # The cache is named after Debian's Qt on this machine, read once its packages are in place
  # (on a fresh machine they are not yet when this file is sourced, and an empty version would
  # name a cache that no later run finds). What apt prints goes to standard error: the caller
  # reads the folder from standard output.
  ensure_packages qt6-base-dev qt6-base-dev-tools dpkg-dev ninja-build >&2
  local version prefix
  version=$(dpkg-query -W -f='${Version}' qt6-base-dev | sed 's/+.*//; s/-.*//')
  [ -n "$version" ] || { echo "cannot tell the version of Debian's Qt" >&2; return 1; }
  prefix=$WINDOWS_QT_CACHE/qt-$version-x86_64-w64-mingw32
  if [ ! -f "$prefix/lib/cmake/Qt6/Qt6Config.cmake" ]; then
    local work=$WINDOWS_QT_CACHE/qt-build source jobs
    jobs=$(nproc 2>/dev/null || echo 2)
    mkdir -p "$work"
    source=$(fetch_qt_source "$work") || { echo "cannot fetch Qt's source" >&2; return 1; }
    echo "Building Qt $version for Windows once (35 to 60 minutes on 2 cores); log: $work/build.log" >&2
    { cmake -S "$source" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$WINDOWS_TOOLCHAIN" -DCMAKE_INSTALL_PREFIX="$prefix" \
      -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
      "${WINDOWS_QT_OPTIONS[@]}" >"$work/build.log" 2>&1 &&
      cmake --build "$work/build" -j"$jobs" >>"$work/build.log" 2>&1 &&
      cmake --install "$work/build" >>"$work/build.log" 2>&1; } ||
      { echo "Qt for Windows did not build; see $work/build.log" >&2; return 1; }
    rm -rf "$work"
  fi
  echo "$prefix"
}
