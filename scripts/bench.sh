#!/usr/bin/env bash
# Builds the benchmarks natively (optimised) and runs them; each prints its figures
# and whether its target ratio is met. scan_vs_clamscan takes no arguments here;
# run build-bench/bin/scan_vs_clamscan --help for its own options.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

# scan_vs_clamscan measures against ClamAV's command-line scanner. Only the
# package is wanted: a policy that refuses every service start keeps its
# signature updater and daemon from being started by the install.
if ! command -v clamscan > /dev/null; then
  policy=/usr/sbin/policy-rc.d
  made_policy=""
  if [ ! -e "$policy" ]; then
    printf '#!/bin/sh\nexit 101\n' > "$policy"
    chmod +x "$policy"
    made_policy=1
    trap 'rm -f "$policy"' EXIT
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends clamav
  if [ -n "$made_policy" ]; then
    rm -f "$policy"
    trap - EXIT
  fi
fi

cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVERMILAX_BENCH=ON -DVERMILAX_TESTS=OFF > /dev/null
cmake --build build-bench -j "$(nproc)"
for b in build-bench/bin/*_bench; do
  echo "== $(basename "$b")"
  "$b" "$@"
done
echo "== scan_vs_clamscan"
build-bench/bin/scan_vs_clamscan
