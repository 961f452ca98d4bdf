#!/usr/bin/env bash
# End-to-end run of the real morvale.exe under Wine, driven from outside with
# xdotool and the keyboard alone, as a person without a mouse would: open a
# grid through the open dialog, pick Floating planes, tick the crop box and
# type a window, pick "Blender", choose the output file, convert, read the
# summary and close it; then type a reversed crop, answer the correction
# question No (nothing is written) and then Yes (the corrected window is
# converted); close the window. The prefix is the one of
# tools/morvale-window.sh (Segoe UI stand-in, Windows 10 colours). A
# screenshot of the screen is saved after every step, and one of the window
# alone once the output is chosen (window.png, as in docs/).
#
# Usage: tools/e2e-window.sh [GRID.asc]   (default: the shared ava_slideTopo.asc)
# MORVALE_WINDOWS_BUILD_DIR chooses another build folder than the preset's;
# MORVALE_E2E_OUTPUT another OBJ file than BUILD_DIR/e2e-window/e2e.obj.
# Screenshots go to BUILD_DIR/e2e-window/.
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
output=${MORVALE_E2E_OUTPUT:-$out_dir/e2e.obj}
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
# The pointer waits in the corner, where no tooltip covers the screenshots.
xdotool mousemove 0 0
# The X keyboard focus goes to the window once; from here on only keys are used.
xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
sleep 0.3

key() {  # keys, each pressed and released
  xdotool key --delay 60 "$@"
  sleep 0.2
}
tab() { local n=${1:-1}; for _ in $(seq "$n"); do key Tab; done; }
shot start

# The open button has the focus at start: Space opens the dialog.
key space
wait_window '^Open$' >/dev/null || fail "the open dialog did not appear"
shot open-dialog
xdotool type --delay 10 "$(windows_path "$grid")"
key Return
wait_gone '^Open$' || fail "the open dialog did not close"
sleep 0.3
shot grid-open

# Tab reaches the mode pair; the right arrow chooses Floating planes.
tab
key Right
shot floating-planes

# The crop box: Space ticks it; each edit is selected as Tab reaches it.
tab
key space
for value in 10 20 200 150; do
  tab
  xdotool type --delay 30 "$value"
done
shot crop-window

# Past the reset button to the preset box: one row down is "Blender".
tab 2
key Down
shot blender

# Past the two check boxes and the unit scale to the save-as button.
tab 4
key space
wait_window '^Save As$' >/dev/null || fail "the save dialog did not appear"
key ctrl+a
xdotool type --delay 10 "$(windows_path "$output")"
key Return
wait_gone '^Save As$' || fail "the save dialog did not close"
sleep 0.3
shot output-chosen
import -window "$window" "$out_dir/window.png"

# Enter on Save as would open its dialog again: Tab to convert, Enter converts;
# Enter again closes the summary.
tab
key Return
box=$(wait_window '^Converting done\.\.\.$') || fail "no summary box"
shot summary
key Return
wait_gone '^Converting done\.\.\.$' || fail "the summary box did not close"
shot after-summary
first=$(md5sum <"$output")

# Back to x min (the focus is on convert): a minimum above its maximum. Enter
# in an edit converts, so the correction is asked about first.
reversed_crop() {  # from where the keys in "$@" lead to x min, selected
  key "$@"
  xdotool type --delay 30 300
  key Return
  wait_window '^Corrected values\.\.\.$' >/dev/null || fail "no correction question"
}
back=()
for _ in $(seq 10); do back+=(shift+Tab); done
reversed_crop "${back[@]}"
shot question
# No (the second button): the window stays idle, nothing is written.
key Tab Return
wait_gone '^Corrected values\.\.\.$' || fail "the question did not close"
shot answered-no
[ "$(md5sum <"$output")" = "$first" ] || fail "No converted all the same"
# The fields show the corrected window; the focus is back on x min: select it and again.
reversed_crop shift+Tab Tab
# Yes (the default button) converts with the corrected window.
key Return
wait_window '^Converting done\.\.\.$' >/dev/null || fail "no summary box after Yes"
shot answered-yes
key Return
wait_gone '^Converting done\.\.\.$' || fail "the summary box did not close"
[ "$(md5sum <"$output")" != "$first" ] || fail "Yes did not convert the corrected window"

# Close the window with the keyboard and wait for the program to end.
key alt+F4
for _ in $(seq 100); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$program" 2>/dev/null; then fail "the program did not end"; fi

[ -f "$output" ] || fail "no OBJ file was written"
tail -c 6 "$output" | grep -q ' quads' || fail "the OBJ file is incomplete"
echo "e2e-window: converted $(basename "$grid") into $output with the keyboard alone"
echo "e2e-window: screenshots in $out_dir"
