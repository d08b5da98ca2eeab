#!/usr/bin/env bash
# Installs what building and testing need on Debian 12, as root. Does nothing when all is there.
# Usage: scripts/install-deps.sh [tool|all]   (tool: only what the command-line tool needs)
set -euo pipefail
what=${1:-all}
packages=(cmake make g++ libcli11-dev nlohmann-json3-dev)
if [ "$what" = all ]; then
  packages+=(googletest libgtest-dev libgmock-dev libbenchmark-dev g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine64
             clang libclang-rt-14-dev libxml2-dev libpugixml-dev pkg-config python3-prometheus-client
             dpkg-dev lintian man-db groff-base bash-completion zip unzip)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
