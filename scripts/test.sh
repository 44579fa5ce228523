#!/usr/bin/env bash
# Sets up, builds and runs every test: once as built, once under
# AddressSanitizer and UndefinedBehaviorSanitizer, after a short fuzz run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

# Loopback only: nothing a test sends may go through a proxy.
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY all_proxy ALL_PROXY
export no_proxy='*'
export QT_QPA_PLATFORM=offscreen

jobs=$(nproc)

echo "== short fuzz runs =="
bash scripts/fuzz.sh

echo "== build and test =="
bash scripts/build.sh build
ctest --test-dir build -j"$jobs" --output-on-failure --timeout 300

echo "== build and test under sanitizers =="
bash scripts/build.sh build-asan -DTARNWELL_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan -j"$jobs" --output-on-failure --timeout 600
