#!/usr/bin/env bash
# Live viewer benchmark: a TLiveViewer (offscreen platform) against a
# 1080p15 H.264 4 Mbit/s stream of the simulated camera, run as a separate
# process (qzr-camsim), all on loopback. Prints the three figures:
#   1. the viewer's CPU per frame shown (1920x1080 and 640x360) against an
#      ffmpeg child decoding the same stream to "-f null" (and the ratio),
#   2. StartLive() to the first painted picture (median of several runs),
#   3. capture-to-paint delay from the frame stamps, p50 and p95.
# Builds nothing: pass a build directory holding bin/qzr_bench_viewer and
# bin/qzr-camsim (an optimised build gives the meaningful figures).
#
#   bench/run_viewer_bench.sh BUILD_DIR [SECONDS=20] [STARTS=7]
set -euo pipefail

if [[ $# -lt 1 || $1 == -h || $1 == --help ]]; then
    sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
fi
build=$(cd "$1" && pwd)
seconds=${2:-20}
starts=${3:-7}
bench=$build/bin/qzr_bench_viewer
camsim=$build/bin/qzr-camsim
for f in "$bench" "$camsim"; do
    [[ -x $f ]] || { echo "missing $f (build the targets qzr_bench_viewer and qzr-camsim first)" >&2; exit 2; }
done
command -v ffmpeg >/dev/null || { echo "ffmpeg not found" >&2; exit 2; }

export QT_QPA_PLATFORM=offscreen
export -n QT_LOGGING_RULES QZR_STREAM_URL 2>/dev/null || true
exec timeout $((seconds * 6 + starts * 15 + 120)) \
    "$bench" --camsim "$camsim" --seconds "$seconds" --starts "$starts"
