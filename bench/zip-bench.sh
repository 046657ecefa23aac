#!/usr/bin/env bash
# Benchmark of the zip archive (not a test; CI does not run it). Generates a tree (source-like
# text, logs, some binary and incompressible files), packs it with CZipFile through
# archive_tool under Wine with every packing method, and with its peers at the same settings:
# Info-ZIP for deflate (zip -6, -9) and bzip2 (zip -6 -Z bzip2), 7z -tzip -mmt=1 for LZMA and
# PPMd (same level, dictionary, order and model size) and, for reference, deflate. Beside them
# the floor: pack_floor reading every file, computing its CRC and compressing it with the same
# library at the same settings under the same Wine (none for PPMd, whose model is our own), and
# the zip dialog's road (the folder listed once, each file added from its record). Checks that
# every archive tests clean and prints each time (median of BENCH_RUNS) and size with their
# ratios to the peer and the floor, plus the cost of starting Wine, which every time under
# Wine includes.
#
#   BUILD_DIR=/work/build-x bash bench/zip-bench.sh [tree folder]
# Environment: BUILD_DIR (built tree with tests/zip/archive_tool.exe and a Wine prefix),
# BENCH_MB (size of the tree in MB, default 200), BENCH_RUNS (timed runs per packer, default 3),
# BENCH_METHODS (default "deflate bzip2 lzma ppmd").
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$root/build}
tree=${1:-/tmp/vm-zip-bench}
mb=${BENCH_MB:-200}
runs=${BENCH_RUNS:-3}
methods=${BENCH_METHODS:-deflate bzip2 lzma ppmd}
tool=$build/tests/zip/archive_tool.exe
floor_tool=$build/bench/pack_floor.exe
for f in "$tool" "$floor_tool"; do
  [ -f "$f" ] || { echo "missing $f: build first (scripts/build.sh)"; exit 2; }
done
export WINEPREFIX=${WINEPREFIX:-$build/wineprefix} WINEDEBUG=-all LANG=de_DE.UTF-8 TZ=Europe/Berlin LC_NUMERIC=C
out=$(mktemp -d /tmp/vm-zip-bench-out.XXXXXX)
trap 'rm -rf "$out"' EXIT

stamp="$tree/.tree-$mb"
if [ ! -f "$stamp" ]; then
  echo "generating a tree of $mb MB in $tree ..."
  rm -rf "$tree"
  mkdir -p "$tree"
  /usr/bin/python3 - "$tree" "$mb" <<'PY'
import os, random, sys
root, mb = sys.argv[1], int(sys.argv[2])
rnd = random.Random(20240611)
words = ("int char void return if else for while struct static const unsigned size_t buffer length "
         "count index value result error file path name data entry table archive stream codec "
         "Datei Fehler Eintrag Pfad Name Wert Ergebnis Archiv").split()
def source_line():
    ind = "    " * rnd.randint(0, 3)
    return ind + " ".join(rnd.choice(words) for _ in range(rnd.randint(1, 10))) + (";" if rnd.random() < 0.6 else "")
def log_line(i):
    return "2024-06-%02d 12:%02d:%02d INFO %s %d" % (rnd.randint(1, 30), rnd.randint(0, 59), rnd.randint(0, 59),
                                                   " ".join(rnd.choice(words) for _ in range(5)), i)
total, target, n = 0, mb << 20, 0
while total < target:
    n += 1
    kind = rnd.random()
    folder = os.path.join(root, "dir%02d" % rnd.randint(0, 39), "sub%d" % rnd.randint(0, 4))
    os.makedirs(folder, exist_ok=True)
    if kind < 0.6:
        size = int(rnd.expovariate(1 / 40000)) + 100
        lines, s = [], 0
        while s < size:
            l = source_line(); lines.append(l); s += len(l) + 1
        data = ("\n".join(lines) + "\n").encode()
        name = "file%05d.c" % n
    elif kind < 0.8:
        size = int(rnd.expovariate(1 / 300000)) + 1000
        lines, s, i = [], 0, 0
        while s < size:
            l = log_line(i); lines.append(l); s += len(l) + 2; i += 1
        data = ("\r\n".join(lines) + "\r\n").encode()
        name = "log%05d.txt" % n
    elif kind < 0.95:
        size = int(rnd.expovariate(1 / 100000)) + 100
        data = bytes(rnd.choice((0, 0, 0, 1, 2, 255, rnd.randrange(256))) for _ in range(size))
        name = "bin%05d.dat" % n
    else:
        data = os.urandom(int(rnd.expovariate(1 / 500000)) + 100)
        name = "rnd%05d.bin" % n
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)
    total += len(data)
