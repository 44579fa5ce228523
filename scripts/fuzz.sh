#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/ and runs them side by
# side for a fixed time each (FUZZ_SECONDS, default 60). A target's corpus may
# be seeded by a program of its own. A crash or a failed check fails the run;
# the input that caused it is kept under build-fuzz/artifacts/<target>/.
# TARNWELL_WERROR=ON (as scripts/test.sh sets it) makes warnings errors.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=build-fuzz
seconds=${FUZZ_SECONDS:-60}

# target | seed program (or -) | largest input in bytes
targets=(
  "stream_parser_fuzz|stream_corpus_seed|65536"
  "recorder_answers_fuzz|recorder_answers_seed|4096"
  "answer_file_fuzz|answer_corpus_seed|8192"
  "session_answers_fuzz|-|512"
  "process_file_list_fuzz|-|16384"
)

build=()
for t in "${targets[@]}"; do
  IFS='|' read -r name seed _ <<<"$t"
  build+=("$name")
  [[ $seed != - ]] && build+=("$seed")
done
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNWELL_FUZZ=ON \
  -DTARNWELL_WERROR="${TARNWELL_WERROR:-OFF}" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$dir" -j"$(nproc)" --target "${build[@]}"

pids=()
names=()
for t in "${targets[@]}"; do
  IFS='|' read -r name seed maxlen <<<"$t"
  corpus=$dir/corpus/${name%_fuzz}
  artifacts=$dir/artifacts/$name
  mkdir -p "$corpus" "$artifacts"
  [[ $seed != - ]] && "$dir/bin/$seed" "$corpus" >"$dir/$name.seed.log" 2>&1
  "$dir/bin/$name" -max_total_time="$seconds" -max_len="$maxlen" -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus" \
    >"$dir/$name.log" 2>&1 &
  pids+=($!)
  names+=("$name")
done

failed=0
for i in "${!pids[@]}"; do
  name=${names[$i]}
  if wait "${pids[$i]}"; then
    echo "fuzz: $name: $(grep -E '^stat::number_of_executed_units' "$dir/$name.log" | awk '{print $2}') runs, nothing found"
  else
    tail -n 60 "$dir/$name.log"
    echo "fuzz: $name failed; the input is under $dir/artifacts/$name/" >&2
    failed=1
  fi
done
exit "$failed"
