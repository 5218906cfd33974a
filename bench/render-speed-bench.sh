#!/usr/bin/env bash
# Render speed of the four sample scenes at 1280×720, quality 3: for each, the CPU seconds, the
# wall seconds with one and with two render threads and the peak resident memory of the whole
# `korvane render` process (/usr/bin/time), and the image's RMSE (0–1) against the render of
# the same scene before the speed work (docs/renders/before/NAME.jpg; the JPEG itself lies 0.015
# from the exact render). The same run first times raw Embree casting the camera rays of a
# 1280×720 frame over a heightfield of two million triangles (engine_throughput_bench), so that
# every render time is also printed as a multiple of that baseline.
#
# Given a baseline korvane (a build of an earlier version), each scene is also rendered with it
# in the same run and the ratios current / baseline printed.
#
#   bench/render-speed-bench.sh                        # build/bin/korvane
#   bench/render-speed-bench.sh /tmp/korvane-before    # against a baseline build
#   SCENES="Alpine Lake" bench/render-speed-bench.sh   # one scene
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
korvane=${KORVANE:-$here/build/bin/korvane}
raw=${RAW_BENCH:-$here/build/bench/engine_throughput_bench}
baseline=${1:-}
work=$(mktemp -d /tmp/korvane-speed-XXXXXX)
trap 'rm -rf "$work"' EXIT

for tool in "$korvane" "$raw" /usr/bin/time; do
    if [ ! -x "$tool" ]; then
        echo "missing $tool (build: cmake --build build --target korvane engine_throughput_bench)" >&2
        exit 2
    fi
done
if [ -n "$baseline" ] && [ ! -x "$baseline" ]; then
    echo "usage: $0 [BASELINE_KORVANE]  (no executable at $baseline)" >&2
    exit 2
fi

# Raw Embree: the seconds of one thread casting the frame's camera rays.
raw_seconds=$("$raw" 1 | awk '/raw rtcIntersect1/ { for (i = 1; i < NF; ++i) if ($i == "rtcIntersect1") { printf "%.3f", 1280 * 720 / ($(i + 1) * 1e6); exit } }')
raw_seconds=${raw_seconds:-0}
echo "raw Embree, 1280x720 camera rays, 1 thread: ${raw_seconds} s"

# run PROGRAM SCENE THREADS OUT: prints "cpu wall peakMiB".
run() {
    local stats="$work/time.txt"
    /usr/bin/time -f "%U %S %e %M" -o "$stats" "$1" render "$here/resources/samples/$2.korvane" \
        --width 1280 --height 720 --quality 3 --threads "$3" -o "$4" --quiet
    awk '{ printf "%.1f %.1f %.0f\n", $1 + $2, $3, $4 / 1024 }' "$stats"
}

rmse() {
    if command -v compare > /dev/null; then
        # compare exits 1 when the images differ at all, which is no failure here.
        { compare -metric RMSE "$1" "$2" null: 2>&1 || true; } | sed -E 's/.*\((.*)\).*/\1/'
    else
        echo "n/a"
    fi
}

scenes=${SCENES:-Alpine Lake;Meadow Cabin;Red Canyon;Rocky Coast}
IFS=';' read -r -a list <<< "$scenes"
printf '%-14s %8s %9s %9s %8s %8s %9s\n' scene "cpu s" "wall 1t" "wall 2t" "peak MiB" "x raw" "RMSE"
for scene in "${list[@]}"; do
    read -r cpu wall1 peak < <(run "$korvane" "$scene" 1 "$work/one.png")
    read -r _ wall2 _ < <(run "$korvane" "$scene" 2 "$work/two.png")
    ratio=$(awk -v c="$cpu" -v r="$raw_seconds" 'BEGIN { if (r > 0) printf "%.0f", c / r; else print "n/a" }')
    before="$here/docs/renders/before/$scene.jpg"
    difference=$([ -f "$before" ] && rmse "$work/one.png" "$before" || echo "n/a")
    printf '%-14s %8s %9s %9s %8s %8s %9s\n' "$scene" "$cpu" "$wall1" "$wall2" "$peak" "$ratio" "$difference"
    if [ -n "$baseline" ]; then
        read -r bcpu bwall1 bpeak < <(run "$baseline" "$scene" 1 "$work/before.png")
        awk -v n="$scene" -v c="$cpu" -v b="$bcpu" -v w="$wall1" -v bw="$bwall1" -v p="$peak" -v bp="$bpeak" \
            'BEGIN { printf "  baseline:    %8.1f %9.1f %9s %8d   cpu x%.2f, wall x%.2f, peak x%.2f\n", b, bw, "", bp, c / b, w / bw, p / bp }'
        echo "  RMSE against the baseline's image: $(rmse "$work/one.png" "$work/before.png")"
    fi
done
