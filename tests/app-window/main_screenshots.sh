#!/usr/bin/env bash
# Screenshots of the main window with the pictures of its tool bar, drive bar
# and Files menu, in English and German, with flat and with classic buttons,
# into docs/screenshots/ (not a test: run by hand after a change to the
# pictures). Uses a display and window manager of its own.
#   tests/app-window/main_screenshots.sh [build]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-$("$root/scripts/test-build")}
build=$(cd "$root/$build" 2>/dev/null || cd "$build"; pwd)
shots=$root/docs/screenshots
mkdir -p "$shots"
openbox=
exec 8<> <(:)
Xvfb -displayfd 8 -screen 0 1024x700x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $openbox $xvfb 2>/dev/null || true' EXIT
read -r -t 30 display <&8
exec 8<&-
DISPLAY=:$display openbox --sm-disable >/dev/null 2>&1 &
openbox=$!
export DISPLAY=:$display VANDRELL_KEEP_DISPLAY=1
state=$build/bin/main-shots
mkdir -p "$state/left/Documents" "$state/left/Pictures" "$state/right"
for f in readme.txt notes.doc picture.png; do printf 'x\n' >"$state/left/$f"; done
for lang in US DE; do
    # Panel options 50199 draw flat buttons; with 0x200 more they are classic.
    for style in flat:50199 classic:50711; do
        flag=shot-$lang-${style%%:*}
        rm -f "$state/$flag.shown" "$state/$flag.done"
        "$root/scripts/wine-run" "$build/bin/main_shots_tool.exe" 'T:\main-shots' "T:\\main-shots\\$lang.ini" \
            "$lang" "${style#*:}" "$flag" &
        run=$!
        for _ in $(seq 600); do [ -e "$state/$flag.shown" ] && break; sleep 0.1; done
        [ -e "$state/$flag.shown" ] || { echo "no $flag.shown" >&2; exit 1; }
        import -window root "$shots/main-window-$(echo "$lang" | tr A-Z a-z)-${style%%:*}.png"
        touch "$state/$flag.done"
        wait $run
    done
done
ls -l "$shots"/main-window-*.png
