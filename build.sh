#!/usr/bin/env bash
# Configures and builds into build/: everything (the show, the tools, the tests, the benchmarks), or
# only the targets named, e.g. ./build.sh show
set -euo pipefail
cd "$(dirname "$0")"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
targets=()
[ $# -gt 0 ] && targets=(--target "$@")
cmake --build build -j"$(nproc)" "${targets[@]}"
