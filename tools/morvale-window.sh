#!/usr/bin/env bash
# Runs the Windows program (morvale.exe) under Wine so that it looks as it
# does on Windows: a Wine prefix of its own, kept between runs, where
# "Segoe UI" is replaced by a font of matching widths and the system colours
# are those of Windows 10. The window tests and tools/e2e-window.sh prepare
# their temporary prefixes with the same settings (--prepare).
#
# Usage: tools/morvale-window.sh [PROGRAM.exe]     run (default: the windows preset's build)
#        tools/morvale-window.sh --prepare PREFIX  set up an existing prefix (wineboot done)
# MORVALE_WINE_PREFIX chooses the persistent prefix
#   (default: ${XDG_DATA_HOME:-$HOME/.local/share}/morvale/wine-prefix).
# MORVALE_SEGOE_STAND_IN names another face to try in place of "Segoe UI"
#   (for measuring; the window tests report every label it cuts).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

wine_program=$(command -v wine || command -v wine64 || true)
[ -n "$wine_program" ] || wine_program=/usr/lib/wine/wine64

# The face that stands in for "Segoe UI" (package fonts-roboto-unhinted).
# Measured by the window tests (layout.everyLabelShowsWhole), which wrap
# each label's text at the label's width in its own font as the label does:
#   Roboto Condensed        every label whole; tightest "x max: " at 39 of 40 px
#   PT Sans Narrow          every label whole, with more room to spare (narrower)
#   Liberation Sans Narrow  "x max: " and "y max: " wrap and show only "x", "y"
#   Carlito                 also cuts "memory free:" and " Step 05. Convert: "
#   Liberation Sans, DejaVu Sans (Condensed)  cut seven labels or more
# The widest face that keeps every label whole is the nearest to the widths
# the layout was made for.
replacement_font=${MORVALE_SEGOE_STAND_IN:-"Roboto Condensed"}

# Windows 10's system colours. Wine's own defaults give the window (Menu) and
# the labels (ButtonFace) different greys, so each label sat on a box.
windows10_colours=(
  "ActiveBorder=180 180 180" "ActiveTitle=153 180 209" "AppWorkSpace=171 171 171" "Background=0 0 0"
  "ButtonAlternateFace=0 0 0" "ButtonDkShadow=105 105 105" "ButtonFace=240 240 240" "ButtonHilight=255 255 255"
  "ButtonLight=227 227 227" "ButtonShadow=160 160 160" "ButtonText=0 0 0" "GradientActiveTitle=185 209 234"
  "GradientInactiveTitle=215 228 242" "GrayText=109 109 109" "Hilight=0 120 215" "HilightText=255 255 255"
  "HotTrackingColor=0 102 204" "InactiveBorder=244 247 252" "InactiveTitle=191 205 219"
  "InactiveTitleText=0 0 0" "InfoText=0 0 0" "InfoWindow=255 255 225" "Menu=240 240 240" "MenuBar=240 240 240"
  "MenuHilight=0 120 215" "MenuText=0 0 0" "Scrollbar=200 200 200" "TitleText=0 0 0" "Window=255 255 255"
  "WindowFrame=100 100 100" "WindowText=0 0 0"
)

# Settings of a prefix that wineboot has made. Programs started afterwards see
# them. One registry import: a Wine process per value took some 15 s.
prepare_prefix() {
  prefix=$1
  # Wine's own fonts are not found otherwise (caption buttons drawn as letters).
  if compgen -G "/usr/share/wine/fonts/*.ttf" >/dev/null; then
    mkdir -p "$prefix/drive_c/windows/Fonts"
    cp /usr/share/wine/fonts/*.ttf "$prefix/drive_c/windows/Fonts/"
  fi
  fc-list ":family=$replacement_font" 2>/dev/null | grep -q . ||
    echo "morvale-window: the font \"$replacement_font\" is missing (tools/setup-deps.sh all)" >&2
  local entry reg_file=$prefix/drive_c/morvale-prepare.reg
  {
    printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\n"Segoe UI"="%s"\n\n' "$replacement_font"
    # Wine's "light" theme brings its own colours and would put them back.
    printf '[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\ThemeManager]\n"DllName"=-\n"ThemeActive"="0"\n\n'
    printf '[HKEY_CURRENT_USER\\Control Panel\\Colors]\n'
    for entry in "${windows10_colours[@]}"; do printf '"%s"="%s"\n' "${entry%%=*}" "${entry#*=}"; done
    # The theme's colours, applied while the prefix was made, live on in this
    # volatile key (for as long as the Wine server runs) and win over the above.
    printf '\n[-HKEY_CURRENT_USER\\Software\\Wine\\Temporary System Parameters]\n'
  } >"$reg_file"
  WINEPREFIX=$prefix "$wine_program" regedit /S 'C:\morvale-prepare.reg' </dev/null >/dev/null 2>&1
  rm -f "$reg_file"
}

if [ "${1:-}" = --prepare ]; then
  [ $# -eq 2 ] && [ -d "$2" ] || { echo "usage: $0 --prepare PREFIX" >&2; exit 64; }
  prepare_prefix "$2"
  exit 0
fi

program=${1:-$root/build/windows/src/ui/morvale.exe}
[ -f "$program" ] || { echo "morvale-window: no $program (cmake --preset windows && cmake --build build/windows --target morvale)" >&2; exit 66; }
export WINEPREFIX=${MORVALE_WINE_PREFIX:-${XDG_DATA_HOME:-$HOME/.local/share}/morvale/wine-prefix}
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/.morvale-prepared" ]; then
  mkdir -p "$WINEPREFIX"
  echo "morvale-window: preparing the Wine prefix $WINEPREFIX (once)" >&2
  "$wine_program" wineboot --init </dev/null >/dev/null 2>&1
  prepare_prefix "$WINEPREFIX"
  touch "$WINEPREFIX/.morvale-prepared"
fi
exec "$wine_program" "$program"
