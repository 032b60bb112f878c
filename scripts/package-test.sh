#!/usr/bin/env bash
# Package test: configure (if needed), build, make the .deb with cpack and check
# that it holds the programs, the desktop entry, the icon and the man page, and
# that its Depends name the Qt runtime. Usage: scripts/package-test.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
jobs=${JOBS:-$(nproc)}
[[ -f $build/CMakeCache.txt ]] || cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEB7_GUI=ON
cmake --build "$build" -j "$jobs"
rm -f "$build"/zeb7_*.deb
(cd "$build" && cpack -G DEB >cpack.log 2>&1) || { cat "$build/cpack.log" >&2; exit 1; }
deb=$(ls "$build"/zeb7_*.deb)
contents=$(dpkg-deb -c "$deb")
fail=0
for f in ./usr/bin/zeb7 ./usr/bin/zeb7ctl ./usr/bin/zeb7-sim \
         ./usr/share/applications/zeb7.desktop ./usr/share/man/man1/zeb7ctl.1.gz \
         ./usr/share/icons/hicolor/scalable/apps/zeb7.svg ./usr/share/icons/hicolor/48x48/apps/zeb7.png; do
  if ! grep -q " $f\$" <<<"$contents"; then
    echo "package-test: $f missing from $deb" >&2
    fail=1
  fi
done
depends=$(dpkg-deb -f "$deb" Depends)
# Computed from the linked libraries (dpkg-shlibdeps), so a Qt module the
# programs do not use yet is rightly absent.
for lib in libqt6widgets6 libqt6gui6 libc6 libstdc++6; do
  if ! grep -q "$lib" <<<"$depends"; then
    echo "package-test: Depends lacks $lib: $depends" >&2
    fail=1
  fi
done
version=$(dpkg-deb -f "$deb" Version)
if [[ $("$build"/cli/zeb7ctl --version) != "zeb7ctl $version" ]]; then
  echo "package-test: zeb7ctl --version does not say $version" >&2
  fail=1
fi
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate packaging/zeb7.desktop || fail=1
fi
((fail == 0)) && echo "package-test: $deb ok (Depends: $depends)"
exit $fail
