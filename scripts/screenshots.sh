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
