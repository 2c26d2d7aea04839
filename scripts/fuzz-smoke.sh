#!/usr/bin/env bash
# Builds the libFuzzer targets in ./build-fuzz (clang, ASan + UBSan over the whole engine)
# and runs the reader fuzzer (read, check, one statement written) for a bounded time, seeded with
# the fixture databases, then the SQL parser fuzzer.
# Exits non-zero on a finding; the crashing input is left in build-fuzz/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${VASK_FUZZ_SECONDS:-60}"
if ! command -v clang++ >/dev/null 2>&1; then
  echo "fuzz-smoke: clang++ non trovato, fuzzing saltato" >&2
  exit 0
fi
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -g"
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_CXX_FLAGS="$flags" \
  -DVASK_FUZZ=ON -DVASK_GUI=OFF -DVASK_TESTS=OFF -DVASK_BENCH=OFF >/dev/null
cmake --build build-fuzz -j2 --target fuzz_reader fuzz_sql >/dev/null

corpus=build-fuzz/corpus
mkdir -p "$corpus" build-fuzz/artifacts
fixtures=../shared/fixtures
if [ -d "$fixtures" ]; then
  # Small files mutate usefully; the multi-megabyte ones would only slow each run down.
  find "$fixtures" -type f \( -name '*.mdb' -o -name '*.accdb' \) -size -400k \
    -exec cp -n {} "$corpus"/ \;
else
  echo "fuzz-smoke: ../shared/fixtures assente, corpus iniziale vuoto" >&2
fi
echo "fuzz-smoke: fuzz_reader per ${seconds} s"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ./build-fuzz/fuzz_reader -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
  -max_len=400000 -print_final_stats=1 -artifact_prefix=build-fuzz/artifacts/ "$corpus" \
  2>build-fuzz/fuzz.log || {
  tail -60 build-fuzz/fuzz.log >&2
  echo "fuzz-smoke: trovato un errore, vedi build-fuzz/artifacts/" >&2
  exit 1
}
grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb' build-fuzz/fuzz.log || true

sqlcorpus=build-fuzz/corpus-sql
mkdir -p "$sqlcorpus"
printf '%s' "SELECT * INTO TemporaneaVask FROM [BUONI] WHERE ID > 3 ORDER BY Targa" >"$sqlcorpus/a"
printf '%s' "UPDATE Voci SET Annofis = 2024 WHERE (ISEMPTY(x) OR x LIKE 'a*') AND y = #2024-01-31#" \
  >"$sqlcorpus/b"
printf '%s' "INSERT INTO T (a, b) VALUES ('l''uno', -1.5e3)" >"$sqlcorpus/c"
echo "fuzz-smoke: fuzz_sql per $((seconds / 4)) s"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ./build-fuzz/fuzz_sql -max_total_time="$((seconds / 4))" -timeout=20 -print_final_stats=1 \
  -artifact_prefix=build-fuzz/artifacts/ "$sqlcorpus" 2>build-fuzz/fuzz-sql.log || {
  tail -60 build-fuzz/fuzz-sql.log >&2
  echo "fuzz-smoke: trovato un errore, vedi build-fuzz/artifacts/" >&2
  exit 1
}
grep -E '^stat::number_of_executed_units' build-fuzz/fuzz-sql.log || true
echo "fuzz-smoke: nessun errore"
