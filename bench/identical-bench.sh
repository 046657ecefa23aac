#!/usr/bin/env bash
# Benchmark of "Suche gleiche Dateien" (not a test; CI does not run it). Generates many distinct
# files of one size that differ only in their last two bytes, plus groups of true copies (half
# of them of that same size, half of sizes of their own), lists them in a shuffled order and
# measures in one run, side by side (best of the runs):
#  - the read floor: a minimal reader opening and reading every listed byte once under Wine;
#  - the search over the same list (IdenticalPrepare and IdenticalSearch, every pair kept);
# and checks the pairs offered, in their order, against the plain search as specified (each
# file in size order against every later file of its size, files of equal bytes paired),
# computed here by Python from the files' SHA-256 digests and bytes.
#
#   BUILD_DIR=/work/build-x bash bench/identical-bench.sh [folder]
# Environment: BUILD_DIR (built tree with bench/identical_bench.exe and a Wine prefix),
# BENCH_DISTINCT (distinct files of one size, default 1000), BENCH_MB (their size in MiB,
# default 1), BENCH_GROUPS (groups of copies, default 20), BENCH_COPIES (files per group,
# default 3), BENCH_RUNS (default 3), WINEPREFIX (default: the build's prefix).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$root/build}
folder=${1:-/tmp/vm-identical-bench}
distinct=${BENCH_DISTINCT:-1000}
mb=${BENCH_MB:-1}
groups=${BENCH_GROUPS:-20}
copies=${BENCH_COPIES:-3}
runs=${BENCH_RUNS:-3}
tool=$build/bench/identical_bench.exe
[ -f "$tool" ] || { echo "missing $tool: build first (scripts/build.sh)"; exit 2; }

stamp="$folder/.set-$distinct-$mb-$groups-$copies"
if [ ! -f "$stamp" ]; then
    echo "generating the files in $folder ..."
    rm -rf "$folder"
    mkdir -p "$folder/files"
    /usr/bin/python3 - "$folder" "$distinct" "$mb" "$groups" "$copies" <<'PY'
import os, random, sys
root, distinct, mb, groups, copies = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5])
rnd = random.Random(20240611)
size = mb << 20
base = bytearray(rnd.getrandbits(8) for _ in range(size))
names = []
def put(name, data):
    with open(os.path.join(root, "files", name), "wb") as f:
        f.write(data)
    names.append(name)
for i in range(distinct):
    base[-2:] = i.to_bytes(2, "big")
    put("d%05d.bin" % i, base)
for g in range(groups):
    if g % 2 == 0:
        base[-2:] = (0xF000 + g).to_bytes(2, "big")   # of the distinct files' size
        data = bytes(base)
    else:
        data = bytes(rnd.getrandbits(8) for _ in range(4096 * (g + 1)))
    for k in range(copies):
        put("c%02d%02d.bin" % (g, k), data)
rnd.shuffle(names)
with open(os.path.join(root, "list.txt"), "w", newline="\r\n") as f:
    for n in names:
        f.write("Z:" + os.path.join(root, "files", n).replace("/", "\\") + "\n")
PY
    touch "$stamp"
fi
count=$(wc -l <"$folder/list.txt")
total=$(du -sm "$folder/files" | cut -f1)

# The pairs of the plain search, in its order.
/usr/bin/python3 - "$folder" >"$folder/want.txt" <<'PY'
import hashlib, os, sys
root = sys.argv[1]
paths = [l.strip() for l in open(os.path.join(root, "list.txt")) if l.strip()]
def unix(p): return p[2:].replace("\\", "/")
size = {p: os.path.getsize(unix(p)) for p in paths}
digest = {p: hashlib.sha256(open(unix(p), "rb").read()).digest() for p in paths}
order = sorted(paths, key=lambda p: size[p])          # stable: list order among equal sizes
for i, a in enumerate(order):
    if size[a] == 0:
        continue                                     # an empty file cannot be mapped
    for b in order[i + 1:]:
        if size[b] != size[a]:
            break
        if digest[a] == digest[b] and open(unix(a), "rb").read() == open(unix(b), "rb").read():
            up, low = (a, b) if a.lower() <= b.lower() else (b, a)
            print(up + "|" + low)
PY

export WINEPREFIX=${WINEPREFIX:-$build/wineprefix}
. "$root/scripts/wine-env.sh"
[ -d "$WINEPREFIX/drive_c" ] || "$root/scripts/wine-prefix.sh" >/dev/null
wineserver -p10 2>/dev/null || true   # ends by itself 10 s after the last process
wine cmd.exe /c exit </dev/null >/dev/null 2>&1 || true

win_list="Z:${folder//\//\\}\\list.txt"
win_pairs="Z:${folder//\//\\}\\got.txt"
out=$(wine "$tool" -r "$runs" "$win_list" "$win_pairs" | tr -d '\r')
echo "$out" | grep -v '^floor \|^search ' || true
floor=$(echo "$out" | awk '$1 == "floor" {print $2}')
search=$(echo "$out" | awk '$1 == "search" {print $2}')
pairs=$(echo "$out" | awk '$1 == "search" {print $4}')
tr -d '\r' <"$folder/got.txt" >"$folder/got.unix"
check=identical
cmp -s "$folder/want.txt" "$folder/got.unix" || check="DIFFER (see $folder/want.txt, $folder/got.unix)"

echo "files: $count ($distinct distinct of $mb MiB, $groups groups of $copies copies), $total MB, shuffled list"
LC_ALL=C printf "\n%-30s %10s %10s %8s %7s  %s\n" case "floor (s)" "search (s)" ratio pairs "pairs against the plain search"
LC_ALL=C printf "%-30s %10.3f %10.3f %8.2f %7d  %s\n" "identical files, best of $runs" "$floor" "$search" \
    "$(echo "$search $floor" | LC_ALL=C awk '{print $1 / $2}')" "$pairs" "$check ($(wc -l <"$folder/want.txt") expected)"
echo
echo "floor = open and read every listed byte once; search = IdenticalPrepare + IdenticalSearch"
echo "with every pair kept; ratio = search / floor (goal: at most 2)."
[ "$check" = identical ]
