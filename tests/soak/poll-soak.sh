#!/usr/bin/env bash
# Polling soak against zeb7-sim with 5 % dropped, 5 % corrupted and 5 % stalled
# answers, paced at 115200 baud. Run by hand:
#   tests/soak/poll-soak.sh [BUILD_DIR] [MINUTES] [PARAMETERS]
# BUILD_DIR must hold built core/libzeb7core.a, sim/libzeb7sim.a and sim/zeb7-sim.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
minutes=${2:-30}
params=${3:-200}
work=$(mktemp -d)
simpid=
cleanup() { [[ -n $simpid ]] && kill "$simpid" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
c++ -std=c++20 -O2 -I"$root/cli" -I"$root/core" -I"$root/sim" \
  "$root/tests/soak/poll_soak.cpp" "$root/cli/DriveSession.cpp" "$root/cli/Connection.cpp" \
  "$build/sim/libzeb7sim.a" "$build/core/libzeb7core.a" -lpthread -o "$work/poll_soak"
mkfifo "$work/dev"
"$build/sim/zeb7-sim" --generate "$params" --pace --drop 0.05 --corrupt 0.05 --delay 0.05 --delay-ms 400 \
  --seed 13 >"$work/dev" 2>"$work/sim.log" &
simpid=$!
read -r device <"$work/dev"
echo "soak: zeb7-sim pid $simpid on $device"
"$work/poll_soak" --port "$device" --minutes "$minutes" --params "$params"
