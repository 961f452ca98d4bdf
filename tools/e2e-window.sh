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
# Usage: tools/e2e-window.sh [GRID.asc] [--options "CONVERTER OPTIONS"]
#   (default grid: the shared ava_slideTopo.asc)
# With --options (--format obj|glb|stl, --max-error E, --max-triangles N,
# --uv, --uv-extent window, --normals, --texture IMAGE, --solid [BASE],
# --z-scale F) the
# mode stays Interpolated, the save dialog's type list picks the format and
# the Mesh options dialog the rest, with the keyboard; the file is then
# compared with what the Windows morvale-convert writes for the same options
# (an OBJ apart from line 4, its time), a GLB passes the glTF validator and an
# STL admesh.
# MORVALE_WINDOWS_BUILD_DIR chooses another build folder than the preset's;
# MORVALE_E2E_OUTPUT another output file than BUILD_DIR/e2e-window/e2e.EXT.
# Screenshots and the output (e2e.obj, e2e.glb or e2e.stl) go to BUILD_DIR/e2e-window/.
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
# Wine shows the Linux file system as drive Z:.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

grid_arg="" options=""
while [ $# -gt 0 ]; do
  case $1 in
    --options) options=$2; shift 2 ;;
    *) grid_arg=$1; shift ;;
  esac
