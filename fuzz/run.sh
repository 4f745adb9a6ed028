#!/usr/bin/env bash
# Builds the fuzz targets (preset "fuzz", clang + libFuzzer) and runs the INI fuzzer for a
# bounded time. Usage: fuzz/run.sh <seconds>   (default 60). Fails when the fuzzer finds a crash.
set -euo pipefail
cd "$(dirname "$0")/.."
secs=${1:-60}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc 2>/dev/null || echo 2)" --target ini_fuzz
corpus=build/fuzz/corpus/ini_fuzz
mkdir -p "$corpus"
exec build/fuzz/fuzz/ini_fuzz -max_total_time="$secs" -max_len=4096 -print_final_stats=1 \
  -artifact_prefix=build/fuzz/ "$corpus"
