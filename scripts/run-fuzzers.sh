#!/usr/bin/env bash
# Runs every fuzz_* binary of a fuzz build for FUZZ_SECONDS on its seed corpus
# (tests/fuzz/corpus/<name without fuzz_>), FUZZ_JOBS at a time. New inputs go to
# a scratch folder, so the seeds in the tree stay as they are; a crash leaves its
# input there and fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
FUZZ_BUILD=${FUZZ_BUILD:-build-fuzz}
FUZZ_SECONDS=${FUZZ_SECONDS:-30}
FUZZ_JOBS=${FUZZ_JOBS:-2}
SCRATCH=${FUZZ_SCRATCH:-$FUZZ_BUILD/fuzz-runs}

mapfile -t targets < <(find "$FUZZ_BUILD/tests/fuzz" -maxdepth 1 -name 'fuzz_*' -type f -perm -u+x | sort)
if ((${#targets[@]} == 0)); then
  echo "run-fuzzers: no fuzz_* binaries in $FUZZ_BUILD/tests/fuzz (make fuzz builds them)" >&2
  exit 1
fi
rm -rf "$SCRATCH"
mkdir -p "$SCRATCH"

one() {
  local bin=$1 name seeds work
  name=$(basename "$bin")
  seeds=tests/fuzz/corpus/${name#fuzz_}
  [[ -d $seeds ]] || seeds=tests/fuzz/corpus/$name
  work=$SCRATCH/$name
  mkdir -p "$work/new"
  local args=(-max_total_time="$FUZZ_SECONDS" -timeout=25 -rss_limit_mb=2048 -artifact_prefix="$work/" -print_final_stats=1)
  if [[ -d $seeds ]]; then args+=("$work/new" "$seeds"); else args+=("$work/new"); fi
  if "$bin" "${args[@]}" >"$work/log" 2>&1; then
    echo "run-fuzzers: $name ok ($(grep -o 'stat::number_of_executed_units: [0-9]*' "$work/log" | grep -o '[0-9]*$' || echo '?') runs)"
  else
    echo "run-fuzzers: $name FAILED, see $work/log" >&2
    tail -n 30 "$work/log" >&2
    return 1
  fi
}
export -f one
export SCRATCH FUZZ_SECONDS
printf '%s\n' "${targets[@]}" | xargs -P "$FUZZ_JOBS" -I{} bash -c 'one "$@"' _ {}
