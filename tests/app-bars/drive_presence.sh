#!/usr/bin/env bash
# Drives mapped in the prefix get buttons once the drive table is rebuilt
# and lose them when the mapping goes: Q: as a CD-ROM (no drops), R: as a
# removable disk (drops). Wine reads drive types only when its server
# starts, so this runs in a private prefix and restarts the server between
# the steps. Button ids are drive indexes. $1 is the bin folder.
set -euo pipefail
bin=$1
work=$(mktemp -d)
dev=$WINEPREFIX/dosdevices
trap 'rm -f "$dev/q:" "$dev/r:"; rm -rf "$work"' EXIT
fail=0
check() { if eval "$2"; then echo "ok   $1"; else echo "FAIL $1"; fail=1; fi; }

restart() { wineserver -k 2>/dev/null || true; wineserver -w 2>/dev/null || true; }
probe() { printf 'list\nlist\nquit\n' | wine "$bin/bars_probe.exe" 2 2>/dev/null | tr -d '\r'; }
drivetype() {
    if [ -n "$2" ]; then wine reg add 'HKLM\Software\Wine\Drives' /v "$1" /d "$2" /f >/dev/null 2>&1
    else wine reg delete 'HKLM\Software\Wine\Drives' /v "$1" /f >/dev/null 2>&1 || true; fi
}

rm -f "$dev/q:" "$dev/r:"
drivetype q: ""
drivetype r: ""
restart
first=$(probe)
echo "$first"
check "C: is a fixed disk taking drops" 'grep -q "^C kind=2 drop=1 .* id=2$" <<<"$first"'
check "no Q: and no R: yet" '! grep -q "^[QR] " <<<"$first"'

mkdir -p "$work/q" "$work/r"
ln -s "$work/q" "$dev/q:"
ln -s "$work/r" "$dev/r:"
drivetype q: cdrom
drivetype r: floppy
restart
second=$(probe)
echo "$second"
check "Q: appears as a CD-ROM without drops" 'grep -q "^Q kind=3 drop=0 .* id=16$" <<<"$second"'
check "R: appears as a removable disk with drops" 'grep -q "^R kind=7 drop=1 .* id=17$" <<<"$second"'
check "a second rescan keeps the same buttons" \
    '[ "$(sed -n "1,/^end$/p" <<<"$second")" = "$(sed -n "/^end$/,\$p" <<<"$second" | sed 1d)" ]'

rm -f "$dev/q:" "$dev/r:"
drivetype q: ""
drivetype r: ""
restart
third=$(probe)
echo "$third"
check "Q: and R: go" '! grep -q "^[QR] " <<<"$third"'
check "C: stays" 'grep -q "^C kind=2" <<<"$third"'
exit $fail
