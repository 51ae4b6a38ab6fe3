#!/bin/sh
# run-fuzz.sh FUZZER DATADIR WORKDIR SECONDS
# Seeds a corpus with the start of every test stream (behind a selector
# byte) and runs the fuzzer for a bounded time; any crash fails the test.
set -e
fuzzer=$1 data=$2 work=$3 seconds=$4
rm -rf "$work/corpus" && mkdir -p "$work/corpus" "$work/artifacts"
i=0
for f in "$data"/*.bit; do
    i=$((i + 1))
    { printf "\\$(printf %o $((i % 256)))"; head -c 8192 "$f"; } > "$work/corpus/seed$i"
done
exec "$fuzzer" -max_total_time="$seconds" -max_len=16384 -timeout=10 -rss_limit_mb=1024 \
    -artifact_prefix="$work/artifacts/" -print_final_stats=1 "$work/corpus"
