#!/usr/bin/env bash
# Takes the README's pictures from the real program: the window measuring and
# the step-response figures and three attempts in the runs window, grabbed by a window test under a virtual display
# into docs/. Needs a build (scripts/test.sh).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
mkdir -p "$here/docs"
SERVO_SCREENSHOT="$here/docs/screenshot.png" xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$build/tests/ui/ui_tests" --gtest_filter='TChartScreenshot.MeasuringAndStepFigures'
SERVO_SCREENSHOT="$here/docs/screenshot.png" xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$build/tests/ui/ui_tests" --gtest_filter='TStepTests.PictureOfThreeAttempts'
ls -l "$here/docs/screenshot-measuring.png" "$here/docs/screenshot-step.png" "$here/docs/screenshot-runs.png"
