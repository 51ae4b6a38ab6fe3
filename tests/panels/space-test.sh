#!/usr/bin/env bash
# Occupied space of a generated tree under Wine against Python's os.walk:
# files, folders, bytes and cluster-aligned bytes; a link to a folder counts
# as one folder and is never entered. Runs inside scripts/with-sandbox.
#   space-test.sh <space_tool.exe> <source root>
set -euo pipefail
tool=$1
root=$2
: "${WINEPREFIX:?run inside scripts/with-sandbox}"
build=${VANDRELL_BUILD:-$(cd "$(dirname "$tool")/.." && pwd)}
work=$(mktemp -d "$build/space-test.XXXXXX")
dos=$WINEPREFIX/dosdevices
letter=""
cleanup() {
    [ -n "$letter" ] && rm -f "$dos/$letter:"
    rm -rf "$work"
}
trap cleanup EXIT
# Letters no other test script maps; -T makes the link or fails, never
# a link inside a folder another run has just mapped.
for l in e f g h i; do
    if ln -sT "$work" "$dos/$l:" 2>/dev/null; then letter=$l; break; fi
done
[ -n "$letter" ] || { echo "no free drive letter" >&2; exit 1; }
fail() { echo "FAIL: $*" >&2; exit 1; }

python3 - "$work" <<'PY'
import os, random, sys
top = sys.argv[1]
rnd = random.Random(7)
tree = os.path.join(top, "tree")
outside = os.path.join(top, "outside")
os.makedirs(outside)
for i in range(20):
    with open(os.path.join(outside, "big%d" % i), "wb") as f:
        f.write(b"o" * 100000)
for d in range(30):
    depth = rnd.randint(1, 5)
    path = os.path.join(tree, *["d%d_%d" % (d, k) for k in range(depth)])
    os.makedirs(path, exist_ok=True)
    for i in range(rnd.randint(0, 12)):
        size = rnd.choice([0, 1, 4095, 4096, 4097, rnd.randint(0, 300000)])
        with open(os.path.join(path, "f%d.bin" % i), "wb") as f:
            f.write(b"x" * size)
os.makedirs(os.path.join(tree, "empty"))
os.symlink(outside, os.path.join(tree, "link to outside"))
os.symlink(outside, os.path.join(tree, "d0_0", "nested link"))
PY

expect() { # expect <cluster>
    /usr/bin/python3 - "$work/tree" "$1" <<'PY'
import os, sys
top, cluster = sys.argv[1], int(sys.argv[2])
folders = files = size = allocated = links = 0
for path, dirs, names in os.walk(top, followlinks=False):
    for d in dirs:
        folders += 1
        if os.path.islink(os.path.join(path, d)):
            links += 1
    for n in names:
        s = os.lstat(os.path.join(path, n)).st_size
        files += 1
        size += s
        allocated += (s + cluster - 1) // cluster * cluster if cluster else s
print(folders, files, size, allocated, links, 0)
PY
}

for cluster in 0 512 4096 65536; do
    got=$("$root/scripts/wine-run" "$tool" "$letter:\\tree" $cluster | tr -d '\r')
    want=$(expect $cluster)
    [ "$got" = "$want" ] || fail "cluster $cluster: counted '$got', os.walk '$want'"
    echo "cluster $cluster: $got"
done