print("%d files, %d bytes" % (n, total))
PY
  touch "$stamp"
fi
bytes=$(find "$tree" -type f ! -name '.tree-*' -printf '%s\n' | awk '{s += $1} END {print s}')
files=$(find "$tree" -type f ! -name '.tree-*' | wc -l)
echo "tree: $files files, $bytes bytes; median of $runs runs each"

winpath() { printf 'Z:%s' "${1//\//\\}"; }
median() { LC_ALL=C sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
best() {  # best LABEL ARCHIVE COMMAND...: runs the command, keeps the median wall and CPU times
  local label=$1 archive=$2
  shift 2
  local start times= cpus=
  for _ in $(seq "$runs"); do
    # The floor writes over its output: closing a newly made large file under Wine here now
    # and then waits a second or two after the work is done, which is no cost of packing.
    case $label in floor-*) ;; *) rm -f "$archive" ;; esac
    start=$(date +%s.%N)
    { TIMEFORMAT='%3U %3S'; time "$@" >/dev/null 2>&1; } 2>"$out/cpu" || { echo "$label: packing failed"; exit 1; }
    times+="$(awk -v s="$start" -v e="$(date +%s.%N)" 'BEGIN { printf "%.3f", e - s }')"$'\n'
    cpus+="$(awk '{ printf "%.3f", $1 + $2 }' "$out/cpu")"$'\n'
  done
  case $label in
    floor-*) ;;
    *) 7z t "$archive" >/dev/null 2>&1 || { echo "$label: 7z t fails"; exit 1; } ;;
  esac
  echo "$label $(printf '%s' "$times" | median) $(stat -c %s "$archive") $(printf '%s' "$cpus" | median)" >>"$out/results"
}

: >"$out/results"
tool_pack() {  # tool_pack ARCHIVE METHOD LEVEL
  "$root/scripts/wine-run.sh" "$tool" pack "$(winpath "$1")" "$2" "$3" "" "$(winpath "$tree")"
}
tool_packlist() {  # tool_packlist ARCHIVE METHOD LEVEL: the zip dialog's road
  "$root/scripts/wine-run.sh" "$tool" packlist "$(winpath "$1")" "$2" "$3" "$(winpath "$tree")"
}
floor_pack() {  # floor_pack OUTPUT METHOD LEVEL
  "$root/scripts/wine-run.sh" "$floor_tool" "$2" "$3" "$(winpath "$1")" "$(winpath "$tree")"
}
in_tree() { (cd "$tree" && "$@"); }
# Starting Wine alone: archive_tool listing a one-entry archive.
printf 'x' >"$out/one.txt"
(cd "$out" && zip -q one.zip one.txt)
best_wine() {
  local start times=
  for _ in $(seq "$runs"); do
    start=$(date +%s.%N)
    "$root/scripts/wine-run.sh" "$tool" list "$(winpath "$out/one.zip")" >/dev/null 2>&1
    times+="$(awk -v s="$start" -v e="$(date +%s.%N)" 'BEGIN { printf "%.3f", e - s }')"$'\n'
  done
  printf '%s' "$times" | median
}
wine_start=$(best_wine)
# PPMd level 6 of CZipFile: model order 10 and 13 MB (order 16 - level, level + 7 MB).
# LZMA level 5: 16 MB dictionary, as 7z's -mx=5.
for m in $methods; do
  case $m in
    deflate)
      best "floor-store" "$out/f0.out" floor_pack "$out/f0.out" store 0
      best "CZipFile-store" "$out/v0.zip" tool_pack "$out/v0.zip" store 0
      best "dialog-store" "$out/d0.zip" tool_packlist "$out/d0.zip" store 0
      best "zip-store" "$out/z0.zip" in_tree zip -qr -0 "$out/z0.zip" . -x '.tree-*'
      best "floor-6" "$out/f6.out" floor_pack "$out/f6.out" deflate 6
      best "CZipFile-6" "$out/v6.zip" tool_pack "$out/v6.zip" deflate 6
      best "dialog-6" "$out/d6.zip" tool_packlist "$out/d6.zip" deflate 6
      best "zip-6" "$out/z6.zip" in_tree zip -qr -6 "$out/z6.zip" . -x '.tree-*'
      best "7z-mx5" "$out/s5.zip" in_tree 7z a -tzip -mmt=1 -mx=5 "$out/s5.zip" . '-x!.tree-*'
      best "floor-9" "$out/f9.out" floor_pack "$out/f9.out" deflate 9
      best "CZipFile-9" "$out/v9.zip" tool_pack "$out/v9.zip" deflate 9
      best "zip-9" "$out/z9.zip" in_tree zip -qr -9 "$out/z9.zip" . -x '.tree-*'
      best "7z-mx9" "$out/s9.zip" in_tree 7z a -tzip -mmt=1 -mx=9 "$out/s9.zip" . '-x!.tree-*' ;;
    bzip2)
      best "floor-bz2" "$out/fb.out" floor_pack "$out/fb.out" bzip2 6
      best "CZipFile-bz2" "$out/vb.zip" tool_pack "$out/vb.zip" bzip2 6
      best "zip-bz2" "$out/zb.zip" in_tree zip -qr -6 -Z bzip2 "$out/zb.zip" . -x '.tree-*' ;;
    lzma)
      best "floor-lzma" "$out/fl.out" floor_pack "$out/fl.out" lzma 5
      best "CZipFile-lzma" "$out/vl.zip" tool_pack "$out/vl.zip" lzma 5
      best "7z-lzma" "$out/sl.zip" in_tree 7z a -tzip -mmt=1 -mm=LZMA -mx=5 "$out/sl.zip" . '-x!.tree-*' ;;
    ppmd)
      best "CZipFile-ppmd" "$out/vp.zip" tool_pack "$out/vp.zip" ppmd 6
      best "7z-ppmd" "$out/sp.zip" in_tree 7z a -tzip -mmt=1 -mm=PPMd -mo=10 -mmem=13m "$out/sp.zip" . '-x!.tree-*' ;;
  esac
