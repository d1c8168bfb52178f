#!/usr/bin/env bash
# Builds the tool and runs it against the bundled camera simulator on
# localhost. With a display the tool opens its windows, already pointing at
# the simulated camera: press "Save Settings" in "IP Setup", then "Start Live
# Stream". Without a display it runs under Xvfb, does both itself, writes a
# screenshot to build/run-screenshot.png and ends.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

qzr_install_packages
qzr_build "$QZR_ROOT/build"

bin="$QZR_ROOT/build/bin"
sim_out=$(mktemp)
"$bin/qzr-camsim" --port 0 --rtsp-port 0 >"$sim_out" 2>"$QZR_ROOT/build/camsim.log" &
sim_pid=$!
cleanup() {
  kill "$sim_pid" 2>/dev/null || true
  wait "$sim_pid" 2>/dev/null || true
  rm -f "$sim_out"
}
trap cleanup EXIT

port=""
rtsp_port=""
for _ in $(seq 1 100); do
  port=$(sed -n 1p "$sim_out" 2>/dev/null || true)
  rtsp_port=$(sed -n 's/^rtsp //p' "$sim_out" 2>/dev/null || true)
  [ -n "$port" ] && [ -n "$rtsp_port" ] && break
  kill -0 "$sim_pid" 2>/dev/null || break
  sleep 0.1
done
if [ -z "$port" ] || [ -z "$rtsp_port" ]; then
  echo "The camera simulator did not start; see build/camsim.log" >&2
  exit 1
fi
echo "Camera simulator listening on 127.0.0.1:$port, video on rtsp://127.0.0.1:$rtsp_port (user admin, password kqm)"

tool=("$bin/qzr-setting-tool" --address 127.0.0.1 --port "$port"
      --stream-url "rtsp://{ip}:$rtsp_port/channel{channel}")
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  "${tool[@]}"
else
  shot="$QZR_ROOT/build/run-screenshot.png"
  echo "No display: running under Xvfb"
  xvfb-run -a -s "-screen 0 1280x1024x24" "${tool[@]}" --identify-and-screenshot "$shot"
  echo "Screenshot of the tool with the simulated camera: $shot"
fi
