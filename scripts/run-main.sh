#!/usr/bin/env bash
# The main job: installs what is missing, builds the native tool and the Windows
# program, generates sample files and shows what the engine makes of them.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs=$(nproc)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build build -j "$jobs" --target vermilax-cli make_samples
cmake -S . -B build-win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake -DVERMILAX_TESTS=OFF > /dev/null
cmake --build build-win32 -j "$jobs" --target vermilax-cli
echo "Windows program: build-win32/bin/vermilax-cli.exe"

samples=build/samples
rm -rf "$samples"
build/bin/make_samples "$samples"
cli=build/bin/vermilax-cli

echo
echo "== vermilax-cli hash $samples/*"
"$cli" hash "$samples"/* || true
for f in "$samples"/*; do
  echo
  echo "== vermilax-cli pe $f"
  "$cli" pe "$f" || true
done
