#!/usr/bin/env bash
# kill -9 during saves: for each file kind, start tests/soak/save_loop saving two
# versions in turn, kill it at a random moment, and check that the file is then
# exactly one of the two complete versions. Run by hand:
#   tests/soak/crash-saves.sh [BUILD_DIR] [KILLS_PER_KIND] [KINDS...]
# BUILD_DIR must hold a built core/libzeb7core.a.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
kills=${2:-100}
shift $(( $# > 2 ? 2 : $# ))
kinds=("$@")
((${#kinds[@]})) || kinds=(hex rcg kvt kvtp)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
driver=$work/save_loop
c++ -std=c++20 -O2 -I"$root/core" "$root/tests/soak/save_loop.cpp" "$build/core/libzeb7core.a" -lpthread -o "$driver"

status=0
for kind in "${kinds[@]}"; do
  dir=$work/$kind
  mkdir -p "$dir"
  "$driver" ref "$kind" "$dir/ref0" "$dir/ref1"
  if cmp -s "$dir/ref0" "$dir/ref1"; then echo "$kind: the two versions are alike" >&2; exit 1; fi
  old=0 new=0 bad=0 missing=0 strays=0
  for ((i = 0; i < kills; i++)); do
    rm -f "$dir"/file*
    cp "$dir/ref0" "$dir/file.$kind"
    "$driver" loop "$kind" "$dir/file.$kind" &
    pid=$!
    # A random moment within the first 0-200 ms of saving.
    sleep "0.$(printf '%03d' $((RANDOM % 200)))"
    kill -9 "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    if [[ ! -e $dir/file.$kind ]]; then
      missing=$((missing + 1))
    elif cmp -s "$dir/file.$kind" "$dir/ref0"; then
      old=$((old + 1))
    elif cmp -s "$dir/file.$kind" "$dir/ref1"; then
      new=$((new + 1))
    else
      bad=$((bad + 1))
      cp "$dir/file.$kind" "$work/../zeb7-crash-$kind-$i.bad" 2>/dev/null || true
    fi
    # Temporary files left by the killed writer (names other than the file and its backups).
    strays=$((strays + $(find "$dir" -maxdepth 1 -name 'file*' ! -name "file.$kind" ! -name "file.$kind.bak*" | wc -l)))
  done
  echo "$kind: $kills kills: $old old, $new new, $bad broken, $missing missing; $strays stray temporary files"
  ((bad == 0 && missing == 0)) || status=1
done
exit $status
