#!/usr/bin/env bash
# Times COUNT kept-alive parameter reads through one "qzr get K1 ... KCOUNT"
# process against one curl process fetching the same COUNT URLs, both against
# the same loopback server (qzr_bench_server), and prints both times and the
# ratio. Builds nothing: pass a build directory that holds bin/qzr and
# bin/qzr_bench_server (an optimised build gives the meaningful figures).
#
#   bench/run_param_bench.sh BUILD_DIR [COUNT=1000] [ROUNDS=9] [distinct|same]
#
# Each round runs both once, alternating; the figures are the medians (and the
# fastest round) after one unmeasured warm-up run of each.
set -euo pipefail

if [[ $# -lt 1 || $1 == -h || $1 == --help ]]; then
    sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
fi
build=$(cd "$1" && pwd)
count=${2:-1000}
rounds=${3:-9}
keymode=${4:-distinct}
qzr=$build/bin/qzr
server_bin=$build/bin/qzr_bench_server
for f in "$qzr" "$server_bin"; do
    [[ -x $f ]] || { echo "missing $f (build the targets qzr and qzr_bench_server first)" >&2; exit 2; }
done
command -v curl >/dev/null || { echo "curl not found" >&2; exit 2; }

work=$(mktemp -d)
coproc SERVER { exec "$server_bin"; }
server_pid=$SERVER_PID
cleanup() {
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
read -r -t 10 port <&"${SERVER[0]}" || { echo "server did not start" >&2; exit 1; }

keys=()
curl_config=$work/curl.cfg
: >"$curl_config"
for ((i = 1; i <= count; i++)); do
    if [[ $keymode == same ]]; then key="system.model"; else key="bench.param($i)"; fi
    keys+=("$key")
    printf 'url = "http://127.0.0.1:%s/api/param?%s"\noutput = "/dev/null"\n' "$port" "$key" >>"$curl_config"
done

stats() { curl -s -g "http://127.0.0.1:$port/stats"; }
# "connections=C&requests=R" before and after one run (the /stats fetch after
# it opens one connection of its own).
report_run() {
    local name=$1 before=$2 after=$3 c0 r0 c1 r1
    IFS='=&' read -r _ c0 _ r0 <<<"$before"
    IFS='=&' read -r _ c1 _ r1 <<<"$after"
    echo "$name: $((r1 - r0)) requests over $((c1 - c0 - 1)) connection(s)"
}
export -n QZR_HOST QZR_PORT QZR_USER QT_LOGGING_RULES 2>/dev/null || true
run_qzr() { "$qzr" --host 127.0.0.1 --port "$port" get "${keys[@]}" >"$work/qzr.out"; }
run_curl() { curl -s -g --config "$curl_config"; }

now_us() { local t=$EPOCHREALTIME; echo $((10#${t/./})); }
time_us() {
    local start end
    start=$(now_us)
    "$@"
    end=$(now_us)
    echo $((end - start))
}

# Warm-up, and a check that both did what they should over one connection.
before=$(stats)
run_qzr
after=$(stats)
lines=$(wc -l <"$work/qzr.out")
[[ $lines -eq $count ]] || { echo "qzr printed $lines lines, expected $count" >&2; exit 1; }
report_run "qzr  warm-up" "$before" "$after"
before=$(stats)
run_curl
after=$(stats)
report_run "curl warm-up" "$before" "$after"

qzr_times=()
curl_times=()
for ((r = 0; r < rounds; r++)); do
    qzr_times+=("$(time_us run_qzr)")
    curl_times+=("$(time_us run_curl)")
done

median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
minimum() { printf '%s\n' "$@" | sort -n | head -1; }
qm=$(median "${qzr_times[@]}"); cm=$(median "${curl_times[@]}")
qmin=$(minimum "${qzr_times[@]}"); cmin=$(minimum "${curl_times[@]}")

echo "reads per process: $count ($keymode keys), rounds: $rounds"
echo "qzr  rounds (us): ${qzr_times[*]}"
echo "curl rounds (us): ${curl_times[*]}"
awk -v qm="$qm" -v cm="$cm" -v qmin="$qmin" -v cmin="$cmin" -v n="$count" 'BEGIN {
    printf "qzr get : median %8.2f ms  (%6.1f us/read)  fastest %8.2f ms\n", qm/1000, qm/n, qmin/1000
    printf "curl    : median %8.2f ms  (%6.1f us/read)  fastest %8.2f ms\n", cm/1000, cm/n, cmin/1000
    printf "ratio qzr/curl: median %.3f  fastest %.3f  (target <= 1.05)\n", qm/cm, qmin/cmin
}'
