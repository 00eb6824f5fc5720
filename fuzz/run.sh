#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a while.
# Usage: fuzz/run.sh [SECONDS_PER_TARGET] [TARGET...]
# Inputs that crash are kept in fuzz/regressions/<target>/ for the replay tests;
# the working corpus lives in fuzz/corpus/<target>/, seeded by vermilax_fuzz_seeds.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/fuzz-build
seconds=${1:-120}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  # Every target listed in fuzz/CMakeLists.txt (the list may span several lines).
  read -r -a targets <<< "$(tr '\n' ' ' < "$root/fuzz/CMakeLists.txt" |
    sed -n 's/.*set(VERMILAX_FUZZ_TARGETS \([^)]*\)).*/\1/p')"
  if [ ${#targets[@]} -eq 0 ]; then
    echo "fuzz/run.sh: no targets found in fuzz/CMakeLists.txt" >&2
    exit 2
  fi
fi

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DVERMILAX_FUZZ=ON -DVERMILAX_TESTS=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C "$build" -j2 vermilax_fuzz_seeds "${targets[@]}"
"$build/bin/vermilax_fuzz_seeds" "$root/fuzz/corpus"

for target in "${targets[@]}"; do
  mkdir -p "$root/fuzz/regressions/$target"
  "$build/bin/$target" -max_total_time="$seconds" -max_len=65536 -print_final_stats=1 \
    -artifact_prefix="$root/fuzz/regressions/$target/" "$root/fuzz/corpus/$target"
done
