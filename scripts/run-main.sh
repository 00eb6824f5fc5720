#!/usr/bin/env bash
# The main job: installs what is missing, builds the native tool and the Windows
# program, generates sample files and scans them with the sample databases.
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
logs=build/logs
rm -rf "$samples" "$logs"
build/bin/make_samples "$samples"
mkdir -p "$samples/nested/deeper"
cp "$samples/threat-digest.exe" "$samples/nested/deeper/copy-of-threat.dll"
cli=build/bin/vermilax-cli

echo
echo "== sample databases (build/bin/db, packed at build time from data/samples)"
"$cli" stats | tr '\r' '\n'
echo "== vermilax-cli scan $samples  (exit 1: something found)"
"$cli" scan --log-dir "$logs" "$samples" || true
echo
echo "== the same scan with the deep-scan signatures (section and byte signatures), as JSON"
"$cli" scan --deep --json --log-dir "$logs" "$samples" || true
echo
log=$(ls -t "$logs"/scan-*.log | head -n 1)
echo "== the scan log: $log (header, first finding, closing lines)"
tr -d '\r' < "$log" | head -n 12
tr -d '\r' < "$log" | grep -m 1 -A 8 '^----- '
tr -d '\r' < "$log" | tail -n 4

# The product itself, under Wine, where this machine runs 32-bit programs.
if /lib/ld-linux.so.2 --version > /dev/null 2>&1; then
  echo
  echo "== the Windows program under Wine: vermilax-cli.exe scan"
  winpath() { echo "Z:$(realpath "$1" | tr '/' '\\')"; }
  build-win32/wine-run.sh build-win32/bin/vermilax-cli.exe scan --db "$(winpath build/bin/db)" \
    --log-dir "$(winpath "$logs")" "$(winpath "$samples")" || true
fi
