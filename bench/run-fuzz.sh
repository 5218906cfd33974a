#!/usr/bin/env bash
# Runs a fuzzer (TARGET: "unarchiver", the default, "tga", "heightmap" or "shadergraph") for SECONDS
# (default 60) on a copy of its seed corpus (bench/fuzz/corpus, corpus-tga; the heightmap seeds are
# written by the fuzzer itself, the shader graph starts from nothing) in /tmp, then prints the
# number of executions, the coverage and whether the run was clean. Exits non-zero on a crash, a
# sanitizer report (the first one ends the run: nothing is recovered from), a leak, an allocation
# beyond the decoders' budget or a timeout; the input that caused it is kept and its path printed.
#
#   bench/run-fuzz.sh 600
#   bench/run-fuzz.sh 300 tga
#   bench/run-fuzz.sh 300 heightmap
#
# Builds the fuzzer with `make fuzz` when it is missing (FUZZ_DIR, default build-fuzz), otherwise
# brings just the fuzzer target up to date, under the tree's build lock.
set -euo pipefail

seconds=${1:-60}
target=${2:-unarchiver}
if ! [[ $seconds =~ ^[0-9]+$ ]] || [ "$seconds" -eq 0 ]; then
    echo "usage: $0 SECONDS [unarchiver|tga|heightmap|shadergraph]" >&2
    exit 2
fi
# Per target: its seed corpus (empty: none kept in the tree) and the most one input may allocate.
# The decoders' budget is 400 MiB of samples; a Gray16 copy beside it stays under 700 MiB.
malloc_limit=2048
case $target in
    unarchiver) corpus=corpus ;;
    tga) corpus=corpus-tga; malloc_limit=700 ;;
    heightmap) corpus=; malloc_limit=700 ;;
    shadergraph) corpus= ;;
    *) echo "usage: $0 SECONDS [unarchiver|tga|heightmap|shadergraph]" >&2; exit 2 ;;
esac

root=$(cd "$(dirname "$0")/.." && pwd)
fuzz_dir=${FUZZ_DIR:-build-fuzz}
case $fuzz_dir in /*) build=$fuzz_dir ;; *) build=$root/$fuzz_dir ;; esac
fuzzer=$build/bench/fuzz/${target}_fuzzer

# Builds share the machine with other builds of the tree: they take the same lock as those
# (LOCK, default /tmp/korvane-build.lock) so that two never run at once.
lock=${LOCK:-/tmp/korvane-build.lock}
if [ ! -x "$fuzzer" ]; then
    flock "$lock" make -C "$root" fuzz FUZZ_DIR="$build"
else
    flock "$lock" cmake --build "$build" --target "${target}_fuzzer"
fi

work=$(mktemp -d /tmp/korvane-fuzz.XXXXXX)
mkdir "$work/corpus" "$work/artifacts"
if [ -n "$corpus" ]; then
    cp -r "$root/bench/fuzz/$corpus/." "$work/corpus/"
elif [ "$target" = heightmap ]; then
    KORVANE_FUZZ_WRITE_SEEDS="$work/corpus" "$fuzzer"
fi
log=$work/fuzz.log
echo "fuzzing for ${seconds}s in $work"

# One process; the limits keep a single input from taking more than 10 s or 2 GB, or allocating
# more than its target's limit at once. UBSan halts at its first report even where a library was
# built to recover.
set +e
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 "$fuzzer" "$work/corpus" \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb="$malloc_limit" \
    -max_len=16384 -print_final_stats=1 -artifact_prefix="$work/artifacts/" >"$log" 2>&1
status=$?
set -e

executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
if [ -z "$executions" ]; then
    # A crash ends the run before the final statistics; the last status line has the count.
    executions=$(grep -oE '^#[0-9]+' "$log" | tail -n 1 | tr -d '#')
fi
grep -E '^#[0-9]+.*(DONE|pulse)' "$log" | tail -n 1 || true
echo "executions: ${executions:-unknown}"
coverage=$(grep -oE '^#[0-9]+.*cov: [0-9]+ ft: [0-9]+' "$log" | tail -n 1 | grep -oE 'cov: [0-9]+ ft: [0-9]+' || true)
echo "coverage: ${coverage:-unknown} (edges, features)"
echo "corpus: $(find "$work/corpus" -type f | wc -l) inputs"

if [ "$status" -eq 0 ]; then
    echo "result: clean (no crash, leak or timeout in ${seconds}s)"
else
    echo "result: FAILED (fuzzer exit status $status); log $log" >&2
    grep -E 'ERROR|SUMMARY|invariant broken|Test unit written' "$log" | head -n 20 >&2 || true
fi
exit "$status"
