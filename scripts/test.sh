#!/usr/bin/env bash
# Builds Vask and runs every test; GUI tests use Qt's offscreen platform.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j"$(nproc)" --timeout 600
if [ -x scripts/fuzz-smoke.sh ]; then bash scripts/fuzz-smoke.sh; fi
# One whole road through the real program under Xvfb (skips itself where Xvfb or xdotool is
# missing).
bash scripts/e2e-buoni.sh build
