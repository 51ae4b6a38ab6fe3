#!/usr/bin/env bash
# The attributes and dates job seen from Linux: the program's worker runs
# under Wine on a tree made here, and the results are read back with stat
# (modification time, the write bit that is read-only) and the extended
# attribute in which Wine keeps hidden and system. A link to a folder in
# the tree is never entered: the folder it points at keeps its times and bits.
# Runs inside the test sandbox (scripts/with-sandbox).
#   attr-linux-test.sh <jobs_tool.exe> <source root>
set -euo pipefail
tool=$1
root=$2
: "${WINEPREFIX:?run inside scripts/with-sandbox}"
build=${VANDRELL_BUILD:-$(cd "$(dirname "$tool")/.." && pwd)}
work=$(mktemp -d "$build/jobs-attr.XXXXXX")
dos=$WINEPREFIX/dosdevices
letter=
cleanup() {
    [ -z "$letter" ] || rm -f "$dos/$letter:"
    chmod -R u+w "$work" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
# A letter of this test alone, so that tests running beside it keep theirs.
for l in q r s u v w; do
    if ln -sT "$work" "$dos/$l:" 2>/dev/null; then letter=$l; break; fi
done
[ -n "$letter" ] || fail "no free drive letter"

mkdir -p "$work/t/sub" "$work/outside"
echo one >"$work/t/one.txt"
echo dot >"$work/t/.profile"
echo inner >"$work/t/sub/inner.txt"
echo locked >"$work/t/locked.txt" && chmod a-w "$work/t/locked.txt"
echo keep >"$work/outside/keep.txt"
touch -d '2015-05-05 05:05:05 UTC' "$work/outside/keep.txt"
ln -s "$work/outside" "$work/t/sub/link"
outside_before=$(stat -c '%Y %A' "$work/outside/keep.txt")

# Hidden (0x2) and system (0x4) on, the time 2001-02-03 04:05:06 UTC.
when=$(date -u -d '2001-02-03 04:05:06' +%s)
out=$("$root/scripts/wine-run" "$tool" attr "$letter:\\t" 6 0 "$when" | tr -d '\r' | grep '^state=')
echo "$out"

dosattrib() { /usr/bin/python3 - "$1" <<'PY'
import os, sys
try:
    v = os.getxattr(sys.argv[1], "user.DOSATTRIB").split(b"\0")[0].decode()
except OSError:
    v = "0"
print(int(v, 16) if v.startswith("0x") else int(v or 0))
PY
}
for f in one.txt .profile sub/inner.txt locked.txt; do
    p=$work/t/$f
    [ "$(stat -c %Y "$p")" = "$when" ] || fail "$f: time $(stat -c %y "$p")"
    a=$(dosattrib "$p")
    (( (a & 6) == 6 )) || fail "$f: hidden and system not stored ($a)"
done
# The read-only file (no write bit; the test may run as root, for whom
# -w is always true) got its time through a lifted bit, and has it back.
[[ $(stat -c %A "$work/t/locked.txt") != *w* ]] || fail "locked.txt lost its read-only bit"
[ "$(stat -c %A "$work/t/one.txt" | cut -c3)" = w ] || fail "one.txt became read-only"
(( ($(dosattrib "$work/t/sub") & 6) == 6 )) || fail "sub-folder bits"
# The link's folder was not entered; the link is reported, not changed.
[ "$(stat -c '%Y %A' "$work/outside/keep.txt")" = "$outside_before" ] || fail "the linked folder was entered"
[ "$(dosattrib "$work/outside/keep.txt")" = 0 ] || fail "the linked folder's file got bits"
case $out in
    *"errors=0"*) fail "the link was passed over silently ($out)" ;;
esac

# Clearing: hidden and system off again, no dates; times stay.
out=$("$root/scripts/wine-run" "$tool" attr "$letter:\\t" 0 6 0 | tr -d '\r' | grep '^state=')
for f in one.txt sub/inner.txt; do
    (( ($(dosattrib "$work/t/$f") & 6) == 0 )) || fail "$f: bits not cleared"
    [ "$(stat -c %Y "$work/t/$f")" = "$when" ] || fail "$f: time changed without dates"
done
echo "attributes and dates agree with Linux"
