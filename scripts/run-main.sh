#!/usr/bin/env bash
# The main job: installs what is missing, builds the native tool and the Windows
# program, generates sample files and shows what the engine makes of them.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs=$(nproc)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build build -j "$jobs" --target vermilax-cli make_samples sample_databases
cmake -S . -B build-win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake -DVERMILAX_TESTS=OFF > /dev/null
cmake --build build-win32 -j "$jobs" --target vermilax-cli
echo "Windows program: build-win32/bin/vermilax-cli.exe"

samples=build/samples
rm -rf "$samples"
build/bin/make_samples "$samples"
cli=build/bin/vermilax-cli

echo
echo "== sample databases (build/bin/db, packed at build time from data/samples)"
"$cli" stats | tr '\r' '\n'
echo "== vermilax-cli check $samples/*  (exit 1: something found)"
"$cli" check "$samples"/* || true
echo
echo "== vermilax-cli check --deep (section and byte signatures too)"
"$cli" check --deep "$samples"/deep-* || true
echo
echo "== vermilax-cli check --no-heur (no packer or rule names)"
"$cli" check --no-heur "$samples"/packed-* "$samples"/heur-* || true

echo
echo "== vermilax-cli hash / pe on one sample (what the signature lines and the analysis look like)"
"$cli" hash "$samples"/threat-digest.exe
"$cli" pe "$samples"/clean-program.exe
