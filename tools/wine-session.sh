#!/usr/bin/env bash
# Runs one command inside a private Wine session and cleans up afterwards:
# a fresh temporary Wine prefix, its own persistent wineserver, a private Xvfb
# display. Windows programs started by the command (through tools/wine-run.sh
# or plain `wine`) share the session and start fast.
#
# Usage: tools/wine-session.sh COMMAND [ARGUMENTS...]
# Exit status: the command's; 70 when the session cannot be set up.
set -uo pipefail

if [ $# -eq 0 ]; then
  echo "usage: $0 COMMAND [ARGUMENTS...]" >&2
  exit 64
fi

wine_program=$(command -v wine || command -v wine64 || true)
[ -n "$wine_program" ] || { [ -x /usr/lib/wine/wine64 ] && wine_program=/usr/lib/wine/wine64; }
wineserver_program=$(command -v wineserver || true)
[ -n "$wineserver_program" ] || { [ -x /usr/lib/wine/wineserver ] && wineserver_program=/usr/lib/wine/wineserver; }
for need in "$wine_program" "$wineserver_program" "$(command -v Xvfb || true)"; do
  if [ -z "$need" ]; then
    echo "wine-session: wine, wineserver and Xvfb are needed (tools/setup-deps.sh all installs them)" >&2
    exit 70
  fi
done

session_dir=$(mktemp -d -t morvale-wine.XXXXXX) || exit 70
xvfb_pid=""

cleanup() {
  # Stop only what this session started: its wineserver and its X server.
  if [ -d "${WINEPREFIX:-}" ]; then
    "$wineserver_program" -k >/dev/null 2>&1 || true
    timeout 20 "$wineserver_program" -w >/dev/null 2>&1 || true
  fi
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" >/dev/null 2>&1 || true; wait "$xvfb_pid" 2>/dev/null || true; fi
  rm -rf "$session_dir"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

fail() {
  echo "wine-session: $*" >&2
  exit 70
}

# A private display: Xvfb picks a free number and writes it to the pipe.
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -noreset 3>"$session_dir/display" \
  </dev/null >"$session_dir/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$session_dir/display" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || fail "Xvfb did not start: $(cat "$session_dir/xvfb.log")"
  sleep 0.1
done
[ -s "$session_dir/display" ] || fail "Xvfb gave no display number"
export DISPLAY=":$(head -n 1 "$session_dir/display" | tr -d '[:space:]')"

export WINEPREFIX="$session_dir/prefix"
export WINEARCH=win64
export WINEDEBUG=-all
# No Mono or Gecko install prompts.
export WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"

# A persistent server started first, with its output away from our pipes:
# helper processes that inherit them would keep a caller such as CTest waiting.
"$wineserver_program" -p </dev/null >/dev/null 2>&1 || fail "wineserver did not start"

"$wine_program" wineboot --init </dev/null >"$session_dir/wineboot.log" 2>&1 ||
  fail "wineboot failed: $(tail -n 5 "$session_dir/wineboot.log")"

# Without a window manager every window close waits for one unless Wine manages
# no windows itself.
"$wine_program" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
  </dev/null >/dev/null 2>&1 || fail "cannot set the X11 driver settings"

# The fonts and colours of the program's own prefix, so that tests and
# screenshots see the window as users of tools/morvale-window.sh do.
"$(dirname "$0")/morvale-window.sh" --prepare "$WINEPREFIX" || fail "cannot prepare the prefix"

export MORVALE_WINE_SESSION=1
"$@"
