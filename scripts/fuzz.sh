#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/ and runs each for
# the given number of seconds, keeping its corpus in build-fuzz/corpus/NAME.
# Usage: scripts/fuzz.sh SECONDS
set -euo pipefail
seconds="${1:?usage: scripts/fuzz.sh SECONDS}"
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-fuzz"
command -v clang++ >/dev/null || { echo "clang++ is needed for libFuzzer" >&2; exit 1; }
cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQZR_FUZZ=ON -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address -fno-omit-frame-pointer"
targets=(qzr_fuzz_settings_file qzr_fuzz_reply_value qzr_fuzz_discovery_reply qzr_fuzz_hosts qzr_fuzz_record
  qzr_fuzz_sweep qzr_fuzz_terminal qzr_fuzz_http_reply)
cmake --build "$build" -j2 --target "${targets[@]}"
for target in "${targets[@]}"; do
  corpus="$build/corpus/$target"
  mkdir -p "$corpus"
  # The discovery receiver takes datagrams of up to 32 KiB.
  max_len=4096
  [ "$target" = qzr_fuzz_discovery_reply ] && max_len=32768
  echo "== $target for ${seconds}s"
  "$build/bin/$target" "$corpus" -max_total_time="$seconds" -max_len="$max_len" -print_final_stats=1
done
