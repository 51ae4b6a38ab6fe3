#!/usr/bin/env bash
# What the copy, move and delete walkers do with entries they must not take
# as they are, on trees made from Linux:
# - a link to a folder (a Linux symbolic link, which Wine shows as a folder
#   with the reparse-point bit) is never entered: the folder it points at
#   keeps every byte whatever is done to the link's parent;
# - an entry whose full path does not fit the 260-byte paths the jobs work
#   with reaches the job as an error, is never dropped silently, and a move
#   never leaves it behind unreported.
# Runs inside the test sandbox (scripts/with-sandbox).
#   walkers-test.sh <jobs_tool.exe> <source root>
set -euo pipefail
tool=$1
root=$2
: "${WINEPREFIX:?run inside scripts/with-sandbox}"
build=${VANDRELL_BUILD:-$(cd "$(dirname "$tool")/.." && pwd)}
work=$(mktemp -d "$build/jobs-walkers.XXXXXX")
dos=$WINEPREFIX/dosdevices
mapped=()
cleanup() {
    for link in "${mapped[@]}"; do rm -f "$link"; done
    chmod -R u+w "$work" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
# Letters of this test alone, so that tests running beside it keep theirs.
map() { # map <letter> <folder>
    ln -sT "$2" "$dos/$1:" || { echo "drive $1: is taken" >&2; exit 1; }
    mapped+=("$dos/$1:")
}
mkdir -p "$work/a" "$work/b"
map x "$work/a"
map y "$work/b"
walk() { "$root/scripts/wine-run" "$tool" walk "$@" | tr -d '\r' | grep '^state='; }
fail() { echo "FAIL: $*" >&2; exit 1; }
errors_of() { sed -n 's/.* errors=\([0-9]*\).*/\1/p' <<<"$1"; }

# ---- the folder every link points at -----------------------------------------
outside=$work/a/outside
mkdir -p "$outside/deeper"
head -c 300000 /dev/urandom >"$outside/precious.bin"
echo "keep me" >"$outside/deeper/note.txt"
sums() { (cd "$outside" && find . -type f -print0 | sort -z | xargs -0 sha256sum); }
before=$(sums)
intact() { [ "$(sums)" = "$before" ] || fail "$1: the linked folder lost bytes"; }

# A tree with a link at its top and one further down.
linked_tree() { # linked_tree <folder>
    mkdir -p "$1/tree/sub"
    echo plain >"$1/plain.txt"
    echo inner >"$1/tree/sub/inner.txt"
    ln -s "$outside" "$1/toplink"
    ln -s "$outside" "$1/tree/sub/link"
}

# Wine shows the host's link as a folder that is a reparse point.
linked_tree "$work/a/probe"
case $("$root/scripts/wine-run" "$tool" attributes 'x:\probe\toplink' | tr -d '\r') in
    *reparse*) ;;
    *) fail "a host link is not seen as a reparse point" ;;
esac

# ---- copy: links are reported and left out ----------------------------------
linked_tree "$work/a/c"
out=$(walk copy 'x:\c' 'y:\c' stats)
intact "copy"
[ "$(cat "$work/b/c/tree/sub/inner.txt")" = inner ] || fail "copy: the tree was not copied ($out)"
[ ! -e "$work/b/c/toplink/precious.bin" ] && [ ! -e "$work/b/c/tree/sub/link/precious.bin" ] ||
    fail "copy: entered a link"
[ "$(errors_of "$out")" -ge 2 ] || fail "copy: links not reported ($out)"
echo "copy ok: $out"

# ---- move to another drive: the links stay where they were, reported ----------
linked_tree "$work/a/m"
out=$(walk move 'x:\m' 'y:\m')
intact "move"
[ "$(cat "$work/b/m/tree/sub/inner.txt")" = inner ] || fail "move: the tree was not moved ($out)"
[ ! -e "$work/a/m/tree/sub/inner.txt" ] || fail "move: source file left"
[ -L "$work/a/m/toplink" ] && [ -L "$work/a/m/tree/sub/link" ] || fail "move: a link vanished"
[ ! -e "$work/b/m/toplink" ] && [ ! -e "$work/b/m/tree/sub/link/precious.bin" ] || fail "move: entered a link"
[ "$(errors_of "$out")" -ge 2 ] || fail "move: links not reported ($out)"
echo "move ok: $out"

# ---- delete: the link goes as a link, or stays reported ---------------------
linked_tree "$work/a/d"
out=$(walk delete 'x:\d' '' stats)
intact "delete"
[ ! -e "$work/a/d/plain.txt" ] && [ ! -e "$work/a/d/tree/sub/inner.txt" ] || fail "delete: files left ($out)"
# Wine cannot remove a host link through the Win32 calls (it answers "not
# empty"); such a link must then reach the log. Windows removes it.
left=0
for l in "$work/a/d/toplink" "$work/a/d/tree/sub/link"; do [ -L "$l" ] && left=$((left + 1)); done
[ "$(errors_of "$out")" -ge "$left" ] || fail "delete: a link left unreported ($out)"
echo "delete ok: $out ($left links left by Wine)"

# ---- names too long for the job ---------------------------------------------
long_tree() { # long_tree <folder>: a 200-character folder holding a 100-character name
    local dir=$1/$(printf 'd%.0s' $(seq 200))
    mkdir -p "$dir"
    echo short >"$1/short.txt"
    echo "far away" >"$dir/$(printf 'n%.0s' $(seq 96)).txt"
}
long_name=$(printf 'd%.0s' $(seq 200))/$(printf 'n%.0s' $(seq 96)).txt

long_tree "$work/a/lc"
out=$(walk copy 'x:\lc' 'y:\lc' stats)
[ "$(cat "$work/b/lc/short.txt")" = short ] || fail "long copy: nothing copied ($out)"
[ "$(errors_of "$out")" -ge 1 ] || fail "long copy: the long name was left out silently ($out)"
echo "long copy ok: $out"

long_tree "$work/a/lm"
out=$(walk move 'x:\lm' 'y:\lm')
[ "$(cat "$work/a/lm/$long_name")" = "far away" ] || fail "long move: the long-named file was lost"
[ "$(errors_of "$out")" -ge 1 ] || fail "long move: the long name was left behind silently ($out)"
echo "long move ok: $out"

long_tree "$work/a/ld"
out=$(walk delete 'x:\ld' '' stats)
[ ! -e "$work/a/ld/short.txt" ] || fail "long delete: nothing deleted ($out)"
[ "$(errors_of "$out")" -ge 1 ] || fail "long delete: the long name was left silently ($out)"
echo "long delete ok: $out"
echo "all walker tests passed"
