#!/usr/bin/env bash
# Configures and builds the program and its tests into build/; further
# arguments go to cmake (scripts/test.sh adds -DVEVEZ_WERROR=ON -DVEVEZ_BENCH=ON).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build build -j"$(nproc)"
