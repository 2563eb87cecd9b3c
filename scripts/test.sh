#!/usr/bin/env bash
# Installs what the project needs, builds, and runs every test: once as built for use,
# once under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

BUILD_DIR=build bash scripts/build.sh
(cd build && ctest --output-on-failure --parallel "$(nproc)")

BUILD_DIR=build-asan BUILD_TYPE=Debug bash scripts/build.sh -DSTANSET_SANITIZE=ON
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --output-on-failure --parallel "$(nproc)")
