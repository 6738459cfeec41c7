#!/usr/bin/env bash
# The include fence on one-file trees: each case plants one file with one
# include (on its second line) and expects the fence to pass it or to name it.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
fence="$here/../check-layers.sh"
checkout="$(cd "$here/../.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# file | include line | expected exit status
cases='
helpbuild/x.cpp|#include "converter/hlp_file.h"|0
data/x.cpp|#include "engine/api/dbi_api.h"|0
controls/x.cpp|#include "data/tables.h"|0
richtext/io/x.cpp|#include "richtext/model/rtf_text.h"|0
richtext/view/x.cpp|#include "../model/rtf_text.h"|0
data/x.cpp|#include "db_fixture.h"|0
data/x.cpp|// #include "controls/data/vl_db_grid.h"|0
engine/dbi/x.cpp|#include "engine/client/client_session.h"|0
engine/client/x.cpp|#include "engine/api/dbi_types.h"|0
engine/api/x.cpp|#include "engine/base/qv_base.h"|0
engine/api/tests/x.h|#include "engine/client/client_session.h"|0
engine/storage/tests/x.cpp|#include "engine/client/cursor_base.h"|0
engine/base/fuzz/x.cpp|#include "engine/server/server_log.h"|0
controls/data/tests/x.cpp|#include "tests/support/test_support.h"|0
controls/demo/x.cpp|#include "data/tests/db_fixture.h"|0
platform/gui/x.cpp|#include <QWidget>|0
converter/ui/x.cpp|#include <QDialog>|0
project/x.cpp|#include "richtext/view/rtf_text_io.h"|0
tests/e2e/x.cpp|#include "engine/client/cursor_base.h"|0
apps/tavrin/x.cpp|#include "engine/server/server_log.h"|0
out/release/x.cpp|#include "engine/client/cursor_base.h"|0
data/x.cpp|#include "controls/data/vl_db_grid.h"|1
platform/core/x.cpp|#include "engine/api/dbi_api.h"|1
helpbuild/x.cpp|#include "editor/forms/main_form.h"|1
richtext/io/x.cpp|#include <QString>|1
richtext/io/tests/x.cpp|#include <QString>|1
data/x.cpp|#include <QByteArray>|1
engine/client/x.cpp|#include <QtCore/QString>|1
converter/x.cpp|#include <QFile>|1
platform/win/x.h|  #  include <QObject>|1
platform/core/x.h|#include <QObject>|1
project/tests/x.cpp|#include <QSignalSpy>|1
data/x.cpp|#include "platform/gui/forms.h"|1
engine/server/x.h|#include "platform/gui/canvas.h"|1
controls/x.cpp|#include "engine/client/cursor_base.h"|1
engine/api/x.h|#include "engine/client/client_session.h"|1
engine/api/x.h|#include "engine/base/errors.h"|1
engine/api/x.cpp|#include "engine/client/client_session.h"|1
controls/x.cpp|#include "engine/dbi/virt_eng.h"|1
project/x.cpp|#include "controls/misc/bag.h"|1
richtext/controls/x.cpp|#include "data/fields.h"|1
converter/x.cpp|#include "richtext/model/rtf_text.h"|1
converter/tests/x.cpp|#include "richtext/io/text_reader.h"|1
engine/base/x.cpp|#include "engine/storage/file_access.h"|1
engine/comms/x.cpp|#include "engine/server/server_log.h"|1
platform/win/x.cpp|#include "platform/net/sockets.h"|1
richtext/model/x.cpp|#include "richtext/io/text_reader.h"|1
data/tests/x.cpp|#include "engine/client/message_box.h"|1
helpbuild/tables/tests/x.h|#include "engine/storage/file_access.h"|1
controls/data/x.cpp|#include "tests/support/test_support.h"|1
platform/gui/tests/x.cpp|#include "richtext/view/rtf_text_io.h"|1
richtext/view/x.cpp|#include "../../controls/data/vl_db_grid.h"|1
'

case_no=0
while IFS='|' read -r file line want; do
  [ -n "$file" ] || continue
  case_no=$((case_no + 1))
  tree="$work/case$case_no"
  mkdir -p "$tree/$(dirname "$file")"
  printf '// one include\n%s\n' "$line" > "$tree/$file"
  out="$(bash "$fence" --root "$tree" 2>&1)"
  got=$?
  if [ "$got" != "$want" ]; then
    fail "$file with '$line': exit $got, expected $want"$'\n'"$out"
  elif [ "$want" = 1 ]; then
    printf '%s\n' "$out" | grep -q "^$file:2: .* may not include " ||
      fail "$file with '$line': no line naming $file:2"$'\n'"$out"
    [ "$(printf '%s\n' "$out" | tail -n 1)" = "check-layers: 1 forbidden include" ] ||
      fail "$file with '$line': count line wrong"$'\n'"$out"
  fi
done <<< "$cases"

# The exact line a reader sees, and a count over several files and lines.
tree="$work/exact"
mkdir -p "$tree/data" "$tree/richtext/io"
printf '#include "data/fields.h"\n#include "controls/data/vl_db_grid.h"\n' > "$tree/data/a.cpp"
printf '#include <QString>\n#include "engine/client/bcd.h"\n' > "$tree/richtext/io/b.cpp"
out="$(bash "$fence" --root "$tree" --summary 2>&1)"; got=$?
expected='data/a.cpp:2: data may not include controls/data/vl_db_grid.h
richtext/io/b.cpp:1: richtext/io may not include <QString>
richtext/io/b.cpp:2: richtext/io may not include engine/client/bcd.h'
[ "$got" = 1 ] || fail "two files: exit $got, expected 1"
[ "$(printf '%s\n' "$out" | grep ': may not include \|may not include' | grep -v '^ ')" = "$expected" ] ||
  fail "two files: violation lines differ"$'\n'"$out"
printf '%s\n' "$out" | grep -q '^ *1  richtext/io -> engine/client$' ||
  fail "two files: summary lacks the richtext/io -> engine/client pair"$'\n'"$out"
[ "$(printf '%s\n' "$out" | tail -n 1)" = "check-layers: 3 forbidden includes" ] ||
  fail "two files: count line wrong"$'\n'"$out"

# An empty tree passes; a missing one is a usage error, not a pass.
mkdir -p "$work/empty"
out="$(bash "$fence" --root "$work/empty" 2>&1)"; got=$?
[ "$got" = 0 ] && [ "$out" = "check-layers: 0 forbidden includes" ] ||
  fail "empty tree: exit $got"$'\n'"$out"
bash "$fence" --root "$work/no-such-folder" > /dev/null 2>&1; got=$?
[ "$got" = 2 ] || fail "missing root: exit $got, expected 2"

# The real checkout keeps to its layers.
out="$(bash "$fence" --root "$checkout" 2>&1)"; got=$?
[ "$got" = 0 ] && [ "$(printf '%s\n' "$out" | tail -n 1)" = "check-layers: 0 forbidden includes" ] ||
  fail "checkout: exit $got"$'\n'"$out"

# The map shows the table the fence enforces, row for row.
table_of() { awk '/^LAYERS=.$/{on=1; next} on && /^.$/{exit} on' "$1"; }
doc_table() { awk '/^```$/{ if (on) exit; getline; if ($0 ~ /^apps:/) { on=1; print; } next } on' "$1"; }
[ "$(table_of "$fence")" = "$(doc_table "$checkout/docs/architecture.md")" ] ||
  fail "docs/architecture.md does not show the fence's table"

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all $case_no cases and the tree checks passed"
