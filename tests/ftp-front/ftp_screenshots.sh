#!/usr/bin/env bash
# Screenshots of the FTP site manager and of an FTP panel beside a local one,
# into docs/screenshots/ (not a test: run by hand after a change to the FTP
# windows). Uses a display, a window manager and loopback servers of its own.
#   tests/ftp-front/ftp_screenshots.sh [build]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-$("$root/scripts/test-build")}
build=$(cd "$root/$build" 2>/dev/null || cd "$build"; pwd)
shots=$root/docs/screenshots
mkdir -p "$shots"
state=$build/bin/ftptest
openbox=
exec 8<> <(:)
Xvfb -displayfd 8 -screen 0 1024x640x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $openbox $xvfb 2>/dev/null || true; sh "$root/tests/ftplib/stop-servers.sh" "$build/bin"' EXIT
read -r -t 30 display <&8
exec 8<&-
DISPLAY=:$display openbox --sm-disable >/dev/null 2>&1 &
openbox=$!
export DISPLAY=:$display VANDRELL_KEEP_DISPLAY=1

sh "$root/tests/ftplib/start-servers.sh" "$build/bin"
port=$(sed -n 's/^A=//p' "$state/ports.txt")
site=$state/rootA/pub
mkdir -p "$site/Neuer Ordner" "$site/docs"
printf 'hello\n' >"$site/readme.txt"
printf 'name with blanks\n' >"$site/name with blanks.txt"
head -c 70000 /dev/zero >"$site/data.bin"
printf 'x' >"$site/Grüße.txt"
ln -s readme.txt "$site/link to readme"

"$root/scripts/wine-run" "$build/bin/ftp_shots_tool.exe" 'T:\ftptest' "$port" /pub 'T:\ftptest\shots.ini' &
run=$!
for step in sites:ftp-site-manager panels:ftp-panel-beside-local; do
    flag=$state/${step%%:*}
    for _ in $(seq 600); do [ -e "$flag.shown" ] && break; sleep 0.1; done
    [ -e "$flag.shown" ] || { echo "no $flag.shown" >&2; exit 1; }
    import -window root "$shots/${step#*:}.png"
    touch "$flag.done"
done
wait $run
ls -l "$shots"/ftp-*.png
