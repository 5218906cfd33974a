#!/usr/bin/env bash
# How close the sample scenes' renders come to a converged picture. For each sample at 640×400,
# quality 3 (the default renderer, as a user renders it), it prints the CPU seconds, the RMSE (0–1)
# against a reference rendered with the path tracer at a high quality level, and the share of
# pixels with a clipped channel (any of red, green, blue at 255). The references are made once and
# kept in the build folder (build/fidelity-references/, REFERENCE_QUALITY, default 8: about three
# CPU minutes per scene on a 2-core machine, 20 several times that); delete them after changing
# how the engine turns light into colour.
#
# Given a baseline korvane (a build of an earlier version), each scene is also rendered with it in
# the same run, against the same reference.
#
#   bench/fidelity-bench.sh                          # build/bin/korvane
#   bench/fidelity-bench.sh /tmp/korvane-before      # against a baseline build
#   SCENES="Alpine Lake" bench/fidelity-bench.sh     # one scene
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
korvane=${KORVANE:-$here/build/bin/korvane}
baseline=${1:-}
references=${REFERENCES:-$here/build/fidelity-references}
reference_quality=${REFERENCE_QUALITY:-8}
work=$(mktemp -d /tmp/korvane-fidelity-XXXXXX)
trap 'rm -rf "$work"' EXIT

for tool in "$korvane" /usr/bin/time; do
    if [ ! -x "$tool" ]; then
        echo "missing $tool (build: cmake --build build --target korvane)" >&2
        exit 2
    fi
done
if ! command -v compare > /dev/null; then
    echo "needs ImageMagick's compare (Debian package imagemagick)" >&2
    exit 2
fi
if [ -n "$baseline" ] && [ ! -x "$baseline" ]; then
    echo "usage: $0 [BASELINE_KORVANE]  (no executable at $baseline)" >&2
    exit 2
fi
mkdir -p "$references"

# render PROGRAM SCENE OUT [ARGS…]: prints the CPU seconds.
render() {
    local program=$1 scene=$2 out=$3
    shift 3
    /usr/bin/time -f "%U %S" -o "$work/time.txt" "$program" render "$here/resources/samples/$scene.korvane" \
        --width 640 --height 400 -o "$out" --quiet "$@"
    awk '{ printf "%.1f", $1 + $2 }' "$work/time.txt"
}

rmse() {
    # compare exits 1 when the images differ at all, which is no failure here.
    { compare -metric RMSE "$1" "$2" null: 2>&1 || true; } | sed -E 's/.*\((.*)\).*/\1/'
}

# Share of pixels with a channel at 255.
clipped() {
    convert "$1" -alpha off -channel RGB -fx 'max(max(r,g),b) >= 1 ? 1 : 0' -format '%[fx:mean]' info:
}

scenes=${SCENES:-Alpine Lake;Meadow Cabin;Red Canyon;Rocky Coast}
IFS=';' read -r -a list <<< "$scenes"
printf '%-14s %8s %9s %9s\n' scene "cpu s" "RMSE" "clipped"
for scene in "${list[@]}"; do
    reference="$references/$scene-q$reference_quality.png"
    if [ ! -f "$reference" ]; then
        echo "  (rendering the reference of $scene with the path tracer, quality $reference_quality…)"
        render "$korvane" "$scene" "$reference" --renderer path --quality "$reference_quality" > /dev/null
    fi
    cpu=$(render "$korvane" "$scene" "$work/now.png" --quality 3)
    printf '%-14s %8s %9s %9s\n' "$scene" "$cpu" "$(rmse "$work/now.png" "$reference")" "$(clipped "$work/now.png")"
    if [ -n "$baseline" ]; then
        bcpu=$(render "$baseline" "$scene" "$work/before.png" --quality 3)
        printf '  %-12s %8s %9s %9s\n' baseline "$bcpu" "$(rmse "$work/before.png" "$reference")" \
            "$(clipped "$work/before.png")"
    fi
done
