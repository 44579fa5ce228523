#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/ and runs each for a
# fixed time (FUZZ_SECONDS, default 60), its corpus seeded from the stream
# fixture. A crash or a failed check fails the run; the input that caused it
# is kept under build-fuzz/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=build-fuzz
seconds=${FUZZ_SECONDS:-60}

cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNWELL_FUZZ=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$dir" -j"$(nproc)" --target stream_parser_fuzz stream_corpus_seed

corpus=$dir/corpus/stream_parser
mkdir -p "$corpus" "$dir/artifacts"
"$dir/bin/stream_corpus_seed" "$corpus"
log=$dir/stream_parser_fuzz.log
if ! "$dir/bin/stream_parser_fuzz" -max_total_time="$seconds" -max_len=65536 -timeout=10 \
  -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$dir/artifacts/" "$corpus" >"$log" 2>&1; then
  tail -n 60 "$log"
  echo "fuzz: stream_parser_fuzz failed; the input is under $dir/artifacts/" >&2
  exit 1
fi
grep -E '^(Done|stat::number_of_executed_units)' "$log" || true
