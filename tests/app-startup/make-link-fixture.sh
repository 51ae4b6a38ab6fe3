#!/usr/bin/env bash
# A folder holding a link to a folder beside it, made from Linux: Wine shows
# the link as a folder with the reparse-point bit, the way a junction looks
# on Windows, where this Wine cannot set a reparse point itself.
#   make-link-fixture.sh <dir>
set -euo pipefail
dir=$1
chmod -R u+w "$dir" 2>/dev/null || true
rm -rf "$dir"
mkdir -p "$dir/root" "$dir/outside"
printf 'keep me\n' > "$dir/outside/precious.txt"
ln -s ../outside "$dir/root/link"
