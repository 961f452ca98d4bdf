#!/usr/bin/env bash
# Runs a Windows program under Wine; the emulator of the Windows build's tests.
# Inside a session of tools/wine-session.sh it starts the program directly;
# otherwise it makes a session just for this one run (slower, but self-contained).
set -uo pipefail

if [ -z "${MORVALE_WINE_SESSION:-}" ]; then
  exec "$(dirname "$0")/wine-session.sh" "$0" "$@"
fi

wine_program=$(command -v wine || command -v wine64 || true)
[ -n "$wine_program" ] || wine_program=/usr/lib/wine/wine64
exec "$wine_program" "$@" </dev/null
