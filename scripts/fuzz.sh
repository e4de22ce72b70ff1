#!/usr/bin/env bash
# Builds the selection record fuzzer with clang and runs it briefly (longer: pass seconds).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
if ! command -v clang++ >/dev/null 2>&1; then
  echo "clang++ not found: fuzzing skipped"
  exit 0
fi
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DSTILLORA_FUZZ=ON -DSTILLORA_SANITIZE=ON -DSTILLORA_TESTS=OFF -DSTILLORA_BENCH=OFF
cmake --build build-fuzz -j2 --target selection_record_fuzzer selection_fuzz_corpus
mkdir -p build-fuzz/fuzz/run-corpus
build-fuzz/bin/selection_record_fuzzer build-fuzz/fuzz/run-corpus build-fuzz/fuzz/corpus \
  -max_total_time="$seconds" -max_len=65536
