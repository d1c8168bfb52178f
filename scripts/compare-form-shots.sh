#!/usr/bin/env bash
# Usage: scripts/compare-form-shots.sh BASE_REV
#
# Takes pictures of every window (qzr-form-shots --out) as BASE_REV builds
# them and as the working tree builds them, and compares them pixel by pixel
# (qzr-form-shots --compare). Both sides use the working tree's
# tools/formshots, so that only the windows can differ; the base revision is
# checked out into a temporary git worktree with a build folder of its own.
#
# Exit status: 0 when every picture is the same, 1 when some differ, 2 when
# a build or a run failed.
#
# Environment:
#   QZR_FORM_SHOTS_DIR            where the working tree's build and the pictures go
#                                 (default build-formshots/ in the tree)
#   QZR_FORM_SHOTS_BUILD_TIMEOUT  seconds for each configure and build (default 3600)
#   QZR_FORM_SHOTS_RUN_TIMEOUT    seconds for each run of the tool (default 300)
#   QZR_FORM_SHOTS_KEEP=1         keep the base worktree and its build afterwards
set -euo pipefail

if [ $# -ne 1 ] || [ "$1" = "-h" ] || [ "$1" = "--help" ]; then
  sed -n '2,20p' "$0" | sed 's/^# \{0,1\}//'
  [ $# -eq 1 ] && exit 0
  exit 2
fi

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
base_rev=$1
build_timeout=${QZR_FORM_SHOTS_BUILD_TIMEOUT:-3600}
run_timeout=${QZR_FORM_SHOTS_RUN_TIMEOUT:-300}
out=${QZR_FORM_SHOTS_DIR:-$root/build-formshots}
jobs=$(nproc 2>/dev/null || echo 2)

if [ ! -f "$root/tools/formshots/CMakeLists.txt" ]; then
  echo "compare-form-shots: $root/tools/formshots is missing" >&2
  exit 2
fi
if ! base_commit=$(git -C "$root" rev-parse --verify --quiet "$base_rev^{commit}"); then
  echo "compare-form-shots: $base_rev names no commit" >&2
  exit 2
fi

temp=$(mktemp -d "${TMPDIR:-/tmp}/qzr-form-shots.XXXXXX")
base_tree=$temp/base
cleanup() {
  if [ "${QZR_FORM_SHOTS_KEEP:-0}" = 1 ]; then
    echo "compare-form-shots: kept $temp (remove it with: git -C $root worktree remove --force $base_tree)"
    return
  fi
  if [ -d "$base_tree" ]; then
    git -C "$root" worktree remove --force "$base_tree" >/dev/null 2>&1 || true
  fi
  rm -rf "$temp"
  git -C "$root" worktree prune >/dev/null 2>&1 || true
}
trap cleanup EXIT
trap 'exit 2' INT TERM

# Configures and builds qzr-form-shots; the log goes to LOG.
# build_tool SOURCE BUILD LOG
build_tool() {
  local source=$1 build=$2 log=$3
  if ! timeout --kill-after=30 "$build_timeout" \
      cmake -S "$source" -B "$build" -DCMAKE_BUILD_TYPE=Release -UQZR_FORM_UI_DIR >"$log" 2>&1; then
    echo "compare-form-shots: configuring $source failed (or took over ${build_timeout} s); see $log" >&2
    tail -n 20 "$log" >&2
    return 1
  fi
  if ! timeout --kill-after=30 "$build_timeout" \
      cmake --build "$build" --target qzr-form-shots -j"$jobs" >>"$log" 2>&1; then
    echo "compare-form-shots: building qzr-form-shots in $build failed (or took over ${build_timeout} s); see $log" >&2
    grep -E "error|Error" "$log" | head -n 20 >&2 || true
    return 1
  fi
}

# Runs the tool to take the pictures into FOLDER.
# take_shots TOOL FOLDER LOG
take_shots() {
  local tool=$1 folder=$2 log=$3
  rm -rf "$folder"
  if ! timeout --kill-after=10 "$run_timeout" "$tool" --out "$folder" >"$log" 2>&1; then
    echo "compare-form-shots: $tool --out $folder failed (or took over ${run_timeout} s); see $log" >&2
    tail -n 20 "$log" >&2
    return 1
  fi
}

mkdir -p "$out"
status=0

echo "Base $base_rev ($base_commit): checking out into $base_tree"
git -C "$root" worktree add --quiet --detach "$base_tree" "$base_commit"
# The base builds the working tree's tool, whatever it had of its own.
rm -rf "$base_tree/tools/formshots"
mkdir -p "$base_tree/tools"
cp -R "$root/tools/formshots" "$base_tree/tools/formshots"
if ! grep -q 'tools/formshots' "$base_tree/CMakeLists.txt"; then
  printf '\nadd_subdirectory(tools/formshots)\n' >>"$base_tree/CMakeLists.txt"
fi

echo "Building qzr-form-shots at the base (log: $out/base-build.log)"
build_tool "$base_tree" "$temp/build" "$out/base-build.log" || exit 2
echo "Building qzr-form-shots in the working tree (log: $out/build.log)"
build_tool "$root" "$out/build" "$out/build.log" || exit 2

echo "Taking the base pictures"
take_shots "$temp/build/bin/qzr-form-shots" "$out/base" "$out/base-shots.log" || status=2
echo "Taking the working tree's pictures"
take_shots "$out/build/bin/qzr-form-shots" "$out/current" "$out/current-shots.log" || status=2

echo "Comparing $out/base with $out/current"
rm -rf "$out/diff"
compare_status=0
timeout --kill-after=10 "$run_timeout" "$out/build/bin/qzr-form-shots" \
  --compare "$out/base" "$out/current" --diff "$out/diff" || compare_status=$?
if [ "$compare_status" -ne 0 ] && [ -d "$out/diff" ]; then
  echo "Pictures of the differences (base faded, differing pixels red): $out/diff"
fi
if [ "$status" -ne 0 ]; then
  exit "$status"
fi
if [ "$compare_status" -gt 1 ]; then
  exit 2
fi
exit "$compare_status"
