#!/bin/sh
# Runs a Windows program under wine: run-under-wine.sh WINE PROGRAM [ARGUMENTS...].
# Wine stays quiet and uses a prefix of its own, made on first use (one maker at a time,
# so that tests started together wait for it instead of making it twice).
wine=$1
shift
: "${WINEPREFIX:=${XDG_CACHE_HOME:-$HOME/.cache}/asciify-wine}"
export WINEPREFIX
export WINEDEBUG=-all
# No prompt for the .NET and HTML engines, which console programs do not need.
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  flock "$WINEPREFIX.lock" sh -c '[ -f "$WINEPREFIX/system.reg" ] || "$1" wineboot -i' sh "$wine" \
    >/dev/null 2>&1
fi
exec "$wine" "$@"
