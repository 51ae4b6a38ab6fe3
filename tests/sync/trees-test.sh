#!/usr/bin/env bash
# Synchronisation of trees built with touch -d, checked with Linux tools:
# the lines for each kind of difference, then a both-ways run after which
# diff -r is clean and no newer file was replaced.
#   trees-test.sh <synctool> <work folder>
set -euo pipefail
tool=$1
work=$2
rm -rf "$work"
mkdir -p "$work/L" "$work/R"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
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

expected=$(cat <<LINES
<      ... /newer-right.txt
< +    ... /only-right.txt
< ++ $L/empty right
> ++ $R/Sub Dir
> +    ... /Sub Dir/deep/inner.txt
>      ... /newer-left.txt
> +    ... /only-left.txt
 !!  $L/same-time.txt  Same time, different size: left as it is.
LINES
)
got=$("$tool" compare "$L" "$R" 0x9 | grep -v -e '^$' -e ' files$' -e ' directories$' | sort)
[ "$got" = "$(sort <<<"$expected")" ] || { diff <(sort <<<"$expected") <(echo "$got"); fail "lines differ"; }
echo "lines ok"

stamp() { stat -c '%Y %s' "$1"; }
before_left=$(stamp "$L/newer-left.txt")
before_right=$(stamp "$R/newer-right.txt")
"$tool" run "$L" "$R" 0x9 >"$work/run.log" || { cat "$work/run.log"; fail "run failed"; }
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
[ -z "$(find "$work" -name '*.synctmp')" ] || fail "temporary files left"
# Copied files keep their times: a second comparison lists only the conflict.
again=$("$tool" compare "$L" "$R" 0x9 | grep -v -e '^$' -e ' files$' -e ' directories$')
[ "$again" = " !!  $L/same-time.txt  Same time, different size: left as it is." ] || { echo "$again"; fail "second comparison"; }
echo "run ok"
