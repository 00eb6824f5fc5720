#!/usr/bin/env bash
# Installs what is missing, builds the native and the Windows programs, and runs
# every test: natively, and the Windows test programs under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs=$(nproc)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DVERMILAX_TESTS=ON > /dev/null
cmake --build build -j "$jobs"

# The product: 32-bit Windows. Its tests run under Wine when this machine can run
# 32-bit programs; a kernel without 32-bit support (ia32_emulation off) cannot run
# wine32, and then the same sources are tested as a 64-bit build under wine64.
if /lib/ld-linux.so.2 --version > /dev/null 2>&1; then
  wine_build=build-win32
  cmake -S . -B build-win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake -DVERMILAX_TESTS=ON > /dev/null
  cmake --build build-win32 -j "$jobs"
else
  echo "note: this kernel runs no 32-bit programs; Windows tests run as a 64-bit build under wine64"
  cmake -S . -B build-win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake -DVERMILAX_TESTS=OFF > /dev/null
  cmake --build build-win32 -j "$jobs"
  wine_build=build-win64
  cmake -S . -B build-win64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-x86_64.cmake -DVERMILAX_TESTS=ON > /dev/null
  cmake --build build-win64 -j "$jobs"
fi

status=0
echo "== native tests"
ctest --test-dir build -j "$jobs" --output-on-failure || status=1

echo "== Windows tests under Wine ($wine_build)"
"$wine_build/wine-run.sh" --start-server > /dev/null 2>&1 || true
ctest --test-dir "$wine_build" --output-on-failure || status=1
"$wine_build/wine-run.sh" --stop-server > /dev/null 2>&1 || true

exit $status
