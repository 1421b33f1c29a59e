#!/usr/bin/env bash
# Sets up everything (as scripts/setup.sh does), builds the benchmarks in
# build-bench and runs each of them, then prints a table of their figures.
# Every figure is a ratio against a baseline measured in the same run.
# Exit status: 0 when every program ran (a missed goal shows as MISS), 1 otherwise.
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build="$here/build-bench"
"$here/scripts/setup.sh" "$build" -DSERVO_BENCH=ON -DSERVO_TESTS=OFF || exit 1

export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  XDG_RUNTIME_DIR=$(mktemp -d)
  export XDG_RUNTIME_DIR
  trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
fi

figures=()
failed=0
start=$(date +%s)
# The machines are shared: the load the figures were taken under goes with them.
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
for program in bench_link bench_wire bench_drive bench_net bench_cpu bench_tick bench_memory bench_export bench_cli bench_ticks \
    bench_runs bench_tune bench_traffic; do
  output=$("$build/bench/$program" 2>&1)
  rc=$?
  grep -v $'^FIGURE\t' <<<"$output"
  while IFS= read -r line; do figures+=("$program"$'\t'"$line"); done < <(grep $'^FIGURE\t' <<<"$output")
  # 0: every goal met, 1: a goal missed, anything else: the program could not measure.
  if [ "$rc" -gt 1 ]; then
    echo "$program could not run (exit $rc)"
    failed=1
  fi
done

echo
echo "| figure | goal | measured | result | program |"
echo "|---|---|---|---|---|"
for entry in "${figures[@]}"; do
  IFS=$'\t' read -r program _ name goal measured verdict _ <<<"$entry"
  echo "| $name | $goal | $measured | $verdict | build-bench/bench/$program |"
done
echo
echo "$(grep -c $'\tPASS\t' <<<"$(printf '%s\n' "${figures[@]}")") of ${#figures[@]} goals met; benchmarks ran $(( $(date +%s) - start )) s"
echo "load average (1, 5, 15 min): $load_before before, $(cut -d' ' -f1-3 /proc/loadavg) after; $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores"
exit "$failed"
