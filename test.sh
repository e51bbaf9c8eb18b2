#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
./setup.sh --test
tools/web/build-deps.sh build-web/deps  # the wasm libraries the web tests' site links: once, offline
./build.sh
ctest --test-dir build --output-on-failure -j"$(nproc)"
