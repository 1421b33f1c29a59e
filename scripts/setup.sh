#!/usr/bin/env bash
# Installs what the project needs on Debian 12 (only the missing packages) and builds it.
# Usage: scripts/setup.sh [build-dir] [extra cmake args...]
# SERVO_TARGETS="a b" builds only those targets. SERVO_DEPS=run installs only
# what building and running the programs needs (no test libraries, no clang,
# no virtual display); SERVO_DEPS=package adds what CPack's Debian package
# needs (dpkg-shlibdeps, file).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}; shift || true

packages=(build-essential cmake ninja-build qt6-base-dev qt6-svg-dev libqcustomplot-dev fonts-dejavu-core)
case ${SERVO_DEPS:-all} in
  run) ;;
  package) packages+=(dpkg-dev file) ;;
  # ser2net: the network serial server the net. and cli. tests put in front of
  # the simulator; lintian: CI checks the package with it.
  *) packages+=(libgtest-dev libgmock-dev googletest xvfb xauth clang libclang-rt-14-dev
                desktop-file-utils ser2net lintian) ;;
esac
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=""; [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake -S "$here" -B "$build" -G Ninja "$@" >/dev/null
targets=()
for t in ${SERVO_TARGETS:-}; do targets+=(--target "$t"); done
cmake --build "$build" -j"$(nproc)" "${targets[@]}"
