#!/usr/bin/env bash
# Renders the bundled sample scene to an image, once the renderer and the sample scenes exist.
set -euo pipefail
build_dir=${1:-build}
sample=resources/SampleSceneLibrary/Default.korvane
if [ ! -f "$sample" ]; then
    echo "no sample scene yet"
    exit 0
fi
"$build_dir/bin/korvane" info "$sample"
