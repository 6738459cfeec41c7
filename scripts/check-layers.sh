#!/usr/bin/env bash
# The include fence: every "folder/..." include of every .cpp and .h must be
# one the including folder's row below allows, and the Qt-free folders must
# not reach Qt. docs/architecture.md shows the same table; change both.
#
# Usage: scripts/check-layers.sh [--root DIR] [--summary]
#   --root DIR  check the tree at DIR (default: this checkout)
#   --summary   also print the violations counted by folder pair
# Prints "file:line: <folder> may not include <target>" per violation and a
# count; exits 1 when there is any.
set -euo pipefail

# folder: the folders it may include. A folder covers its subfolders, a file
# belongs to the longest folder that holds it, "*" is anything. Layers from
# the top: apps, editor, helpbuild, project, controls, data, richtext
# (model < io < view < spell < controls), engine (base < api < storage <
# comms < server < client < dbi: engine/api holds the door's declarations and
# records, engine/dbi the entry points behind it), converter (converter < converter/ui), platform
# (core < win < net, imaging < gdi < gui). Outside engine/ only engine/api is
# reachable. The converter stands beside the engine and the text engine:
# only the build, the project layer and the programs use it. A Qt-free
# folder lists only folders with Qt-free headers.
LAYERS='
apps:              *
tests:             *
editor:            editor helpbuild project controls data richtext engine/api converter platform
helpbuild:         helpbuild project controls data richtext engine/api converter platform
project:           project data richtext/view richtext/io richtext/model engine/api converter platform/gdi platform/imaging platform/net platform/win platform/core
controls:          controls data richtext engine/api platform
data:              data richtext/view richtext/io richtext/model engine/api platform/gdi platform/imaging platform/net platform/win platform/core
richtext/controls: richtext engine/api platform
richtext/spell:    richtext/spell richtext/view richtext/io richtext/model engine/api platform
richtext/view:     richtext/view richtext/io richtext/model engine/api platform
richtext/io:       richtext/io richtext/model engine/api platform/gdi platform/imaging platform/net platform/win platform/core
richtext/model:    richtext/model engine/api platform/gdi platform/imaging platform/net platform/win platform/core
engine/api/*.h:    engine/api platform/core
engine/dbi:        engine platform/gdi platform/imaging platform/net platform/win platform/core
engine/api:        engine/api engine/base platform/gdi platform/imaging platform/net platform/win platform/core
engine/client:     engine/client engine/api engine/server engine/comms engine/storage engine/base platform/gdi platform/imaging platform/net platform/win platform/core
engine/server:     engine/server engine/comms engine/storage engine/base platform/gdi platform/imaging platform/net platform/win platform/core
engine/comms:      engine/comms engine/storage engine/base platform/gdi platform/imaging platform/net platform/win platform/core
engine/storage:    engine/storage engine/base platform/gdi platform/imaging platform/net platform/win platform/core
engine/base:       engine/base platform/gdi platform/imaging platform/net platform/win platform/core
converter/ui:      converter platform
converter:         converter platform/gdi platform/imaging platform/net platform/win platform/core
platform/gui:      platform
platform/gdi:      platform/gdi platform/imaging platform/net platform/win platform/core
platform/imaging:  platform/imaging platform/win platform/core
platform/net:      platform/net platform/win platform/core
platform/win:      platform/win platform/core
platform/core:     platform/core
'
# Folders whose files (tests included) build without Qt: no <Q...> header and
# nothing of platform/gui. A "-" entry carves a Qt folder out of one above.
NO_QT='engine data project converter -converter/ui richtext/model richtext/io platform/core platform/win'
# A file under a tests/, fuzz/, bench/ or demo/ folder may include what its
# folder may, and tests/support; those of the engine any engine folder.
TEST_EXTRA='tests/support'
ENGINE_TEST_EXTRA='engine'

root="$(cd "$(dirname "$0")/.." && pwd)"
summary=0
while [ $# -gt 0 ]; do
  case "$1" in
    --root) root="${2:?--root needs a folder}"; shift 2 ;;
    --summary) summary=1; shift ;;
    -h|--help) sed -n '2,10p' "$0"; exit 0 ;;
    *) echo "check-layers: unknown argument $1" >&2; exit 2 ;;
  esac
done
[ -d "$root" ] || { echo "check-layers: no folder $root" >&2; exit 2; }
cd "$root"

# Build output, version control and dot folders hold no sources of ours.
find . \( -path ./out -o -path ./build -o -path './.*' \) -prune -o \
     -type f \( -name '*.cpp' -o -name '*.h' \) -print |
  sed 's|^\./||' | LC_ALL=C sort |
  awk -v layers="$LAYERS" -v noqt="$NO_QT" -v test_extra="$TEST_EXTRA" \
      -v engine_test_extra="$ENGINE_TEST_EXTRA" -v summary="$summary" '
function trim(s) { sub(/^[ \t]+/, "", s); sub(/[ \t]+$/, "", s); return s }
function dirname(p) { return (p ~ /\//) ? substr(p, 1, match(p, /\/[^\/]*$/) - 1) : "" }
# The longest folder of the table holding path p, or "" when none does.
function row_of(p,    d) {
  for (d = p; d != ""; d = dirname(d)) if (d in allow) return d
  return ""
}
# Whether prefix list "list" covers include path p.
function covers(list, p,    n, i, e) {
  n = split(list, e, " ")
  for (i = 1; i <= n; i++)
    if (e[i] == "*" || index(p, e[i] "/") == 1) return 1
  return 0
}
function qt_free(p,    n, i, e, best, bestlen, neg) {
  n = split(noqt, e, " "); best = 0; bestlen = -1
  for (i = 1; i <= n; i++) {
    neg = (substr(e[i], 1, 1) == "-"); if (neg) e[i] = substr(e[i], 2)
    if ((p == e[i] || index(p, e[i] "/") == 1) && length(e[i]) > bestlen) {
      bestlen = length(e[i]); best = !neg
    }
  }
  return best
}
# "a/./b/../c" as "a/c", for includes written relative to the including file.
function normalize(p,    n, i, part, out, k, r) {
  n = split(p, part, "/"); k = 0
  for (i = 1; i <= n; i++) {
    if (part[i] == "." || part[i] == "") continue
    if (part[i] == ".." && k > 0) { k--; continue }
    out[++k] = part[i]
  }
  r = ""; for (i = 1; i <= k; i++) r = r (i > 1 ? "/" : "") out[i]
  return r
}
function report(file, line, folder, target, pairfrom, pairto) {
  printf "%s:%d: %s may not include %s\n", file, line, folder, target
  count++
  pairs[pairfrom " -> " pairto]++
}
BEGIN {
  n = split(layers, lines, "\n")
  for (i = 1; i <= n; i++) {
    l = trim(lines[i]); if (l == "" || l ~ /^#/) continue
    c = index(l, ":"); key = trim(substr(l, 1, c - 1)); val = trim(substr(l, c + 1))
    gsub(/[ \t]+/, " ", val)
    if (key ~ /\/\*\.h$/) headers[substr(key, 1, length(key) - 4)] = val
    else allow[key] = val
  }
  count = 0
}
{
  file = $0; dir = dirname(file)
  # Tests, fuzz targets, benches and demos belong to the folder above them.
  owner = dir; is_test = 0
  if (match("/" dir "/", /\/(tests|fuzz|bench|demo)\//) && RSTART > 1) {
    owner = substr(dir, 1, RSTART - 2); is_test = 1
  }
  row = row_of(owner)
  folder = (row != "") ? row : (owner != "" ? owner : ".")
  list = (row != "") ? allow[row] : folder
  # The headers of engine/api are the door itself: they show nothing behind it.
  if (!is_test && (dir in headers) && file ~ /\.h$/) { list = headers[dir]; folder = owner = dir "/*.h" }
  if (is_test) {
    list = list " " test_extra
    if (index(owner "/", "engine/") == 1) list = list " " engine_test_extra
  }
  noqt_here = qt_free(dir)
  from = owner (is_test ? " (tests)" : "")
  ln = 0
  while ((getline text < file) > 0) {
    ln++
    if (text !~ /^[ \t]*#[ \t]*include[ \t]*["<]/) continue
    if (noqt_here && text ~ /^[ \t]*#[ \t]*include[ \t]*(<Q|"platform\/gui\/)/) {
      match(text, /[<"][^>"]*[>"]/); t = substr(text, RSTART, RLENGTH)
      if (substr(t, 1, 1) == "\"") t = substr(t, 2, length(t) - 2)
      report(file, ln, folder, t, from, (t ~ /^</) ? "<Q...>" : "platform/gui")
      continue
    }
    if (!match(text, /"[^"]*"/)) continue
    inc = substr(text, RSTART + 1, RLENGTH - 2)
    if (inc !~ /\//) continue                     # beside the including file
    if (inc ~ /^\.\.?\//) inc = normalize(dir "/" inc)
    if (index(inc "/", dir "/") == 1 && dir != "") continue   # its own folder
    if (covers(list, inc)) continue
    report(file, ln, folder, inc, from, dirname(inc))
  }
  close(file)
}
END {
  if (summary && count > 0) {
    print ""
    print "by folder pair:"
    for (p in pairs) printf "  %5d  %s\n", pairs[p], p | "LC_ALL=C sort -k2"
    close("LC_ALL=C sort -k2")
    print ""
  }
  printf "check-layers: %d forbidden include%s\n", count, (count == 1 ? "" : "s")
  exit (count > 0)
}'
