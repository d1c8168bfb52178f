#!/usr/bin/env bash
# "qzr report" on a fleet of simulated cameras with video, on loopback only:
# starts qzr-camsim serving CAMERAS cameras, each with RTSP video on a port
# of its own that it reports as network.rtsp.port (--cameras N --rtsp-port
# 0; a simulator that serves video for one camera only: a process per
# camera, each told its RTSP port), then reports on all of them with JOBS
# at once. Prints the wall time, qzr's peak memory (its maximum resident
# set, from getrusage), the CPU time of qzr and of the simulators, and how
# many cameras have their settings and their picture.
# Target: 100 cameras with 32 jobs in at most 20 s and under 300 MB, every
# camera with its picture. Builds nothing: pass a build directory holding
# bin/qzr and bin/qzr-camsim.
#
#   bench/run_report_bench.sh BUILD_DIR [CAMERAS=100] [JOBS=32]
set -euo pipefail

if [[ $# -lt 1 || $1 == -h || $1 == --help ]]; then
    sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
fi
build=$(cd "$1" && pwd)
cameras=${2:-100}
jobs=${3:-32}
qzr=$build/bin/qzr
camsim=$build/bin/qzr-camsim
for f in "$qzr" "$camsim"; do
    [[ -x $f ]] || { echo "missing $f (build the targets qzr and qzr-camsim first)" >&2; exit 2; }
done
command -v python3 >/dev/null || { echo "python3 not found (measures qzr, reads the JSON)" >&2; exit 2; }

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
export -n QZR_HOST QZR_PORT QZR_USER QZR_PASSWORD QT_LOGGING_RULES 2>/dev/null || true
hosts=$work/hosts.txt

# One process serving the whole fleet, each camera with video of its own.
"$camsim" --cameras "$cameras" --port 0 --rtsp-port 0 --no-discovery >"$work/fleet.out" 2>"$work/camsim.log" &
pids+=($!)
for ((wait = 0; wait < 300; wait++)); do
    [[ -s $work/fleet.out ]] && break
    kill -0 "${pids[0]}" 2>/dev/null || break
    sleep 0.1
done
if port=$(head -n 1 "$work/fleet.out" 2>/dev/null) && [[ $port =~ ^[0-9]+$ ]]; then
    mode="one qzr-camsim process, $cameras cameras"
    for ((k = 0; k < cameras; k++)); do echo "127.0.0.1:$((port + k))"; done >"$hosts"
else
    # A simulator that serves RTSP for one camera only: a process per
    # camera, each told the RTSP port it serves (it reports 554 otherwise).
    wait "${pids[0]}" 2>/dev/null || true
    pids=()
    mode="$cameras qzr-camsim processes (RTSP for one camera each)"
    for ((k = 0; k < cameras; k++)); do
        "$camsim" --port 0 --rtsp-port 0 --no-discovery >"$work/camsim$k.out" 2>>"$work/camsim.log" &
        pids+=($!)
    done
    : >"$hosts"
    for ((k = 0; k < cameras; k++)); do
        for ((wait = 0; wait < 300; wait++)); do
            [[ $(wc -l <"$work/camsim$k.out") -ge 2 ]] && break
            sleep 0.1
        done
        http=$(sed -n 1p "$work/camsim$k.out")
        rtsp=$(sed -n 2p "$work/camsim$k.out" | cut -d' ' -f2)
        [[ $http =~ ^[0-9]+$ && $rtsp =~ ^[0-9]+$ ]] || { echo "qzr-camsim $k did not start" >&2; exit 1; }
        QZR_HOST=127.0.0.1 QZR_PORT=$http "$qzr" set "network.rtsp.port=$rtsp"
        echo "127.0.0.1:$http" >>"$hosts"
    done
fi
out=$work/report

# The simulators' CPU time (user + system, clock ticks).
camsim_ticks() {
    local total=0 pid
    for pid in "${pids[@]}"; do total=$((total + $(awk '{ print $14 + $15 }' "/proc/$pid/stat"))); done
    echo "$total"
}
ticks_before=$(camsim_ticks)

# The report runs as a child of python3, which then reads the child's peak
# resident set (RUSAGE_CHILDREN, KiB on Linux) and the wall time.
status=0
python3 - "$work/measured" "$qzr" report --hosts "$hosts" --out "$out" --jobs "$jobs" \
    2>"$work/progress.txt" <<'PY' || status=$?
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

python3 - "$out/report.json" "$cameras" "$jobs" "$work/measured" "$status" "$camsim_cpu" "$(getconf CLK_TCK)" "$mode" <<'PY'
import json, sys
report, cameras, jobs, measured, status = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4], int(sys.argv[5])
camsim_cpu = int(sys.argv[6]) / int(sys.argv[7])
with open(measured) as f:
    total, peak_kib, qzr_cpu = f.read().split()
total, peak_mib, qzr_cpu = float(total), int(peak_kib) / 1024, float(qzr_cpu)
with open(report) as f:
    data = json.load(f)
read = sum(1 for c in data["cameras"] if c["result"] != "failed")
pictures = [c for c in data["cameras"] if "picture" in c]
widths = sorted({c["picture"]["width"] for c in pictures})
print(f"cameras: {cameras} ({sys.argv[8]}), jobs: {jobs}, qzr report exit status: {status}")
print(f"total:      {total:6.3f} s  (target <= 20 s)")
print(f"CPU time:   qzr {qzr_cpu:.2f} s, simulator {camsim_cpu:.2f} s")
print(f"peak memory of qzr: {peak_mib:.1f} MiB  (target < 300 MB)")
print(f"settings read: {read} of {len(data['cameras'])}  pictures: {len(pictures)}  widths: {widths}")
for c in data["cameras"]:
    if "picture" not in c:
        print(f"  {c['name']}: {c.get('error') or c.get('picture_error')}")
ok = status == 0 and len(pictures) == cameras
print("every camera reported" if ok else "NOT every camera reported")
print("target met" if ok and total <= 20 and peak_mib * 1.048576 < 300 else "target NOT met")
PY
