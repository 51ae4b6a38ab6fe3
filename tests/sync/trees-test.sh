#!/usr/bin/env bash
# Synchronisation of trees built with touch -d, checked with Linux tools:
# the lines for each kind of difference, then a both-ways run after which
# diff -r is clean and no newer file was replaced.
#   trees-test.sh <synctool> <work folder>
#   trees-test.sh --wine <sync_win_tool.exe> <source root>   (inside scripts/with-sandbox)
# The second form runs the program's Win32 plug and the copy job's file
# copy on a folder mapped to a drive letter.
set -euo pipefail
wine=0
if [ "$1" = --wine ]; then
    wine=1
    shift
fi
tool=$1
fail() { echo "FAIL: $*" >&2; exit 1; }
if [ $wine = 1 ]; then
    root=$2
    : "${WINEPREFIX:?run inside scripts/with-sandbox}"
    build=${VANDRELL_BUILD:-$(cd "$(dirname "$tool")/.." && pwd)}
    work=$(mktemp -d "$build/sync-trees.XXXXXX")
    dos=$WINEPREFIX/dosdevices
    letter=""
    # Letters no other test script maps; -T makes the link or fails, never
    # a link inside a folder another run has just mapped.
    for l in e f g h i; do
        if ln -sT "$work" "$dos/$l:" 2>/dev/null; then letter=$l; break; fi
    done
    [ -n "$letter" ] || fail "no free drive letter"
    trap 'rm -f "$dos/$letter:"; rm -rf "$work"' EXIT
    sep='\'
    shown() { echo "$letter:\\$1"; }   # a path below the work folder as the tool sees it
    sync() { "$root/scripts/wine-run" "$tool" "$1" "$(shown L)" "$(shown R)" "$2" | tr -d '\r'; }
else
    work=$2
    rm -rf "$work"
    trap 'rm -rf "$work"' EXIT
    sep=/
    shown() { echo "$work/$1"; }
    sync() { "$tool" "$1" "$work/L" "$work/R" "$2"; }
fi
mkdir -p "$work/L" "$work/R"
put() { # put <file> <content> <date>
    mkdir -p "$(dirname "$1")"
    printf '%s' "$2" >"$1"
    touch -d "$3" "$1"
}
L=$work/L R=$work/R
put "$L/newer-left.txt" "left is newer" "2024-03-01 10:00:00"
put "$R/newer-left.txt" "old" "2024-01-01 10:00:00"
put "$L/newer-right.txt" "old" "2024-01-01 10:00:00"
put "$R/newer-right.txt" "right is newer" "2024-03-01 10:00:00"
put "$L/equal.txt" "same" "2024-02-01 10:00:58"
put "$R/equal.txt" "same" "2024-02-01 10:01:00"
put "$L/only-left.txt" "L" "2024-02-01 10:00:00"
put "$R/only-right.txt" "R" "2024-02-01 10:00:00"
put "$L/same-time.txt" "longer" "2024-02-01 10:00:00"
put "$R/same-time.txt" "short" "2024-02-01 10:00:00"
put "$L/Sub Dir/deep/inner.txt" "inner" "2024-02-01 10:00:00"
mkdir -p "$R/empty right"

s=$sep SL=$(shown L) SR=$(shown R)
expected=$(cat <<LINES
<      ... ${s}newer-right.txt
< +    ... ${s}only-right.txt
< ++ $SL${s}empty right
> ++ $SR${s}Sub Dir
> +    ... ${s}Sub Dir${s}deep${s}inner.txt
>      ... ${s}newer-left.txt
> +    ... ${s}only-left.txt
 !!  $SL${s}same-time.txt  Same time, different size: left as it is.
LINES
)
got=$(sync compare 0x9 | grep -v -e '^$' -e ' files$' -e ' directories$' | sort)
[ "$got" = "$(sort <<<"$expected")" ] || { diff <(sort <<<"$expected") <(echo "$got"); fail "lines differ"; }
echo "lines ok"

stamp() { stat -c '%Y %s' "$1"; }
before_left=$(stamp "$L/newer-left.txt")
before_right=$(stamp "$R/newer-right.txt")
sync run 0x9 >"$work/run.log" || { cat "$work/run.log"; fail "run failed"; }
[ "$(stamp "$L/newer-left.txt")" = "$before_left" ] || fail "the newer left file changed"
[ "$(stamp "$R/newer-right.txt")" = "$before_right" ] || fail "the newer right file changed"
[ "$(cat "$R/newer-left.txt")" = "left is newer" ] || fail "older right file not replaced"
[ "$(cat "$L/newer-right.txt")" = "right is newer" ] || fail "older left file not replaced"
# The file with one time and two sizes is left alone on both sides and is the
# only difference diff finds.
[ "$(cat "$L/same-time.txt")" = longer ] && [ "$(cat "$R/same-time.txt")" = short ] || fail "conflict touched"
out=$(diff -r "$L" "$R" || true)
[ "$out" = "diff -r $L/same-time.txt $R/same-time.txt
1c1
< longer
\\ No newline at end of file
---
> short
\\ No newline at end of file" ] || { echo "$out"; fail "trees differ after the run"; }
[ "$(cd "$work" && find L R | sort)" = "$(printf '%s\n' L 'L/Sub Dir' 'L/Sub Dir/deep' 'L/Sub Dir/deep/inner.txt' 'L/empty right' L/equal.txt L/newer-left.txt L/newer-right.txt L/only-left.txt L/only-right.txt L/same-time.txt R 'R/Sub Dir' 'R/Sub Dir/deep' 'R/Sub Dir/deep/inner.txt' 'R/empty right' R/equal.txt R/newer-left.txt R/newer-right.txt R/only-left.txt R/only-right.txt R/same-time.txt | sort)" ] ||
    { (cd "$work" && find L R | sort); fail "temporary or stray files left"; }
# Copied files keep their times: a second comparison lists only the conflict.
again=$(sync compare 0x9 | grep -v -e '^$' -e ' files$' -e ' directories$')
[ "$again" = " !!  $SL${s}same-time.txt  Same time, different size: left as it is." ] || { echo "$again"; fail "second comparison"; }
echo "run ok"

if [ $wine = 1 ]; then
    # A folder whose path is too long for the find pattern is reported,
    # never scanned under a cut name.
    long=$(printf 'n%.0s' $(seq 1 120))
    put "$work/L/$long/$long/$long/f.txt" "new" "2024-03-01 10:00:00"
    put "$work/R/$long/$long/$long/f.txt" "old" "2024-01-01 10:00:00"
    out=$(sync compare 0x9)
    grep -qF " !!  $SL${s}$long${s}$long${s}$long  " <<<"$out" || { echo "$out"; fail "long folder not reported"; }
    grep -q 'f.txt' <<<"$out" && { echo "$out"; fail "a file below the long folder was listed"; }
    echo "long paths ok"
fi
