#!/usr/bin/env bash
# "Site Overview" benchmark: the wall with 16 simulated cameras (a separate
# qzr-camsim fleet on loopback, 640x360 15 fps H.264 each) for SECONDS, the
# tool's CPU and peak memory, then 16 ffmpeg children decoding the same
# streams to "-f null" for as long, and the ratio of the two (target: at most
# 1.2, no tile below 12 pictures/s or not live, under 600 MB). Builds
# nothing: pass a build directory holding bin/qzr_bench_wall and
# bin/qzr-camsim (an optimised build gives the meaningful figures).
#
#   bench/run_wall_bench.sh BUILD_DIR [SECONDS=60]
set -euo pipefail

if [[ $# -lt 1 || $1 == -h || $1 == --help ]]; then
    sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
fi
build=$(cd "$1" && pwd)
seconds=${2:-60}
for f in "$build/bin/qzr_bench_wall" "$build/bin/qzr-camsim"; do
    [[ -x $f ]] || { echo "missing $f (build the targets qzr_bench_wall and qzr-camsim first)" >&2; exit 2; }
done
command -v ffmpeg >/dev/null || { echo "ffmpeg not found" >&2; exit 2; }

export QT_QPA_PLATFORM=offscreen
export -n QT_LOGGING_RULES QZR_STREAM_URL 2>/dev/null || true
exec timeout $((seconds * 2 + 120)) "$build/bin/qzr_bench_wall" --camsim "$build/bin/qzr-camsim" --seconds "$seconds"
