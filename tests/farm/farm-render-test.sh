#!/usr/bin/env bash
# Renders a bundled sample on the Slurm cluster SLURM_CONF names with `korvane farm` (160×100,
# 4 tiles) and checks that the merged image equals a direct render byte for byte and that
# `korvane farm --status` reports every tile and the merge completed. scripts/farm-test.sh starts
# such a cluster and runs this.
#   usage: tests/farm/farm-render-test.sh KORVANE
set -euo pipefail
korvane=$1
cd "$(dirname "$0")/../.."
sample="$PWD/resources/samples/Alpine Lake.korvane"
job_timeout=${KORVANE_FARM_JOB_TIMEOUT:-300}
frame=(--width 160 --height 100 --quality 3)

say() { echo "farm-test: $*"; }
fail() { echo "farm-test: FAILED: $*" >&2; exit 1; }

# A space and a quote in the farm directory's path: the batch script must quote every path.
work=$(mktemp -d "/tmp/korvane farm's test.XXXXXX")
chmod 755 "$work"
trap 'rm -rf "$work"' EXIT

"$korvane" render "$sample" -o "$work/direct.png" "${frame[@]}" >"$work/direct.log" 2>&1 ||
    fail "the direct render of $sample failed: $(tail -n 5 "$work/direct.log")"

submitted=$("$korvane" farm "$sample" -o "$work/farm.png" --tiles 4 "${frame[@]}") ||
    fail "korvane farm did not submit the render"
echo "$submitted"
job=$(echo "$submitted" | sed -n 's/^progress: korvane farm --status \([0-9][0-9]*\)$/\1/p')
[ -n "$job" ] || fail "korvane farm printed no job id"

deadline=$((SECONDS + job_timeout))
while true; do
    status=$("$korvane" farm --status "$job") || fail "korvane farm --status $job: $status"
    if echo "$status" | grep -q '^merge (job [0-9]*): completed$'; then break; fi
    if echo "$status" | grep -Eq 'failed|cancelled|timeout|node_fail|out_of_memory'; then
        for log in "$work/farm.png.farm"/*.log; do echo "--- $log"; cat "$log"; done
        fail "the farm job ended badly:"$'\n'"$status"
    fi
    [ "$SECONDS" -lt "$deadline" ] || fail "the farm job did not finish within ${job_timeout}s:"$'\n'"$status"
    sleep 1
done
echo "$status"
echo "$status" | grep -qx "tiles (job $job): 4 completed of 4" || fail "--status does not count 4 completed tiles"

cmp "$work/direct.png" "$work/farm.png" || fail "the merged image differs from the direct render"
say "PASSED: 4 tiles rendered on Slurm and merged equal the direct render byte for byte"
