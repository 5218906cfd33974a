#!/usr/bin/env bash
# Renders the first bundled sample scene at quality level 3, 640×400, to out/demo.png.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build}
sample="resources/samples/Alpine Lake.korvane"
mkdir -p out
"$build_dir/bin/korvane" render "$sample" -o out/demo.png --quality 3 --width 640 --height 400
echo "demo: rendered $sample to out/demo.png"
