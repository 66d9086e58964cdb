#!/usr/bin/env bash
# Builds the libFuzzer targets (preset `fuzz`: clang-14, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each over its seed corpus in
# fuzz/corpus/<target>/ for a share of the total time. Fails on any finding
# (crash, sanitizer report, leak, time-out, memory limit); the input that
# caused it is kept in build/fuzz/findings/.
#
#   bash scripts/run-fuzzers.sh              # 600 s in total, split over the targets
#   bash scripts/run-fuzzers.sh 3600         # an hour in total
#   FUZZ_TARGETS="fuzz_document" bash scripts/run-fuzzers.sh 600
#
# Exit status 77 (skipped) when clang-14 or libFuzzer is not installed.
set -euo pipefail

cd "$(dirname "$0")/.."

total_seconds="${1:-600}"
targets="${FUZZ_TARGETS:-fuzz_document fuzz_edit_text fuzz_points fuzz_resources fuzz_node_operations fuzz_exr_tile}"

if ! command -v clang++-14 >/dev/null 2>&1 ||
   ! ls /usr/lib/llvm-14/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
    echo "run-fuzzers: skipped: clang-14 with libFuzzer is not installed (run: bash scripts/install-test-extras.sh)" >&2
    exit 77
fi

cmake --preset fuzz >/dev/null
cmake --build build/fuzz --target $targets

count=$(wc -w <<<"$targets")
share=$(( total_seconds / count ))
(( share >= 1 )) || share=1
findings=build/fuzz/findings
mkdir -p "$findings"
failed=0
for target in $targets; do
    work="build/fuzz/corpus/$target"   # grows while fuzzing; the seeds stay as they are
    mkdir -p "$work"
    echo "== $target: ${share} s"
    if ! build/fuzz/bin/"$target" -max_total_time="$share" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
            -artifact_prefix="$findings/$target-" -print_final_stats=1 \
            "$work" "fuzz/corpus/$target" 2>&1 | tail -n 25; then
        echo "run-fuzzers: $target found a fault; see $findings/" >&2
        failed=1
    fi
done
exit "$failed"
