# make_debian_packages BUILD OUTPUT: makes the Debian packages of a configured and built
# build folder with CPack (one per install component) into OUTPUT, replacing older ones.
# Needs dpkg-shlibdeps (dpkg-dev), which finds the packages' dependencies, and file.
make_debian_packages() {
  local build=$1 output=$2
  mkdir -p "$output"
  rm -rf "$output"/*.deb "$output/_CPack_Packages"
  cpack --config "$build/CPackConfig.cmake" -G DEB -B "$output" >"$output/cpack.log" 2>&1 || {
    cat "$output/cpack.log" >&2
    return 1
  }
}
