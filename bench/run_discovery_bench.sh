#!/usr/bin/env bash
# Times WS-Discovery of 100 simulated cameras and a sweep of a loopback /24
# holding 20 (bin/qzr_bench_discovery), then the "Find Cameras" window with
# 1,000 cameras and during a Hello flood (bin/qzr_bench_find_cameras_window),
# and prints the figures. Everything
# stays on loopback; when possible it runs in a network namespace of its own,
# so nothing else on the machine hears or disturbs it.
#
#   bench/run_discovery_bench.sh BUILD_DIR
set -euo pipefail
if [[ $# -lt 1 || $1 == -h || $1 == --help ]]; then
    sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
fi
bin=$(cd "$1" && pwd)/bin
for bench in qzr_bench_discovery qzr_bench_find_cameras_window; do
    [[ -x $bin/$bench ]] || { echo "missing $bin/$bench (build the target $bench first)" >&2; exit 2; }
done
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
if unshare -n true 2>/dev/null; then
    exec unshare -n sh -c 'ip link set lo up && "$0/qzr_bench_discovery" && "$0/qzr_bench_find_cameras_window"' "$bin"
fi
"$bin/qzr_bench_discovery" && "$bin/qzr_bench_find_cameras_window"
