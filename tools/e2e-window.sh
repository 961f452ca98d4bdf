#!/usr/bin/env bash
# End-to-end run of the real morvale.exe under Wine, driven from outside with
# xdotool as a person would: open a grid through the open dialog, pick
# Floating planes, tick the crop box and type a window, pick "Blender", choose
# the output file, convert, read the summary and close it, close the window.
# A screenshot of the screen is saved after every step.
#
# Usage: tools/e2e-window.sh [GRID.asc]   (default: the shared ava_slideTopo.asc)
# MORVALE_WINDOWS_BUILD_DIR chooses another build folder than the preset's.
# Screenshots and the OBJ file go to BUILD_DIR/e2e-window/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build_dir=${MORVALE_WINDOWS_BUILD_DIR:-build/windows}

if [ -z "${MORVALE_WINE_SESSION:-}" ]; then
  build_args=()
  [ -n "${MORVALE_WINDOWS_BUILD_DIR:-}" ] && build_args=(-B "$MORVALE_WINDOWS_BUILD_DIR")
  cmake --preset windows "${build_args[@]}" >/dev/null
  cmake --build "$build_dir" -j 2 --target morvale
  for tool in xdotool import; do
    command -v "$tool" >/dev/null || { echo "e2e-window: $tool is needed (tools/setup-deps.sh all)" >&2; exit 70; }
  done
  exec tools/wine-session.sh "$0" "$@"
fi

# --- inside the Wine session -------------------------------------------------
grid=$(realpath "${1:-../shared/data/grids/ava_slideTopo.asc}")
case $build_dir in /*) out_dir="$build_dir/e2e-window" ;; *) out_dir="$root/$build_dir/e2e-window" ;; esac
rm -rf "$out_dir"
mkdir -p "$out_dir"
output="$out_dir/e2e.obj"
wine_program=$(command -v wine || command -v wine64 || echo /usr/lib/wine/wine64)

# Wine shows the Linux file system as drive Z:.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

step=0
shot() {
  step=$((step + 1))
  sleep 0.5  # let the window finish painting
  import -window root "$out_dir/$(printf '%02d' "$step")-$1.png"
  echo "screenshot $(printf '%02d' "$step")-$1.png"
}

fail() {
  echo "e2e-window: $*" >&2
  shot failure || true
  exit 1
}

# Waits for a top-level window whose title matches; prints its X id.
wait_window() {
  local title=$1 id=""
  for _ in $(seq 100); do
    id=$(xdotool search --onlyvisible --name "$title" 2>/dev/null | head -n 1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

wait_gone() {
  for _ in $(seq 100); do
    xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  return 1
}

"$wine_program" "$build_dir/src/ui/morvale.exe" </dev/null >"$out_dir/morvale.log" 2>&1 &
program=$!
window=$(wait_window '^Morvale \(v0\.4\)$') || fail "the main window did not appear"

# Without a window manager Wine draws the frame itself, with its default
# metrics: a 3-pixel border and a 19-pixel caption. The positions below are
# client coordinates of the controls.
eval "$(xdotool getwindowgeometry --shell "$window")"
client_x=$((X + 3))
client_y=$((Y + 3 + 19))
click_at() {  # client x, client y
  xdotool mousemove "$((client_x + $1))" "$((client_y + $2))" click 1
  sleep 0.3
}
replace_text() {  # client x, client y, text: a person selects all and types
  click_at "$1" "$2"
  xdotool key ctrl+a
  xdotool type --delay 30 "$3"
}
shot start

# Open a grid through the open dialog.
click_at 115 35
wait_window '^Open$' >/dev/null || fail "the open dialog did not appear"
shot open-dialog
xdotool type --delay 10 "$(windows_path "$grid")"
xdotool key Return
wait_gone '^Open$' || fail "the open dialog did not close"
shot grid-open

# Floating planes.
click_at 668 90
shot floating-planes

# Crop: tick the box, type the window.
click_at 254 196
replace_text 302 229 10
replace_text 302 249 20
replace_text 654 293 200
replace_text 654 313 150
shot crop-window

# The "Blender" preset from the list: drop it down, one row down, take it.
click_at 440 420
xdotool key Down Return
sleep 0.3
shot blender

# The output file through the save dialog, away from the shared grids.
click_at 299 537
wait_window '^Save As$' >/dev/null || fail "the save dialog did not appear"
xdotool key ctrl+a
xdotool type --delay 10 "$(windows_path "$output")"
xdotool key Return
wait_gone '^Save As$' || fail "the save dialog did not close"
shot output-chosen

# Convert and read the summary.
click_at 751 643
box=$(wait_window '^Converting done\.\.\.$') || fail "no summary box"
shot summary
xdotool windowfocus "$box" 2>/dev/null || true
xdotool key Return
wait_gone '^Converting done\.\.\.$' || fail "the summary box did not close"
shot after-summary

# Close the window with the keyboard and wait for the program to end.
xdotool windowfocus "$window" 2>/dev/null || true
xdotool key alt+F4
for _ in $(seq 100); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$program" 2>/dev/null; then fail "the program did not end"; fi

[ -f "$output" ] || fail "no OBJ file was written"
tail -c 6 "$output" | grep -q ' quads' || fail "the OBJ file is incomplete"
echo "e2e-window: converted $(basename "$grid") into $output"
echo "e2e-window: screenshots in $out_dir"
