#!/usr/bin/env bash
# Sets up, builds and runs every test: once as built, once under
# AddressSanitizer and UndefinedBehaviorSanitizer, and the suites without
# windows under ThreadSanitizer, after a short fuzz run. Warnings are errors in
# every build. The tests may not change a build's bin/ folder: each stage
# compares it with what the build put there.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

# Loopback only: nothing a test sends may go through a proxy.
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY all_proxy ALL_PROXY
export no_proxy='*'
export QT_QPA_PLATFORM=offscreen
export TARNWELL_WERROR=ON

jobs=$(nproc)
timings=()
stage_start=0

stage() {
  echo "== $1 =="
  stage_name=$1
  stage_start=$SECONDS
}
stage_done() { timings+=("$(printf '%5d s  %s' $((SECONDS - stage_start)) "$stage_name")"); }

# Every entry of a build's bin/ folder: kind, size, time and checksum.
bin_listing() {
  (cd "$1/bin" && find . -printf '%y %s %T@ %p\n' | sort -k4 &&
    find . -type f -print0 | sort -z | xargs -0 sha256sum)
}
remember_bin() { bin_listing "$1" >"$1/bin-after-build.txt"; }
check_bin() {
  if ! diff -u "$1/bin-after-build.txt" <(bin_listing "$1") >"$1/bin-changes.txt"; then
    cat "$1/bin-changes.txt" >&2
    echo "test: the tests changed $1/bin/ (above); a test that needs the executable's folder gets a temporary one" >&2
    exit 1
  fi
}

stage "short fuzz runs"
bash scripts/fuzz.sh
stage_done

stage "build"
bash scripts/build.sh build -DTARNWELL_WERROR=ON
remember_bin build
stage_done

stage "test"
ctest --test-dir build -j"$jobs" --output-on-failure --timeout 300
check_bin build
stage_done

stage "build under AddressSanitizer and UndefinedBehaviorSanitizer"
bash scripts/build.sh build-asan -DTARNWELL_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DTARNWELL_WERROR=ON
remember_bin build-asan
stage_done

stage "test under AddressSanitizer and UndefinedBehaviorSanitizer"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan -j"$jobs" --output-on-failure --timeout 600
check_bin build-asan
stage_done

# Qt's widgets are not instrumented: only the suites that open no window.
stage "build the windowless suites under ThreadSanitizer"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNWELL_TSAN=ON -DTARNWELL_WERROR=ON >/dev/null
cmake --build build-tsan -j"$jobs" --target windowless_tests
remember_bin build-tsan
stage_done

stage "test the windowless suites under ThreadSanitizer"
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/tests/tsan.supp \
  ctest --test-dir build-tsan -j"$jobs" -L windowless --output-on-failure
check_bin build-tsan
stage_done

echo "== timings =="
printf '%s\n' "${timings[@]}"
