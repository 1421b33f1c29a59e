#!/usr/bin/env bash
# Sets up everything and starts the console; pick "Симулятор" to work without hardware.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh" "$here/build"
exec "$here/build/console/servo-console" "$@"
