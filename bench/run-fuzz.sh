#!/usr/bin/env bash
# Runs a fuzzer (TARGET: "unarchiver", the default, or "tga") for SECONDS (default 60) on a copy of
# its seed corpus (bench/fuzz/corpus, bench/fuzz/corpus-tga) in /tmp,
# then prints the number of executions and whether the run was clean. Exits non-zero on a crash,
# a sanitizer report, a leak or a timeout; the input that caused it is kept and its path printed.
#
#   bench/run-fuzz.sh 600
#   bench/run-fuzz.sh 300 tga
#
# Builds the fuzzer with `make fuzz` when it is missing (FUZZ_DIR, default build-fuzz), otherwise
# brings just the fuzzer target up to date.
set -euo pipefail

seconds=${1:-60}
target=${2:-unarchiver}
if ! [[ $seconds =~ ^[0-9]+$ ]] || [ "$seconds" -eq 0 ]; then
    echo "usage: $0 SECONDS [unarchiver|tga]" >&2
    exit 2
fi
case $target in
    unarchiver) corpus=corpus ;;
    tga) corpus=corpus-tga ;;
    *) echo "usage: $0 SECONDS [unarchiver|tga]" >&2; exit 2 ;;
esac

root=$(cd "$(dirname "$0")/.." && pwd)
fuzz_dir=${FUZZ_DIR:-build-fuzz}
case $fuzz_dir in /*) build=$fuzz_dir ;; *) build=$root/$fuzz_dir ;; esac
fuzzer=$build/bench/fuzz/${target}_fuzzer

if [ ! -x "$fuzzer" ]; then
    make -C "$root" fuzz FUZZ_DIR="$build"
else
    cmake --build "$build" --target "${target}_fuzzer"
fi

work=$(mktemp -d /tmp/korvane-fuzz.XXXXXX)
cp -r "$root/bench/fuzz/$corpus" "$work/corpus"
mkdir "$work/artifacts"
log=$work/fuzz.log
echo "fuzzing for ${seconds}s in $work"

# One process; the limits keep a single input from taking more than 10 s or 2 GB.
set +e
"$fuzzer" "$work/corpus" \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=16384 \
    -print_final_stats=1 -artifact_prefix="$work/artifacts/" >"$log" 2>&1
status=$?
set -e

executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
if [ -z "$executions" ]; then
    # A crash ends the run before the final statistics; the last status line has the count.
    executions=$(grep -oE '^#[0-9]+' "$log" | tail -n 1 | tr -d '#')
fi
grep -E '^#[0-9]+.*(DONE|pulse)' "$log" | tail -n 1 || true
echo "executions: ${executions:-unknown}"
echo "corpus: $(find "$work/corpus" -type f | wc -l) inputs"

if [ "$status" -eq 0 ]; then
    echo "result: clean (no crash, leak or timeout in ${seconds}s)"
else
    echo "result: FAILED (fuzzer exit status $status); log $log" >&2
    grep -E 'ERROR|SUMMARY|invariant broken|Test unit written' "$log" | head -n 20 >&2 || true
fi
exit "$status"
