#!/bin/sh
# Every form of the controls demo gives its pictures through --screenshot,
# and a form that shows two (the date edit and the date dialog it opens)
# keeps both, the form's own under the name asked for.
# Usage: screenshots_test.sh CONTROLS_DEMO
set -u
demo=$1
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
fail=0
forms=$("$demo" --list | awk '/^  / {print $1}')
[ -n "$forms" ] || { echo "no forms listed"; exit 1; }
for form in $forms; do
    if ! "$demo" --form "$form" --screenshot "$out/$form.png" >"$out/log" 2>&1; then
        echo "$form: failed"; cat "$out/log"; fail=1
    fi
    [ -s "$out/$form.png" ] || { echo "$form: no screenshot"; fail=1; }
done
for kept in dates-datedialog opendialog-opendialog_message; do
    [ -s "$out/$kept.png" ] || { echo "$kept.png: a second picture was lost"; fail=1; }
done
if [ -s "$out/dates.png" ] && [ -s "$out/dates-datedialog.png" ] && cmp -s "$out/dates.png" "$out/dates-datedialog.png"; then
    echo "dates: both pictures are the same"; fail=1
fi
exit $fail
