#!/usr/bin/env bash
# Builds the benchmarks natively (optimised) and runs them; each prints its figures
# and whether its target ratio is met.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVERMILAX_BENCH=ON -DVERMILAX_TESTS=OFF > /dev/null
cmake --build build-bench -j "$(nproc)"
for b in build-bench/bin/*_bench; do
  echo "== $(basename "$b")"
  "$b" "$@"
done
