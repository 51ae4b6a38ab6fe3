#!/usr/bin/env bash
# Copy and move of generated trees through the job runner under Wine,
# checked with Linux tools: content (diff -r), last-write times, inodes of a
# move on one drive, a move to a second drive letter, a cancel in the middle
# of a large file. Runs inside the test sandbox (scripts/with-sandbox).
#   trees-test.sh <jobs_tool.exe> <source root>
set -euo pipefail
tool=$1
root=$2
: "${WINEPREFIX:?run inside scripts/with-sandbox}"
build=${VANDRELL_BUILD:-$(cd "$(dirname "$tool")/.." && pwd)}
work=$(mktemp -d "$build/jobs-trees.XXXXXX")
dos=$WINEPREFIX/dosdevices
cleanup() {
    # The letters this run mapped: every link into its own folder.
    for link in "$dos"/?:; do
        case "$(readlink "$link" 2>/dev/null)" in "$work"/*) rm -f "$link" ;; esac
    done
    chmod -R u+w "$work" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
map() { # map <folder>: prints the drive letter given to it
    # One step per letter: the link is made or the letter is taken (-T: an
    # existing link to a folder is never entered).
    for l in j k l m n o p q r u v w; do
        if ln -sT "$1" "$dos/$l:" 2>/dev/null; then
            echo "$l"
            return
        fi
    done
    echo "no free drive letter" >&2
    exit 1
}
run() { "$root/scripts/wine-run" "$tool" "$@"; }
fail() { echo "FAIL: $*" >&2; exit 1; }

mkdir -p "$work/a" "$work/b"
A=$(map "$work/a")
B=$(map "$work/b")

# ---- the tree ---------------------------------------------------------------
src=$work/a/src
mkdir -p "$src/MiXeD CaSe/Sub Folder" "$src/empty dir"
deep=$src; for i in $(seq 1 12); do deep=$deep/level$i; done; mkdir -p "$deep"
echo "deep" >"$deep/deep file.txt"
echo "plain" >"$src/plain.txt"
echo "read only" >"$src/read only.TXT"; chmod a-w "$src/read only.TXT"
echo "hidden" >"$src/.hidden"
echo "mixed" >"$src/MiXeD CaSe/Sub Folder/InNeR.TxT"
printf 'ansi \xc3\xa4' >"$src/Ärger über ß é.txt"
head -c 3000000 /dev/urandom >"$src/random.bin"
# A sparse file past 4 GB with data at both ends and across the 4 GB mark.
truncate -s 4300M "$src/huge.sparse"
printf 'HEAD' | dd of="$src/huge.sparse" conv=notrunc status=none
printf 'MARK' | dd of="$src/huge.sparse" bs=1 seek=$((4 * 1024 * 1024 * 1024 - 2)) conv=notrunc status=none
printf 'TAIL' | dd of="$src/huge.sparse" bs=1 seek=$((4300 * 1024 * 1024 - 4)) conv=notrunc status=none
# Whole-second times, different per file.
n=0
while IFS= read -r -d '' f; do
    n=$((n + 1))
    touch -h -d "@$((1300000000 + n * 3671))" "$f"
done < <(find "$src" -type f -print0)

times() { (cd "$1" && find . -type f -printf '%P %T@\n' | sed 's/\.0*$//' | sort); }

# ---- copy to another drive letter ------------------------------------------
echo "copy $A:\\src -> $B:\\dst"
run copy "$A:\\src" "$B:\\dst" >/dev/null
diff -r "$src" "$work/b/dst" || fail "copy differs"
[ "$(times "$src")" = "$(times "$work/b/dst")" ] || { diff <(times "$src") <(times "$work/b/dst"); fail "times differ"; }
[ -z "$(find "$work/b" -name '*.tmp' -o -name '~*')" ] || fail "temporary files left"
echo "copy ok"

# ---- the same file through a second letter for the same folder -------------
C=$(map "$work/a")
[ "$(run same "$A:\\src\\plain.txt" "$C:\\SRC\\PLAIN.TXT" | tr -d '\r')" = same ] || fail "same file not seen"
[ "$(run same "$A:\\src\\plain.txt" "$C:\\src\\random.bin" | tr -d '\r')" = different ] || fail "different files seen as one"
[ "$(run inside "$A:\\src" "$C:\\src\\MiXeD CaSe\\new" | tr -d '\r')" = inside ] || fail "inside not seen"
[ "$(run inside "$A:\\src" "$C:\\srcx" | tr -d '\r')" = outside ] || fail "sibling seen as inside"
echo "same-file ok"

# ---- move on one drive keeps the inode ---------------------------------------
mkdir -p "$work/a/m1/inner"
echo one >"$work/a/m1/inner/one.txt"
ino=$(stat -c %i "$work/a/m1/inner/one.txt")
run move "$A:\\m1" "$A:\\m2" >/dev/null
[ -f "$work/a/m2/inner/one.txt" ] || fail "moved file missing"
[ "$(stat -c %i "$work/a/m2/inner/one.txt")" = "$ino" ] || fail "same-drive move copied the file"
[ ! -e "$work/a/m1/inner" ] || fail "source still there"
echo "same-drive move ok"

# ---- move to a second drive letter -------------------------------------------
mkdir -p "$work/a/x1"
cp -a "$src/random.bin" "$src/plain.txt" "$work/a/x1/"
run move "$A:\\x1" "$B:\\x2" >/dev/null
cmp "$src/random.bin" "$work/b/x2/random.bin" || fail "cross-drive move lost data"
[ ! -e "$work/a/x1/random.bin" ] || fail "cross-drive source kept"
echo "cross-drive move ok"

# A cancelled cross-drive move keeps its source whole and leaves no target.
mkdir -p "$work/a/c1"
head -c 200000000 /dev/urandom >"$work/a/c1/big.bin"
sum=$(md5sum <"$work/a/c1/big.bin")
run move "$A:\\c1" "$B:\\c2" 20000000 >/dev/null
[ "$(md5sum <"$work/a/c1/big.bin")" = "$sum" ] || fail "cancelled move damaged the source"
[ ! -e "$work/b/c2/big.bin" ] || [ "$(md5sum <"$work/b/c2/big.bin")" = "$sum" ] || fail "truncated target"
echo "cancelled move ok"

# ---- cancel in the middle of a large file over an existing target ----------
mkdir -p "$work/b/c3"
echo "old target" >"$work/b/c3/big.bin"
run copy "$A:\\c1" "$B:\\c3" 20000000 >/dev/null
[ "$(cat "$work/b/c3/big.bin")" = "old target" ] || fail "old target lost on cancel"
[ "$(ls -A "$work/b/c3")" = "big.bin" ] || fail "temporary file left: $(ls -A "$work/b/c3")"
echo "cancel ok"

# ---- a screenshot while the progress dialog is up (kept in the build) -------
if command -v import >/dev/null && [ -n "${DISPLAY:-}" ]; then
    mkdir -p "$work/a/s1" && ln "$src/huge.sparse" "$work/a/s1/huge.sparse"
    run copy "$A:\\s1" "$B:\\shot" >/dev/null &
    pid=$!
    sleep 1.6
    import -window root "$build/jobs-progress-shot.png" 2>/dev/null || true
    wait $pid
    rm -rf "$work/b/shot"
fi
echo "all tree tests passed"
