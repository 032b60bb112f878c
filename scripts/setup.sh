#!/usr/bin/env bash
# Checks that what the build needs is there. As root it installs the missing
# Debian packages; as any other user it only checks: a package that is not
# installed is fine when what it provides is found some other way (a compiler,
# tool or header installed by hand); otherwise it prints the install command.
set -euo pipefail

# package : how to find what it provides without the package
PROBES=(
  "build-essential:cmd c++ make"
  "cmake:cmd cmake"
  "ninja-build:cmd ninja"
  "pkg-config:cmd pkg-config"
  "libgtest-dev:hdr gtest/gtest.h"
  "libgmock-dev:hdr gmock/gmock.h"
  "libcli11-dev:hdr CLI/CLI.hpp"
  "nlohmann-json3-dev:hdr nlohmann/json.hpp"
  "qt6-base-dev:pc Qt6Widgets"
  "xvfb:cmd xvfb-run"
  "xauth:cmd xauth"
  "clang:cmd clang++"
  "binutils:cmd objcopy"
  "dpkg-dev:cmd dpkg-shlibdeps"
  "desktop-file-utils:cmd desktop-file-validate"
  "poppler-utils:cmd pdfinfo pdftoppm"
)

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

# probe KIND ARGS...: true when the thing is there.
probe() {
  local kind=$1
  shift
  case $kind in
    cmd) for c in "$@"; do command -v "$c" >/dev/null 2>&1 || return 1; done ;;
    hdr) command -v c++ >/dev/null 2>&1 && echo "#include <$1>" | c++ -std=c++20 -E -x c++ - >/dev/null 2>&1 ;;
    pc) command -v pkg-config >/dev/null 2>&1 && pkg-config --exists "$1" ;;
    *) return 1 ;;
  esac
}

missing=()  # not installed as packages
absent=()   # not installed and not found otherwise
for entry in "${PROBES[@]}"; do
  pkg=${entry%%:*}
  check=${entry#*:}
  installed "$pkg" && continue
  missing+=("$pkg")
  # shellcheck disable=SC2086
  probe $check || absent+=("$pkg")
done

((${#missing[@]} == 0)) && exit 0

if [[ $(id -u) -eq 0 ]]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
  exit 0
fi

if ((${#absent[@]} == 0)); then
  exit 0  # everything found without the packages
fi
echo "setup: not found: ${absent[*]}" >&2
echo "setup: install with: sudo apt-get install ${absent[*]}" >&2
exit 1
