#!/usr/bin/env bash
# Runs the whole test suite N times (default 3) while two busy loops keep both
# cores saturated, as on a shared CI machine; fails on the first failing run.
# Usage: scripts/stress-test.sh [N]   (SERVO_NO_BUILD=1 uses build/ as it is)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-3}
if [ -z "${SERVO_NO_BUILD:-}" ]; then "$here/scripts/setup.sh" "$here/build" -DSERVO_TESTS=ON; fi
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

busy=()
stop_busy() { [ ${#busy[@]} -eq 0 ] || kill "${busy[@]}" 2>/dev/null || true; }
trap stop_busy EXIT
for _ in 1 2; do
  ( while :; do :; done ) &
  busy+=($!)
done

for run in $(seq 1 "$runs"); do
  start=$(date +%s)
  echo "=== run $run of $runs under load"
  if ! ctest --test-dir "$here/build" --output-on-failure -j2 --timeout 300; then
    echo "stress-test: run $run of $runs failed under load"
    exit 1
  fi
  echo "=== run $run passed in $(( $(date +%s) - start )) s"
done
echo "stress-test: $runs of $runs runs passed under load"
