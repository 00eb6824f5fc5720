#!/usr/bin/env bash
# Installs every Debian package the two builds, the tests, the fuzzers and the
# benchmarks need. Safe to run again: it does nothing when all is present.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config
  zlib1g-dev libgtest-dev googletest nlohmann-json3-dev libbenchmark-dev
  clang libclang-rt-14-dev
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix libz-mingw-w64-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
  wine wine32 wine64 xvfb
  openssl python3
)
missing=()
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  need_update=1
fi
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ] || [ -n "${need_update:-}" ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  [ ${#missing[@]} -gt 0 ] && apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
exit 0
