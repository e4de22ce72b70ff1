#!/usr/bin/env bash
# Installs what is needed, builds Stillora and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build-run -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSTILLORA_TESTS=OFF -DSTILLORA_BENCH=OFF
cmake --build build-run -j2
exec build-run/bin/Stillora
