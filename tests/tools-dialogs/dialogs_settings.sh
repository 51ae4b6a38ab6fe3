#!/usr/bin/env bash
# The settings dialogs driven by their messages (dialogs_tool), each value
# read back from the settings file with crudini; Cancel leaves the file
# byte-identical. Runs inside the Wine sandbox; $1 is the bin folder (T:).
set -euo pipefail
bin=$1
here=$(cd "$(dirname "$0")" && pwd)
work=$bin/tools-dialogs-settings
rm -rf "$work" && mkdir -p "$work"
ini=$work/dlg.ini
winini='T:\tools-dialogs-settings\dlg.ini'
fail=0
run() {
    local out status=0
    out=$("$here/../../scripts/wine-run" "$bin/dialogs_tool.exe" "$@" 2>&1) || status=$?
    printf '%s\n' "$out" | tr -d '\r' | grep -v '^$' || true
    if [ $status -ne 0 ]; then echo "FAIL dialogs_tool $*: exit $status"; fail=1; fi
}
expect() { # what, got, want
    if [ "$2" != "$3" ]; then echo "FAIL $1: got '$2', want '$3'"; fail=1; else echo "ok   $1"; fi
}
get() { crudini --get "$ini" "$1" "$2" 2>/dev/null || echo "<none>"; }
fresh() { # a settings file with the user menu below, loaded and saved once
    cat >"$ini" <<'INI'
[Zq Vandrell]
Options=31,33815,1083179057,63,0,0,0
[Menu]
M1=Editor
C1=notepad.exe
P1=%1
T1=2
M2=Calc
C2=calc.exe
D2=C:\windows
M3=Shell
C3=cmd.exe
T3=1
INI
    run normalise "$winini"
    cp "$ini" "$work/before.ini"
}
unchanged() { # what
    if cmp -s "$ini" "$work/before.ini"; then echo "ok   $1 leaves the file byte-identical"
    else echo "FAIL $1 changed the file:"; diff "$work/before.ini" "$ini" | head -20; fail=1; fi
}

# ---- panel colours: the user scheme with six chosen colours
fresh
run colors "$winini" cancel
unchanged "colours Cancel"
run colors "$winini" ok
user="1971210,3942420,5913630,7884840,9856050,11827260" # RGB(10n, 20n, 30n) as COLORREFs
expect ColorPnl "$(get 'Zq Vandrell' ColorPnl)" "2,$user,$user"
expect CustClr "$(get 'Zq Vandrell' CustClr | cut -d, -f1)" "1193046"

# ---- user menu
fresh
run menu "$winini" cancel
unchanged "user menu Cancel"
[ ! -e "$ini.M__" ] || { echo "FAIL scratch file left after Cancel"; fail=1; }
run menu "$winini" ok
[ ! -e "$ini.M__" ] || { echo "FAIL scratch file left after OK"; fail=1; }
expect menu-keys "$(crudini --get "$ini" Menu | tr '\n' ' ')" "M1 C1 P1 M2 C2 P2 T2 "
expect M1 "$(get Menu M1)" "Calc"
expect C1 "$(get Menu C1)" "calc.exe"
expect P1 "$(get Menu P1)" "/x"
expect M2 "$(get Menu M2)" "Editor 2"
expect C2 "$(get Menu C2)" "notepad.exe"
expect P2 "$(get Menu P2)" "%1"
expect T2 "$(get Menu T2)" "2"

# ---- options: every page's controls, the Find program and both lists
fresh
cat >>"$ini" <<'INI'
[Editor]
1=*.txt;*.log=C:\ed\ed.exe=%1=M=C:\ed
2=*.c
[Viewer]
1=*.bmp=C:\pv\pv.exe
INI
cp "$ini" "$work/before.ini"
run options "$winini" cancel
unchanged "options Cancel"
run options "$winini" ok
expect Options "$(get 'Zq Vandrell' Options)" "10,31680,26214546,575,3,786432,0"
expect Find-C1 "$(get Find C1)" 'C:\find\ff.exe'
expect Find-D1 "$(get Find D1)" 'C:\find'
expect Find-P1 "$(get Find P1)" '-q %1'
expect Find-T1 "$(get Find T1)" "1"
expect editor-keys "$(crudini --get "$ini" Editor | grep -v '^Col' | tr '\n' ' ')" "1 2 3 "
expect Editor-1 "$(get Editor 1)" '*.c=C:\cc\view.exe==M'
expect Editor-2 "$(get Editor 2)" '*.txt;*.log=C:\ed\ed.exe'
expect Editor-3 "$(get Editor 3)" '*.tmp'
expect editor-columns "$(crudini --get "$ini" Editor | grep -c '^Col')" "6"
expect viewer-keys "$(crudini --get "$ini" Viewer | grep -v '^Col' | tr '\n' ' ')" "1 "
expect Viewer-1 "$(get Viewer 1)" '*.gif=C:\gv.exe=**'
exit $fail
