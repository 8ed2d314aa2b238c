#!/usr/bin/env bash
# Draws the wave example's picture again: builds wave_split and has it write
# examples/wave_split/wave_split.png (no display needed).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
probe_ensure_deps
probe_build
build/bin/wave_split --png examples/wave_split/wave_split.png
