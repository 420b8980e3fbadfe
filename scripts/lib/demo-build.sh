# shellcheck shell=bash disable=SC2034
# The demo's build, in one place: scripts/demo makes it and scripts/test proves that it needs
# nothing beyond the packages listed here.

# Everything scripts/demo installs: the build of the panel and the simulator (Qt's own CMake
# files look for xkbcommon with pkg-config), and the private X server with the tools that press
# the buttons and take the screenshots.
DEMO_PACKAGES=(cmake g++ make pkg-config qt6-base-dev fonts-liberation2 xvfb xauth xdotool
  imagemagick x11-utils)

# configure_demo_build SOURCE BUILD [CMAKE_OPTION...]: the panel and the simulator only; the
# tests and benchmarks need packages the demo does not install.
configure_demo_build() {
  local source=$1 build=$2
  shift 2
  cmake -S "$source" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQEV_WERROR=ON \
    -DQEV_TESTS=OFF -DQEV_BENCH=OFF "$@"
}
