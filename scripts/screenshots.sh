#!/usr/bin/env bash
# Runs korvane-app under Xvfb as a new user would and writes screenshots to docs/screenshots/:
# the start-up window, the editor of a sample scene with its live preview, and the render view
# after a finished render. Needs xvfb, xdotool and ImageMagick (scripts/install-deps.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${1:-build}"
app="$build_dir/bin/korvane-app"
out=docs/screenshots
mkdir -p "$out"

display=":$((90 + RANDOM % 9))"
settings="$(mktemp -d)"
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
app_pid=""
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    kill "$xvfb" 2>/dev/null || true
    rm -rf "$settings"
}
trap cleanup EXIT
export DISPLAY="$display" XDG_CONFIG_HOME="$settings" QT_QPA_PLATFORM=xcb
unset KORVANE_SERVICE_URL
sleep 1

wait_for_window() {  # NAME PATTERN, seconds
    for _ in $(seq 1 "$2"); do
        if xdotool search --name "$1" >/dev/null 2>&1; then return 0; fi
        sleep 1
    done
    echo "screenshots: no window named '$1' appeared" >&2
    return 1
}
shot() {  # FILE, WINDOW NAME: that window alone
    local id
    id=$(xdotool search --name "$2" | head -1)
    import -window "$id" "$out/$1.png"
    echo "wrote $out/$1.png"
}

# 1. First launch: the start-up window over its animated background.
"$app" >/dev/null 2>&1 &
app_pid=$!
wait_for_window "Welcome to Korvane" 30
sleep 4
shot startup-window "Welcome to Korvane"
kill "$app_pid"; wait "$app_pid" 2>/dev/null || true

# 2. A sample scene in the editor; the live preview renders after the window opens.
"$app" "resources/samples/Alpine Lake.korvane" >/dev/null 2>&1 &
app_pid=$!
wait_for_window "Alpine Lake" 30
sleep "${KORVANE_PREVIEW_WAIT:-25}"
shot editor "Alpine Lake"
# 3. Full render (Ctrl+R), then the finished image in the render view.
window=$(xdotool search --name "Alpine Lake" | head -1)
xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window"
xdotool key --window "$window" ctrl+r
sleep "${KORVANE_RENDER_WAIT:-60}"
shot render-view "Alpine Lake"
kill "$app_pid"; wait "$app_pid" 2>/dev/null || true

# 4. The map editors on a generated valley (the Alpine Lake sample's water, sky and camera over a
# fractal terrain): the terrain editor with the brush cursor over the map, the erode sheet open over
# it, and the texture editor after a material preset.
scene_dir="$(mktemp -d)"
valley="$scene_dir/Valley.korvane"
cp "resources/samples/Alpine Lake.korvane" "$valley"
"$build_dir/bin/korvane" -q terrain "$valley" --fractal 2 --large 0.6 --small 0.45 --seed 11
"$build_dir/bin/korvane" -q materials "$valley" --preset lightearthdarkearthsnowdarkrocks
"$build_dir/bin/korvane" -q objects "$valley" --add-library Cabin --at 4.2,6.1 --scale 1.2 --rotate 30
"$app" "$valley" >/dev/null 2>&1 &
app_pid=$!
wait_for_window "Valley" 30
sleep 3
window=$(xdotool search --name "Valley" | head -1)
eval "$(xdotool getwindowgeometry --shell "$window")"
# The terrain editor is shown first; hover over the map so that the brush outline shows.
xdotool mousemove $((X + 560)) $((Y + 380))
sleep 1
xdotool mousemove $((X + 580)) $((Y + 400))
sleep 1
shot terrain-editor "Valley"
xdotool mousemove $((X + 380)) $((Y + 724)) click 1  # "Erode…" in the bottom bar
sleep 3
import -window root "$out/erode-sheet.png"; echo "wrote $out/erode-sheet.png"
xdotool key Escape
sleep 1
xdotool mousemove $((X + 100)) $((Y + 171)) click 1  # "Terrain Materials" in the layer list
sleep 3
shot texture-editor "Valley"
xdotool mousemove $((X + 1103)) $((Y + 644)) click 1  # "Edit Material…" under the list
sleep 6
import -window root "$out/material-sheet.png"; echo "wrote $out/material-sheet.png"
xdotool key Escape
sleep 1
# The lighting editor while the sun is dragged towards the middle of the map.
xdotool mousemove $((X + 100)) $((Y + 251)) click 1  # "Lighting"
sleep 2
xdotool mousemove $((X + 451)) $((Y + 507)) mousedown 1
for step in 1 2 3 4 5 6; do
    xdotool mousemove $((X + 451 + step * 20)) $((Y + 507 - step * 22))
    sleep 0.2
done
sleep 1
shot lighting-editor "Valley"
xdotool mouseup 1
# The objects editor with the library cabin placed (the objects layer is last in the list).
xdotool mousemove $((X + 100)) $((Y + 451)) click 1
sleep 3
shot mesh-editor "Valley"
rm -rf "$scene_dir"
