#!/usr/bin/env bash
# Palvex developer entry point: installs what the build needs, configures,
# builds, then runs the program or the tests.
#
#   ./build.sh run [PORT]   run Palvex (default port SIM:EC25, the built-in simulated modem as an LTE module)
#   ./build.sh test         run the whole test suite through ctest
#   ./build.sh build        only build
#   ./build.sh package      build, then the Debian package palvex_VERSION_ARCH.deb in the build folder
set -euo pipefail
cd "$(dirname "$0")"

build_dir=${PALVEX_BUILD_DIR:-build}
jobs=${PALVEX_JOBS:-$(nproc)}

setup() {
  bash scripts/install-deps.sh
  cmake -S . -B "$build_dir" -G Ninja
  cmake --build "$build_dir" -j "$jobs"
}

cmd=${1:-build}
shift || true
case "$cmd" in
  build)
    setup
    ;;
  run)
    setup
    port=${1:-SIM:EC25}
    [ $# -gt 0 ] && shift
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
      echo "build.sh: no display to open the window on; running the headless monitor instead (Ctrl+C stops it)" >&2
      exec "$build_dir/app/palvex" --headless "$port" "$@"
    fi
    exec "$build_dir/app/palvex" "$port" "$@"
    ;;
  test)
    setup
    cd "$build_dir"
    exec ctest --output-on-failure -j "$jobs" --timeout 600
    ;;
  package)
    setup
    (cd "$build_dir" && cpack -G DEB)
    echo "build.sh: install it with: apt install ./$build_dir/$(cd "$build_dir" && ls palvex_*.deb | tail -n 1)"
    ;;
  *)
    echo "usage: $0 {run [PORT]|test|build|package}" >&2
    exit 2
    ;;
esac
