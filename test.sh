#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test (CTest).
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
probe_ensure_deps
probe_build
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j "$(nproc)" "$@"
