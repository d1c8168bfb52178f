#!/usr/bin/env bash
# "qzr clone" into a fleet of simulated cameras: starts one qzr-camsim
# process serving CAMERAS cameras on consecutive loopback ports, changes a few
# settings of the first camera and saves them with "qzr save", then clones
# that file into every camera (the first one included) with JOBS at once and
# a JSON report. Prints the total time, the per-camera time (min, median,
# max, from the report's "seconds"), qzr's peak memory (its maximum resident
# set, from getrusage), how many cameras verified and the lines of the
# journal that the report brings with it (written and flushed as it goes). Each upload holds three
# 500 ms pauses, so one camera takes at least 1.5 s, and two rounds of 512
# cameras at least 3.2 s.
# Target: 1,000 cameras with 512 jobs in at most 5 s and 100 MB, all verified.
# Builds nothing: pass a build directory holding bin/qzr and bin/qzr-camsim.
#
#   bench/run_clone_bench.sh BUILD_DIR [CAMERAS=1000] [JOBS=512]
set -euo pipefail

if [[ $# -lt 1 || $1 == -h || $1 == --help ]]; then
    sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
fi
build=$(cd "$1" && pwd)
cameras=${2:-1000}
jobs=${3:-512}
qzr=$build/bin/qzr
camsim=$build/bin/qzr-camsim
for f in "$qzr" "$camsim"; do
    [[ -x $f ]] || { echo "missing $f (build the targets qzr and qzr-camsim first)" >&2; exit 2; }
done
command -v python3 >/dev/null || { echo "python3 not found (reads the JSON report)" >&2; exit 2; }

work=$(mktemp -d)
coproc CAMSIM { exec "$camsim" --cameras "$cameras" --port 0 --no-discovery 2>"$work/camsim.log"; }
camsim_pid=$CAMSIM_PID
cleanup() {
    kill "$camsim_pid" 2>/dev/null || true
    wait "$camsim_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
read -r -t 30 port <&"${CAMSIM[0]}" || { echo "qzr-camsim did not start" >&2; exit 1; }

export -n QZR_HOST QZR_PORT QZR_USER QZR_PASSWORD QT_LOGGING_RULES 2>/dev/null || true
export QZR_HOST=127.0.0.1 QZR_PORT=$port

# The source camera: other encoder settings and scene file 3's image values.
"$qzr" set 'encode(1).type=h264baseline' 'encode(1).bitrate=1024000' 'encode(1).framerate=25' \
    'encode(2).quality=320k' 'encode(3).type=h264high' 'encode(3).framesize=qvga' 'camera.scene(3).status=goto'
"$qzr" set 'camera.scene(3).image.gamma=1' 'camera.scene(3).image.color=70' 'camera.scene(3).shutter=250'
file=$work/fleet.txt
"$qzr" save "$file"

hosts=$work/hosts.txt
for ((k = 0; k < cameras; k++)); do echo "127.0.0.1:$((port + k))"; done >"$hosts"
report=$work/report.json

# The simulator's CPU time (user + system, clock ticks) before and after.
camsim_ticks() { awk '{ print $14 + $15 }' "/proc/$camsim_pid/stat"; }
ticks_before=$(camsim_ticks)

# The clone runs as a child of python3, which then reads the child's peak
# resident set (RUSAGE_CHILDREN, KiB on Linux) and the wall time.
status=0
python3 - "$work/measured" "$qzr" clone "$file" --hosts "$hosts" --jobs "$jobs" --report "$report" \
    >"$work/table.txt" 2>"$work/progress.txt" <<'PY' || status=$?
import resource, subprocess, sys, time
start = time.monotonic()
status = subprocess.call(sys.argv[2:])
seconds = time.monotonic() - start
usage = resource.getrusage(resource.RUSAGE_CHILDREN)
with open(sys.argv[1], "w") as f:
    f.write(f"{seconds} {usage.ru_maxrss} {usage.ru_utime + usage.ru_stime}\n")
sys.exit(status)
PY
camsim_cpu=$(( $(camsim_ticks) - ticks_before ))

python3 - "$report" "$cameras" "$jobs" "$work/measured" "$status" "$camsim_cpu" "$(getconf CLK_TCK)" <<'PY'
import json, statistics, sys
report, cameras, jobs, measured, status = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4], int(sys.argv[5])
camsim_cpu = int(sys.argv[6]) / int(sys.argv[7])
with open(measured) as f:
    total, peak_kib, qzr_cpu = f.read().split()
total, peak_mib, qzr_cpu = float(total), int(peak_kib) / 1024, float(qzr_cpu)
with open(report) as f:
    data = json.load(f)
seconds = sorted(c["seconds"] for c in data["cameras"])
print(f"cameras: {cameras}, jobs: {jobs}, qzr clone exit status: {status}")
print(f"total:      {total:6.3f} s  (target <= 5 s)")
print(f"per camera: min {seconds[0]:.3f} s  median {statistics.median(seconds):.3f} s  max {seconds[-1]:.3f} s")
print(f"CPU time:   qzr {qzr_cpu:.2f} s, simulator {camsim_cpu:.2f} s")
print(f"peak memory of qzr: {peak_mib:.1f} MiB  (target <= 100 MB)")
print(f"verified: {data['verified']} of {len(data['cameras'])}  differs: {data['differs']}  failed: {data['failed']}")
journal = report[: -len(".json")] + ".journal"
with open(journal, "rb") as f:
    journal_lines = f.read().count(b"\n")
print(f"journal:    {journal_lines} lines")
ok = data["verified"] == cameras
print("all verified" if ok else "NOT all verified")
print("target met" if ok and total <= 5 and peak_mib * 1.048576 <= 100 else "target NOT met")
PY
