#!/usr/bin/env bash
# Builds the engine layers and their tests (no GUI) with AddressSanitizer and
# UndefinedBehaviorSanitizer in ./build-asan and runs those tests: the crash, journal and
# damaged-file tests then also catch reads past a buffer, leaks and undefined behaviour.
set -euo pipefail
cd "$(dirname "$0")/.."
flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer -g"
launcher=()
if command -v ccache >/dev/null 2>&1; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DVASK_GUI=OFF -DVASK_BENCH=OFF >/dev/null
cmake --build build-asan -j"$(nproc)" --target test_jet test_sql test_data vaskdb >/dev/null
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1
ctest --test-dir build-asan --output-on-failure -j"$(nproc)" --timeout 900
