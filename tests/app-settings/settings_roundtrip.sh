#!/usr/bin/env bash
# SaveSettings, then read back with crudini; a file edited with crudini loads
# back; "Options" defaults. Runs inside the Wine sandbox; $1 is the bin folder
# (drive T: for the Windows side).
set -euo pipefail
bin=$1
here=$(cd "$(dirname "$0")" && pwd)
# A failing run says so with its output, never ends the script unexplained.
run() {
    local out status=0
    out=$("$here/../../scripts/wine-run" "$bin/settings_tool.exe" "$@" 2>&1) || status=$?
    printf '%s\n' "$out" | tr -d '\r'
    if [ $status -ne 0 ]; then
        echo "FAIL settings_tool $1 exited $status: $out" >&2
        return $status
    fi
}
work=$bin/app-settings-rt
rm -rf "$work" && mkdir -p "$work"
ini=$work/rt.ini
winini='T:\app-settings-rt\rt.ini'
fail=0
expect() { # what, got, want
    if [ "$2" != "$3" ]; then echo "FAIL $1: got '$2', want '$3'"; fail=1; else echo "ok   $1"; fi
}
get() { crudini --get "$ini" "Zq Vandrell" "$1"; }

run save "$winini"
[ -f "$ini" ] || { echo "FAIL no settings file written"; exit 1; }
expect Version "$(get Version)" "3.50"
expect Options "$(get Options)" "21,33815,2156920881,575,2,4294967280,250"
expect PathR "$(get PathR)" 'D:\RIGHT DIR'
expect FontEdi "$(get FontEdi)" "Courier New,-13,0,0,0,400,0,0,0,0,0,0,0,0"
expect PosEdi "$(get PosEdi)" "10,500,20,400,129"
expect PosPP "$(get PosPP)" "-5,50,-6,60,1"
expect PosSyn "$(get PosSyn)" "640,480,0,0"
expect Full "$(get Full)" "50,60,70,80,90,51,61,71,81,91"
expect Cust "$(get Cust)" "1,3,2,0,0,60,61,62,63,64,1,3,2,0,0,60,61,62,63,64"
expect ColorPnl "$(get ColorPnl)" "1,8388608,16776960,16776960,8421376,0,65535,8388608,16776960,16776960,8421376,0,65535"
expect CustClr "$(get CustClr)" "-1,-1,-1,11259375,-1,-1,-1,-1,-1,-1,-1,-1,-1,-1,-1,-1"
expect Mode "$(get Mode)" "2,3"
expect Select "$(get Select)" "1,7,9"
expect Position "$(get Position)" "120,0,0,33"
expect Separator "$(get Separator)" "0.250"
expect Attrib "$(get Attrib)" "55,0,18,0,26,12,10,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,1073741824,0,0,0,1"
expect FilterL "$(get FilterL)" "*.cpp;*.h"
expect Packer "$(get Packer)" "49,10001,0,0,0,0,0,0,0"
expect Language "$(get Language)" "DE"
expect OptSync "$(get OptSync)" "2147483649"
expect SAttr "$(get SAttr)" "23,0,0,0,0,0,0,0,0,0,0,0,0,0,12,0,0,0"
expect ToolBar "$(get ToolBar)" "31,2,1,-4,78"
# Keys in the order SaveSettings writes them.
order=$(crudini --get "$ini" "Zq Vandrell" | tr '\n' ' ')
expect order "$order" "Version PathL PathR FontPnl FontSBr FontEdi FontViw FontDmp FontCT PosPnl PosEdi PosViw PosMP3 PosDmp PosCnt PosHst PosPP PosSyn Brief Full Cust ColorPnl ColorEdi ColorViw ColorHex CustClr Off Mode Sort Revers Select Position Separator Options Attrib FilterL FilterR WOutL WOutR Packer UU CRC Language Editor EdiPrm View VewPrm Dump File OptSync SAttr SFilter SWOut OptFTP ToolBar "

# Everything written reads back.
out=$(run load "$winini")
line() { printf '%s\n' "$out" | sed -n "s/^$1=//p"; }
expect load-Options "$(line Options)" "21,33815,2156920881,575,2,4294967280,250"
expect load-FontEdi "$(line FontEdi)" "Courier New,-13"
expect load-PosEdi "$(line PosEdi)" "10,20,500,400,1,3"
expect load-Cust "$(line Cust)" "1,3,2,0,0"
expect load-Scheme "$(line Scheme)" "1,FFFF00"
expect load-CustClr3 "$(line CustClr3)" "00ABCDEF,FFFFFFFF"
expect load-Mode "$(line Mode)" "2,3"
expect load-Separator "$(line Separator)" "0.250"
expect load-Attrib "$(line Attrib)" "55,0012,358A,5368709120"
expect load-Packer "$(line Packer)" "49,10000"
expect load-OptSync "$(line OptSync)" "2147483649"
expect load-ToolBar "$(line ToolBar)" "35,700,92,-4,130"

# A file edited with crudini loads back.
crudini --set "$ini" "Zq Vandrell" Options "1,2,4294967295,3,4,4294967294,7"
crudini --set "$ini" "Zq Vandrell" Separator "0"
crudini --set "$ini" "Zq Vandrell" Cust "1,1,0,0,0,9,9,9,9,9,1,3,0,4,5,9,9,9,9,9"
crudini --set "$ini" "Zq Vandrell" ColorEdi "255,255"
crudini --set "$ini" "Zq Vandrell" Packer "3,0,0,0,0,0,0,0,0"
crudini --set "$ini" "Zq Vandrell" ToolBar "0,1,2"
crudini --set "$ini" "Zq Vandrell" PathL 'E:\EDITED'
crudini --set "$ini" "Zq Vandrell" FontPnl "Arial,1,2"
out=$(run load "$winini")
expect edit-Options "$(line Options)" "1,2,4294967295,3,4,4294967294,7"
expect edit-Separator "$(line Separator)" "0.500"
expect edit-Cust "$(line Cust)" "1,2,3,4,5"
expect edit-CustR "$(line CustR)" "1,3,0,0,0"
expect edit-ColorEdi "$(line ColorEdi)" "000000,FFFFFF"
expect edit-Packer "$(line Packer)" "3,10000"
expect edit-ToolBar "$(line ToolBar)" "29,92,700"
expect edit-PathL "$(line PathL)" 'E:\EDITED'
# A list written before size bounds had high words still loads.
crudini --set "$ini" "Zq Vandrell" Attrib "55,0,18,0,26,12,10,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,1000000"
out=$(run load "$winini")
expect old-Attrib "$(line Attrib)" "55,0012,358A,1000000"
expect edit-FontPnl "$(line FontPnl)" "MS Sans Serif"

# Fewer than six numbers in "Options": the defaults.
for value in "" "1,2,3,4,5"; do
    crudini --set "$ini" "Zq Vandrell" Options "$value"
    out=$(run load "$winini")
    expect "defaults '$value'" "$(line Options)" "31,33815,1083179057,63,0,0,0"
done
crudini --del "$ini" "Zq Vandrell" Options
out=$(run load "$winini")
expect "defaults missing" "$(line Options)" "31,33815,1083179057,63,0,0,0"
crudini --set "$ini" "Zq Vandrell" Options "1,2,3,4,5,6"
out=$(run load "$winini")
expect "six numbers" "$(line Options)" "1,2,3,4,5,6,0"

rm -rf "$work"
exit $fail
