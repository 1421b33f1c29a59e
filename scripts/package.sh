#!/usr/bin/env bash
# Builds the Debian package: sets up like setup.sh (a Release build of the
# programs alone, no tests) and runs CPack. The build's output goes to
# standard error; the .deb's absolute path is the one line on standard output,
# so `deb=$(scripts/package.sh)` works.
# Usage: scripts/package.sh [build-dir]   (default: build-pkg)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$here/build-pkg}")
out=$build/deb

# A reused build directory may hold sanitizer or test options: all off here.
# ccache speeds up a rebuild where it is installed; an empty launcher clears
# one cached by an earlier run.
SERVO_DEPS=package "$here/scripts/setup.sh" "$build" -DCMAKE_BUILD_TYPE=Release \
  -DSERVO_TESTS=OFF -DSERVO_BENCH=OFF -DSERVO_FUZZ=OFF -DSERVO_SANITIZE=OFF -DSERVO_TSAN=OFF \
  -DCMAKE_CXX_COMPILER_LAUNCHER="$(command -v ccache || true)" >&2

rm -rf "$out"
cpack --config "$build/CPackConfig.cmake" -B "$out" >&2
debs=("$out"/*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
  echo "package.sh: no single .deb in $out" >&2
  exit 1
fi
echo "${debs[0]}"