done
grid=$(realpath "${grid_arg:-../shared/data/grids/ava_slideTopo.asc}")
case $build_dir in /*) out_dir="$build_dir/e2e-window" ;; *) out_dir="$root/$build_dir/e2e-window" ;; esac
rm -rf "$out_dir"
mkdir -p "$out_dir"

# The options as the dialogs take them: the format's row in the save dialog's
# types, and the keys of the Mesh options dialog (Alt and its letters).
format=obj dialog_keys=() converter_options=()
read -r -a words <<<"$options"
for ((i = 0; i < ${#words[@]}; i++)); do
  word=${words[$i]} next=${words[$((i + 1))]:-}
  case $word in
    --format) format=$next; i=$((i + 1)); converter_options+=(--format "$next") ;;
    --max-error) dialog_keys+=("key:alt+e" "key:Tab" "type:$next"); i=$((i + 1)); converter_options+=("$word" "$next") ;;
    --max-triangles) dialog_keys+=("key:alt+t" "key:Tab" "type:$next"); i=$((i + 1)); converter_options+=("$word" "$next") ;;
    --uv) dialog_keys+=("key:alt+x"); converter_options+=(--uv) ;;
    --uv-extent) [ "$next" = window ] && dialog_keys+=("key:alt+w"); i=$((i + 1)); converter_options+=("$word" "$next") ;;
    --normals) dialog_keys+=("key:alt+n"); converter_options+=(--normals) ;;
    --z-scale) dialog_keys+=("key:alt+v" "type:$next"); i=$((i + 1)); converter_options+=("$word" "$next") ;;
    --texture)
      # A Linux path is typed as Wine shows it; a Windows one (C:\maps\x.png) as given.
      if [[ $next == /* ]]; then image=$(windows_path "$next"); else image=${next//\//\\}; fi
      dialog_keys+=("key:alt+d" "type:$image"); i=$((i + 1)); converter_options+=(--texture "$image") ;;
    --solid)
      dialog_keys+=("key:alt+p"); converter_options+=(--solid)
      if [[ $next =~ ^-?[0-9.]+$ ]]; then
        dialog_keys+=("key:alt+l" "key:Tab" "type:$next"); i=$((i + 1)); converter_options+=("$next")
      fi ;;
    *) echo "e2e-window: the window has no option $word" >&2; exit 2 ;;
  esac
done
case $format in obj) type_row=0 ;; glb) type_row=1 ;; stl) type_row=2 ;; *) echo "e2e-window: no window type for $format" >&2; exit 2 ;; esac
output=${MORVALE_E2E_OUTPUT:-$out_dir/e2e.$format}
wine_program=$(command -v wine || command -v wine64 || echo /usr/lib/wine/wine64)


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

# Tab reaches the mode pair; the right arrow chooses Floating planes (with
# options the mode stays Interpolated, which every option takes).
tab
if [ -z "$options" ]; then
  key Right
  shot floating-planes
fi

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
if [ -z "$options" ]; then
  xdotool type --delay 10 "$(windows_path "$output")"
else
  # The name without its extension: the type chosen from the list adds it.
  xdotool type --delay 10 "$(windows_path "${output%.*}")"
  key alt+t
  for _ in $(seq "$type_row"); do key Down; done
  shot output-type
fi
key Return
wait_gone '^Save As$' || fail "the save dialog did not close"
sleep 0.3
shot output-chosen
import -window "$window" "$out_dir/window.png"

if [ -n "$options" ]; then
  # The next stop is Mesh options; Enter takes the dialog, Tab goes on to Convert.
  tab
  key space
  wait_window '^Mesh options$' >/dev/null || fail "the options dialog did not appear"
  for step_key in "${dialog_keys[@]}"; do
    case $step_key in
      key:*) key "${step_key#key:}" ;;
      type:*) xdotool type --delay 10 "${step_key#type:}"; sleep 0.2 ;;
    esac
  done
  shot options-dialog
  key Return
  wait_gone '^Mesh options$' || fail "the options dialog did not close (a value refused?)"
  shot options-chosen
  tab
  key space
else
  # Enter on Save as or Mesh options would open their dialogs: Tab past
  # Mesh options to Convert, and Enter converts.
  tab
  tab
  key Return
fi
# Enter closes the summary.
box=$(wait_window '^Converting done\.\.\.$') || fail "no summary box"
shot summary
key Return
wait_gone '^Converting done\.\.\.$' || fail "the summary box did not close"
shot after-summary
first=$(md5sum <"$output")

# Only in the run without options, whose file is compared with nothing else.
if [ -z "$options" ]; then
  # Back to x min (the focus is on convert): a minimum above its maximum. Enter
  # in an edit converts, so the correction is asked about first.
  reversed_crop() {  # from where the keys in "$@" lead to x min, selected
    key "$@"
    xdotool type --delay 30 300
    key Return
    wait_window '^Corrected values\.\.\.$' >/dev/null || fail "no correction question"
  }
  back=()
  for _ in $(seq 11); do back+=(shift+Tab); done
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
fi

# Close the window with the keyboard and wait for the program to end.
key alt+F4
for _ in $(seq 100); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$program" 2>/dev/null; then fail "the program did not end"; fi

[ -f "$output" ] || fail "no $format file was written"
if [ -z "$options" ]; then
  tail -c 6 "$output" | grep -q ' quads' || fail "the OBJ file is incomplete"
else
  # The same file from the converter, under the same name in a folder of its
  # own beside (a material names its image relative to its folder).
  rm -rf "$out_dir-converter"
  mkdir -p "$out_dir-converter"
  expected="$out_dir-converter/$(basename "$output")"
  "$wine_program" "$build_dir/morvale-convert.exe" "$(windows_path "$grid")" -o "$(windows_path "$expected")" \
    --crop 10,20,200,150 --preset blender --quiet "${converter_options[@]}" </dev/null >"$out_dir/converter.log" 2>&1 ||
    fail "morvale-convert refused the same options: $(cat "$out_dir/converter.log")"
  if [ "$format" = obj ]; then
    cmp <(sed 4d "$output") <(sed 4d "$expected") || fail "the window's OBJ differs from the converter's"
    if [ -f "${output%.*}.mtl" ]; then
      cmp "${output%.*}.mtl" "${expected%.*}.mtl" || fail "the window's material differs from the converter's"
    fi
  else
    cmp "$output" "$expected" || fail "the window's $format differs from the converter's"
  fi
  case $format in
    glb)
      modules="$root/build/npm/node_modules"
      node "$root/tools/gltf-validate.js" "$modules" "$output" || fail "the glTF validator refused the window's GLB" ;;
    stl)
      admesh "$output" >"$out_dir/admesh.log" 2>&1 || fail "admesh refused the window's STL"
      grep -q 'Number of facets' "$out_dir/admesh.log" || fail "admesh read no facets" ;;
  esac
  echo "e2e-window: the window's $format equals morvale-convert's for: $options"
fi
echo "e2e-window: converted $(basename "$grid") into $output with the keyboard alone"
echo "e2e-window: screenshots in $out_dir"
