#!/usr/bin/env bash
# The template of command 410, translated with sed into a third language,
# loads; a key missing from the file falls back to English; German texts
# appear in a real dialog localised by its id list. $1 is the bin folder (T:).
set -euo pipefail
bin=$1
here=$(cd "$(dirname "$0")" && pwd)
run() { "$here/../../scripts/wine-run" "$bin/settings_tool.exe" "$@" | tr -d '\r'; }
work=$bin/app-settings-lng
rm -rf "$work" && mkdir -p "$work"
fail=0
expect() {
    if [ "$2" != "$3" ]; then echo "FAIL $1: got '$2', want '$3'"; fail=1; else echo "ok   $1"; fi
}

run template 'T:\app-settings-lng\kestr'
tpl=$work/kestr_US.LNG
[ -f "$tpl" ] || { echo "FAIL no template written"; exit 1; }
expect section "$(head -n1 "$tpl" | tr -d '\r')" "[Text]"
expect name "$(crudini --get "$tpl" Text Language)" "English"
grep -q $'\r$' "$tpl" || { echo "FAIL lines do not end with CR LF"; fail=1; }
grep -q '^mnuSaveSetup_*=&Save setup\\tShift+F9' "$tpl" || { echo "FAIL escaped tab missing"; fail=1; }

# French by sed: the name, two texts, and one key dropped.
sed -e 's/^Language=English/Language=Fran\xe7ais/' \
    -e 's/^\(txtHistory_*\)=.*/\1=Historique/' \
    -e 's/^\(mnuSaveSetup_*\)=.*/\1=\&Enregistrer\\tShift+F9/' \
    -e 's/^\(askExit_*\)=.*/\1=Quitter %s%s%n ?/' \
    -e '/^optKeep_*=/d' "$tpl" >"$work/kestr_FR.LNG"
out=$(run lang 'T:\app-settings-lng\kestr' FR 13002 14545 408 14546 14547)
line() { printf '%s\n' "$out" | sed -n "s/^$1=//p"; }
expect fr-name "$(line 13002)" $'Fran\xe7ais'
expect fr-history "$(line 14545)" "Historique"
expect fr-tab "$(line 408)" $'&Enregistrer\tShift+F9'
expect fr-missing-key "$(line 14546)" "Keep"
expect fr-untouched "$(line 14547)" "Favorites"
expect fr-bad-format "$(line askExit)" "Do you want to quit the Vandrell?"

# No FR file any more: the US file stands in; without it, no table.
rm "$work/kestr_FR.LNG"
out=$(run lang 'T:\app-settings-lng\kestr' FR 14545)
expect us-fallback "$(line 14545)" "History"
rm "$tpl"
expect no-file "$(run lang 'T:\app-settings-lng\kestr' FR 14545 || true)" "no table"

# German texts in a real dialog, read back with GetDlgItemTextA.
out=$(run dialog DE)
expect de-caption "$(line caption)" "Sprache"
expect de-label "$(line 13006)" $'Sprache des Programms w\xe4hlen:'
expect de-cancel "$(line 13005)" "Abbrechen"
out=$(run dialog US)
expect us-cancel "$(line 13005)" "Cancel"

rm -rf "$work"
exit $fail
