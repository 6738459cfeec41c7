#!/bin/sh
# A screenshot or one form asked for on a terminal without a display: the
# program draws offscreen instead of aborting, and the picture is written.
# Usage: no_display_test.sh TAVRIN (run with DISPLAY and the platform unset)
set -u
tavrin=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

export TAVRIN_HOME="$work/home"
"$tavrin" --screenshot "$work/main.png" >"$work/out" 2>&1 || fail "--screenshot exited $?: $(tail -3 "$work/out")"
test -s "$work/main.png" || fail "no main window picture"
"$tavrin" --form TSplashForm --screenshot "$work/splash.png" >"$work/out" 2>&1 ||
  fail "--form exited $?: $(tail -3 "$work/out")"
test -s "$work/splash.png" || fail "no form picture"
echo "ok"
