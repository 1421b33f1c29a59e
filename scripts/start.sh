#!/usr/bin/env bash
# Sets up everything and starts the console; pick "Симулятор" to work without hardware.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
SERVO_DEPS=run SERVO_TARGETS=servo-console "$here/scripts/setup.sh" "$here/build" -DSERVO_TESTS=OFF
exec "$here/build/console/servo-console" "$@"
