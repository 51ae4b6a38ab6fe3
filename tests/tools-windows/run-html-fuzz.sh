#!/bin/sh
# run-html-fuzz.sh FUZZER WORKDIR SECONDS
# Seeds a corpus with a few pages and values, runs the fuzzer for a bounded
# time; any crash or sanitizer report fails the test.
set -e
fuzzer=$1 work=$2 seconds=$3
rm -rf "$work/corpus" && mkdir -p "$work/corpus" "$work/artifacts"
printf '<html><body background="bg.gif"><a href="b%%20c.html">b</a><img src="sub/../f.png">' >"$work/corpus/page1"
printf '<A\r\n HREF = x.html><img alt="x" src="y.png"><a href=\x27q.html\x27>' >"$work/corpus/page2"
printf 'Tom &amp; Jerry &#65;&#x42;.txt' >"$work/corpus/value1"
printf '%%2e%%2e/..%%5ca.png' >"$work/corpus/value2"
exec "$fuzzer" -max_total_time="$seconds" -max_len=4096 -timeout=30 -rss_limit_mb=2048 \
    -artifact_prefix="$work/artifacts/" -print_final_stats=1 "$work/corpus"
