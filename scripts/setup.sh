#!/usr/bin/env bash
# Installs the Debian packages the build needs (when run as root and something is missing).
set -euo pipefail
PKGS=(build-essential cmake ninja-build pkg-config libgtest-dev libgmock-dev
      libcli11-dev nlohmann-json3-dev qt6-base-dev xvfb xauth clang binutils
      dpkg-dev desktop-file-utils)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  if [[ $(id -u) -eq 0 ]]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
  else
    echo "missing packages: ${missing[*]} (run as root or: sudo apt-get install ${missing[*]})" >&2
    exit 1
  fi
fi
