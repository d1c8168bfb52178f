#!/usr/bin/env bash
# Times WS-Discovery of 100 simulated cameras and a sweep of a loopback /24
# holding 20 (bin/qzr_bench_discovery) and prints the figures. Everything
# stays on loopback; when possible it runs in a network namespace of its own,
# so nothing else on the machine hears or disturbs it.
#
#   bench/run_discovery_bench.sh BUILD_DIR
set -euo pipefail
if [[ $# -lt 1 || $1 == -h || $1 == --help ]]; then
    sed -n '2,7p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
fi
bench=$(cd "$1" && pwd)/bin/qzr_bench_discovery
[[ -x $bench ]] || { echo "missing $bench (build the target qzr_bench_discovery first)" >&2; exit 2; }
if unshare -n true 2>/dev/null; then
    exec unshare -n sh -c 'ip link set lo up && exec "$0"' "$bench"
fi
exec "$bench"
