#!/usr/bin/env bash
# A file created from Linux in a watched folder signals the watch at the
# first clock tick after the change.
set -euo pipefail
bin=$1
name=dirwatch-$$
dir=$bin/$name
out=$(mktemp)
mkdir -p "$dir"
trap 'rm -rf "$dir" "$out"' EXIT
wine 'T:\dirwatch_probe.exe' "T:\\$name" >"$out" 2>&1 </dev/null &
probe=$!
for _ in $(seq 200); do grep -q ready "$out" && break; sleep 0.05; done
grep -q ready "$out" || { cat "$out"; echo "probe did not start"; exit 1; }
echo data >"$dir/from-linux.txt"
status=0
wait $probe || status=$?
cat "$out"
[ $status -eq 0 ] || { echo "probe failed"; exit 1; }
grep -q "signalled at tick 1" "$out" || { echo "change not seen at the first tick"; exit 1; }