done

awk -v bytes="$bytes" -v wine="$wine_start" '
  function peer(l) {
    if (l ~ /store/) return "zip-store"
    if (l ~ /bz2/) return "zip-bz2"
    if (l ~ /lzma/) return "7z-lzma"
    if (l ~ /ppmd/) return "7z-ppmd"
    return (l ~ /-9|mx9/) ? "zip-9" : "zip-6"
  }
  function floor(l) {
    if (l ~ /^(zip|7z)-/ && l !~ /store/) return ""
    if (l ~ /store/) return "floor-store"
    if (l ~ /bz2/) return "floor-bz2"
    if (l ~ /lzma/) return "floor-lzma"
    if (l ~ /ppmd/) return ""
    return (l ~ /-9/) ? "floor-9" : "floor-6"
  }
  { label[NR] = $1; t[$1] = $2; s[$1] = $3; c[$1] = $4 }
  END {
    printf "%-14s %9s %8s %13s %8s %9s %9s %-9s %10s %9s\n", "packer", "time (s)", "CPU (s)", "size", "ratio", "time/peer", "size/peer", "peer", "time/floor", "CPU/floor"
    for (i = 1; i <= NR; i++) {
      l = label[i]; r = peer(l); f = floor(l)
      if (!(r in t)) continue
      tf = (f != "" && (f in t)) ? sprintf("%10.2f %9.2f", t[l] / t[f], c[l] / c[f]) : sprintf("%10s %9s", "-", "-")
      printf "%-14s %9.2f %8.2f %13d %7.2f%% %9.2f %9.4f %-9s %s\n", l, t[l], c[l], s[l], 100 * s[l] / bytes, t[l] / t[r], s[l] / s[r], r, tf
    }
    printf "starting Wine (archive_tool listing a one-entry archive): %.2f s\n", wine
  }' "$out/results"
echo "(ratio: archive size / tree size; time/peer and size/peer: against Info-ZIP at the same level"
echo " for store, deflate and bzip2, 7z -tzip -mmt=1 with the same settings for LZMA and PPMd;"
echo " time/floor: against pack_floor, the same reads, CRCs and compression under the same Wine"
echo " (floor sizes are not archives); CPU: user and system time of the process (Wine's server"
echo " not counted), steadier than wall time while other work shares the machine; dialog: the"
echo " zip dialog's road, each listed file added from its record; every time under Wine includes"
echo " starting Wine for each run)"
