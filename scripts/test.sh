#!/usr/bin/env bash
# Sets up everything, builds and runs every test.
# Extra arguments go to CMake (CI passes -DSERVO_WERROR=ON).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh" "$here/build" -DSERVO_TESTS=ON "$@"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
ctest --test-dir "$here/build" --output-on-failure -j2 --timeout 300
