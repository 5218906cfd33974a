#!/usr/bin/env bash
# How Korvane scales with the size of a scene. For each size (20, 40 and 100 scene units: 2048²,
# 4096² and 10240² heightmaps and masks) it makes a scene with the command line — a new document,
# a fractal terrain with rain-drop erosion, the material masks filled from a preset — then opens it
# (`korvane info`, which decodes the whole document) and renders it at 640×400, quality 1. Every
# step prints its wall and CPU seconds and its peak resident memory (/usr/bin/time -v), and each
# size whether its largest peak stayed within 8 GiB.
#
# Given a baseline korvane (a build of an earlier version), every step runs with both in the same
# run, one after the other, and the ratios current / baseline are printed; the two renders are also
# compared (RMSE, when ImageMagick's `compare` is installed).
#
#   bench/scale-bench.sh                       # build/bin/korvane only
#   bench/scale-bench.sh /tmp/korvane-before   # against a baseline build
#   SIZES="20 40" KORVANE=build/bin/korvane bench/scale-bench.sh /tmp/korvane-before
#
# A 100-unit run takes minutes and a few GiB; WORK (default a new directory in /tmp) keeps the
# documents and images, and is removed at the end unless KEEP=1.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
korvane=${KORVANE:-$here/build/bin/korvane}
baseline=${1:-}
sizes=${SIZES:-20 40 100}
limit_kib=$((8 * 1024 * 1024))
work=${WORK:-$(mktemp -d /tmp/korvane-scale-XXXXXX)}
mkdir -p "$work"
[ "${KEEP:-0}" = 1 ] || trap 'rm -rf "$work"' EXIT

if [ ! -x "$korvane" ]; then
    echo "no korvane at $korvane (build it: cmake --build build --target korvane)" >&2
    exit 2
fi
if [ -n "$baseline" ] && [ ! -x "$baseline" ]; then
    echo "usage: $0 [BASELINE_KORVANE]  (no executable at $baseline)" >&2
    exit 2
fi
if [ ! -x /usr/bin/time ]; then
    echo "needs /usr/bin/time (Debian package time)" >&2
    exit 2
fi

# Runs a command under /usr/bin/time -v; prints "WALL CPU PEAK_KIB".
measure() {
    local log=$work/time.log
    if ! /usr/bin/time -v -o "$log" "$@" >"$work/step.out" 2>&1; then
        echo "failed: $*" >&2
        cat "$work/step.out" >&2
        exit 1
    fi
    awk -F': ' '
        /Elapsed \(wall clock\)/ { n = split($2, t, ":"); wall = 0; for (i = 1; i <= n; ++i) wall = wall * 60 + t[i] }
        /User time/ { cpu += $2 }
        /System time/ { cpu += $2 }
        /Maximum resident set size/ { peak = $2 }
        END { printf "%.2f %.2f %d\n", wall, cpu, peak }' "$log"
}

steps=(new terrain materials info render)

# Runs every step for one size with one korvane; fills results[step] with "WALL CPU PEAK".
declare -A results
pipeline() {
    local program=$1 size=$2 tag=$3
    local doc=$work/scene-$size-$tag.korvane
    results[new]=$(measure "$program" new "$doc" --size "$size" "$size" --force)
    results[terrain]=$(measure "$program" terrain "$doc" --fractal 0 --large 0.6 --small 0.4 --seed 1 \
        --erode 100000 0.5)
    results[materials]=$(measure "$program" materials "$doc" --preset earthrocks)
    results[info]=$(measure "$program" info "$doc")
    results[render]=$(measure "$program" render "$doc" -o "$work/render-$size-$tag.png" --quality 1 \
        --width 640 --height 400)
}

mib() { awk -v k="$1" 'BEGIN { printf "%.0f", k / 1024 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else printf "-" }'; }

echo "korvane:  $korvane"
[ -n "$baseline" ] && echo "baseline: $baseline"
echo "steps: new document, fractal terrain + erosion (100000 drops), masks from preset earthrocks,"
echo "       info (decode the document), render 640x400 quality 1"
echo
if [ -n "$baseline" ]; then
    printf '%-5s %-9s | %8s %8s %9s | %8s %8s %9s | %9s %10s\n' units step wall_s cpu_s peak_MiB \
        base_wall base_cpu base_peak cpu_ratio peak_ratio
else
    printf '%-5s %-9s | %8s %8s %9s\n' units step wall_s cpu_s peak_MiB
fi

status=0
for size in $sizes; do
    declare -A base=()
    if [ -n "$baseline" ]; then
        pipeline "$baseline" "$size" baseline
        for step in "${steps[@]}"; do base[$step]=${results[$step]}; done
    fi
    pipeline "$korvane" "$size" current
    largest=0
    for step in "${steps[@]}"; do
        read -r wall cpu peak <<<"${results[$step]}"
        ((peak > largest)) && largest=$peak
        if [ -n "$baseline" ]; then
            read -r bwall bcpu bpeak <<<"${base[$step]}"
            printf '%-5s %-9s | %8s %8s %9s | %8s %8s %9s | %9s %10s\n' "$size" "$step" "$wall" "$cpu" \
                "$(mib "$peak")" "$bwall" "$bcpu" "$(mib "$bpeak")" "$(ratio "$cpu" "$bcpu")" \
                "$(ratio "$peak" "$bpeak")"
        else
            printf '%-5s %-9s | %8s %8s %9s\n' "$size" "$step" "$wall" "$cpu" "$(mib "$peak")"
        fi
    done
    verdict="within 8 GiB"
    if ((largest > limit_kib)); then
        verdict="OVER 8 GiB"
        status=1
    fi
    echo "$size units: largest peak $(mib "$largest") MiB, $verdict"
    if [ -n "$baseline" ] && command -v compare >/dev/null; then
        rmse=$(compare -metric RMSE "$work/render-$size-baseline.png" "$work/render-$size-current.png" null: 2>&1 || true)
        echo "$size units: render RMSE against the baseline's render: $rmse"
    fi
    echo
done
exit $status
