#!/usr/bin/env bash
# Builds the sample scenes in resources/samples/ from the command-line tool, each with a PNG preview
# beside it. Deterministic: every random draw is seeded, so a second run gives the same documents.
#   scripts/make-samples.sh [BUILD_DIR] [PREVIEW_QUALITY]
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build}
quality=${2:-3}
korvane="$build_dir/bin/korvane"
out=resources/samples
mkdir -p "$out"

# start NAME: a new document NAME.korvane with the default layers; the commands below edit it.
start() {
    scene="$out/$1.korvane"
    "$korvane" new "$scene" --force >/dev/null
}
edit() {
    local command=$1
    shift
    "$korvane" "$command" "$scene" "$@" >/dev/null
}
preview() {
    "$korvane" render "$scene" -o "${scene%.korvane}.png" --quality "$quality" --width 480 --height 300 \
        >/dev/null 2>&1
    echo "made $scene and its preview"
}

# A snow-capped, eroded peak rising from a calm lake, seen from above the shore; a cloud drifts by.
# The fog scatters more than it absorbs, so distance pales into a bright haze.
start "Alpine Lake"
edit set scene.maxTerrainHeight=2.2
edit terrain --fractal 0 --large 0.3 --small 0.05 --seed 3 --erode 20000 0.3
edit materials --preset lightearthdarkearthsnowdarkrocks
edit set water.active=true water.preset=deepcalmblueocean water.height=0.35 water.wavesHeight=0.08 \
    fog.active=true fog.density=0.01 fog.scatter=2.5 fog.height=0.5 fog.hazeDistance=40 \
    lighting.sun.direction=-0.45,0.3 \
    camera.fromPoint=0.3,2 camera.fromPointHeight=1.5 camera.toPoint=4,5 camera.toPointHeight=0
edit clouds --add --box 7,3,9.8,7 --height 0.7 --above 1.6 --density 0.08
preview

# A straight valley cut into red rock and ending at a high plateau, a deep blue lake at its floor.
start "Red Canyon"
edit set scene.maxTerrainHeight=2.5
edit terrain --fractal 3 --large 0.35 --small 0.08 --seed 11 --erode 15000 0.4
edit materials --preset detailedredrocksbrightsand
edit set water.active=true water.preset=deepcalmblueocean water.height=0.3 water.wavesHeight=0.05 \
    lighting.sun.direction=0.5,0.35 sky.turbidity=4.5 \
    camera.fromPoint=0.4,5 camera.fromPointHeight=1 camera.toPoint=6,5 camera.toPointHeight=0
preview

# A ridge of grey rocks and sand along the open sea, with fog over the water and a little vibrance.
start "Rocky Coast"
edit set scene.maxTerrainHeight=1.8
edit terrain --fractal 1 --large 0.4 --small 0.06 --seed 5 --erode 10000 0.3
edit materials --preset beachrocks
edit set water.active=true water.preset=ocean water.height=0.3 \
    fog.active=true fog.density=0.008 fog.scatter=2 fog.height=0.45 \
    lighting.sun.direction=-0.6,-0.4 \
    camera.fromPoint=4,0.5 camera.fromPointHeight=0.7 camera.toPoint=8,8 camera.toPointHeight=0 \
    scene.vibranceFilter=true scene.vibranceStrength=0.3
edit clouds --add --box 6,1,9.5,4 --height 0.8 --above 2.5 --density 0.04
preview

# Low grassy hills with a cabin between two fir trees, objects from the bundled library.
start "Meadow Cabin"
edit set scene.maxTerrainHeight=1.2
edit terrain --fractal 4 --large 0.25 --small 0.04 --seed 21 --erode 8000 0.3
edit materials --preset earthrocks
edit set water.active=true water.preset=calmocean water.height=0.03 \
    lighting.sun.direction=-0.5,0.35 \
    camera.fromPoint=4,6 camera.fromPointHeight=0.35 camera.toPoint=6.5,3.5 camera.toPointHeight=0
edit plants --add GreenGrassPlant --fill steepness --type 0 --threshold 0.3 --strength 0.8
edit objects --add-library Cabin --at 5.4,4.6 --scale 0.25
edit objects --add-library "Fir Tree" --at 5.9,4.9 --scale 0.3
edit objects --add-library "Fir Tree" --at 5.2,4.1 --scale 0.25
preview
