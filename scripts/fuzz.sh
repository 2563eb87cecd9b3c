#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs them one after another, one process at
# a time, printing executions and coverage for each.
#   scripts/fuzz.sh [SECONDS] [TARGET...]
# SECONDS per target (default 60); the targets default to all of them. The working corpus
# grows in $BUILD_DIR/corpus/<target>, starting from fuzz/corpus and fuzz/regressions;
# a crashing, hanging or leaking input lands in $BUILD_DIR/crashes/<target>/: replay it with
# "$BUILD_DIR/fuzz_<target> FILE" and, once fixed, copy it to fuzz/regressions/<target>/.
# FUZZ_SEEDS=1 first rewrites fuzz/corpus from the built-in sample exchanges.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
[ $# -gt 0 ] && shift
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(ats_loader tables identification line work_files texts)
BUILD_DIR=${BUILD_DIR:-build-fuzz}

CC=clang CXX=clang++ cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DSTANSET_FUZZ=ON -DSTANSET_TESTS=OFF >/dev/null
cmake --build "$BUILD_DIR" --target fuzz_make_seeds "${targets[@]/#/fuzz_}"

if [ "${FUZZ_SEEDS:-0}" = 1 ]; then
    rm -rf fuzz/corpus
    "$BUILD_DIR/fuzz_make_seeds" fuzz/corpus
fi

# libFuzzer ends without running destructors, so the targets' working folders go in a
# folder of this run's own, removed here.
TMPDIR=$(mktemp -d /dev/shm/stanset-fuzz.XXXXXX 2>/dev/null || mktemp -d)
export TMPDIR
trap 'rm -rf "$TMPDIR"' EXIT

status=0
for t in "${targets[@]}"; do
    corpus="$BUILD_DIR/corpus/$t" crashes="$BUILD_DIR/crashes/$t" log="$BUILD_DIR/fuzz-$t.log"
    mkdir -p "$corpus" "$crashes"
    dirs=("$corpus" "fuzz/corpus/$t")
    [ -d "fuzz/regressions/$t" ] && dirs+=("fuzz/regressions/$t")
    echo "== $t: ${seconds}s"
    # Two cores are shared: one fuzzing process, one job, no workers.
    if ! "$BUILD_DIR/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
            -print_final_stats=1 -artifact_prefix="$crashes/" "${dirs[@]}" >"$log" 2>&1; then
        status=1
        echo "   FOUND: see $log and $crashes/"
    fi
    last=$(grep -E '^#[0-9]+' "$log" | tail -n 1 || true)
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    echo "   executions ${execs:-?} (${speed:-?}/s); ${last#*cov: }" | sed 's/ ft: / features: /; s/ corp: / corpus: /; s/ lim:.*//; s/^\(.*executions[^;]*; \)\([0-9]\)/\1edges \2/'
done
exit $status
