#!/bin/sh
# The program end to end: a fresh program folder gets its tables and a
# screenshot of the main window; the tip, splash, backup, printable-document
# copy and compile-options windows write theirs; a damaged table ends the start with exit
# code 1 and stays as it was; tavrin_mkdb creates only what is missing.
# Usage: start_test.sh TAVRIN TAVRIN_MKDB
set -u
tavrin=$1
mkdb=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

export TAVRIN_HOME="$work/home"
"$tavrin" --screenshot "$work/main.png" >/dev/null 2>&1 || fail "--screenshot exited $?"
test -s "$work/main.png" || fail "no main window picture"
for t in TvrnMAIN TvrnITEM TvrnCNT TvrnPREF TvrnREFI TvrnInh Tvrnfont TvrnWIZ TvrnWIZT; do
  test -s "$TAVRIN_HOME/$t.QVD" || fail "no $t.QVD"
done
test -s "$TAVRIN_HOME/Tavrin.ini" || fail "no Tavrin.ini after the close"
"$tavrin" --screenshot "$work/again.png" >/dev/null 2>&1 || fail "second start exited $?"
for f in TTipsForm TSplashForm TbackupForm TfrmDoc TCopyToForm TfrmCompile; do
  "$tavrin" --form $f --screenshot "$work/$f.png" >/dev/null 2>&1 || fail "--form $f exited $?"
  test -s "$work/$f.png" || fail "no $f picture"
done

head -c 5000 /dev/urandom > "$TAVRIN_HOME/TvrnCNT.QVD"
before=$(cksum < "$TAVRIN_HOME/TvrnCNT.QVD")
"$tavrin" --screenshot "$work/broken.png" >/dev/null 2>&1
rc=$?
test $rc -eq 1 || fail "a damaged table gave exit code $rc"
test "$(cksum < "$TAVRIN_HOME/TvrnCNT.QVD")" = "$before" || fail "the damaged table was changed"

mkdir -p "$work/db"
out=$("$mkdb" "$work/db") || fail "tavrin_mkdb exited $?"
test "$(echo "$out" | grep -c created)" -eq 9 || fail "tavrin_mkdb created: $out"
out=$("$mkdb" "$work/db") || fail "tavrin_mkdb again exited $?"
test -z "$out" || fail "tavrin_mkdb touched existing tables: $out"
echo "ok"
