#!/usr/bin/env bash
# Screenshots of the date and time dialog for known months, into
# docs/screenshots/ (not a test: run by hand after a change to the
# calendar). Uses a display and window manager of its own.
#   tests/tools-dialogs/clock_screenshot.sh [build]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-$("$root/scripts/test-build")}
build=$(cd "$root/$build" 2>/dev/null || cd "$build"; pwd)
shots=$root/docs/screenshots
mkdir -p "$shots"
openbox=
# Xvfb names its display on the descriptor once it accepts clients.
exec 8<> <(:)
Xvfb -displayfd 8 -screen 0 640x480x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $openbox $xvfb 2>/dev/null || true' EXIT
read -r -t 30 display <&8
exec 8<&-
DISPLAY=:$display openbox --sm-disable >/dev/null 2>&1 &
openbox=$!
export DISPLAY=:$display VANDRELL_KEEP_DISPLAY=1
work=$build/bin/clock-shots
mkdir -p "$work"
for month in "15 2 2100" "29 2 2000" "31 8 2027"; do
    set -- $month
    flag=$work/cal$3$2
    rm -f "$flag.shown" "$flag.done"
    "$root/scripts/wine-run" "$build/bin/dialogs_tool.exe" clock "T:\\clock-shots\\cal$3$2" $1 $2 $3 &
    run=$!
    # The tool writes the flag once the dialog is painted whole.
    for _ in $(seq 200); do [ -e "$flag.shown" ] && break; sleep 0.1; done
    import -window root "$shots/clock-$3-$(printf %02d $2).png"
    touch "$flag.done"
    wait $run
done
ls -l "$shots"
