#!/usr/bin/env bash
# Runs the whole test suite headless.
#   ./scripts/test.sh              build into build/ and run every test
#   ./scripts/test.sh --sanitize   the same with AddressSanitizer and
#                                  UndefinedBehaviorSanitizer, in build-sanitize/
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

build_dir="$QZR_ROOT/build"
cmake_args=()
if [ "${1:-}" = "--sanitize" ]; then
  build_dir="$QZR_ROOT/build-sanitize"
  cmake_args=(-DQZR_SANITIZE=ON)
  # Qt WebEngine's Chromium frees some of its own objects with a sized
  # delete of another size; that is inside the library, not ours.
  export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:halt_on_error=1:new_delete_type_mismatch=0}
  export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$QZR_ROOT/scripts/lsan.supp:print_suppressions=0}
  export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
elif [ -n "${1:-}" ]; then
  echo "usage: $0 [--sanitize]" >&2
  exit 2
fi

qzr_install_packages
qzr_build "$build_dir" "${cmake_args[@]}"

export QT_QPA_PLATFORM=offscreen
cd "$build_dir"
ctest --output-on-failure -j"$(nproc)"
