#!/usr/bin/env bash
# Prints compression and decompression times and ratios of each library codec on ~40 MB of
# text-like data (not a test; run by hand). Usage: libcodec-bench.sh BUILD_DIR [SOURCE_DIR]
set -euo pipefail
build=${1:?usage: libcodec-bench.sh BUILD_DIR [SOURCE_DIR]}
src=${2:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
tool=$build/tests/zip/libcodec_tool.exe
work=$(mktemp -d /tmp/libcodec-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
/usr/bin/python3 - "$work/in.bin" <<'PY'
import random, sys
r = random.Random(5)
words = [b"Datei ", b"Suche ", b"Fehler ", b"Zeile\r\n", b"0x1234 ", b"Vergleich ", b"\xdcbersicht "]
noise = bytes(r.getrandbits(8) for _ in range(1 << 20))
text = b"".join(r.choice(words) for _ in range(1000000))
open(sys.argv[1], "wb").write((text + noise) * 5)
PY
win() { printf 'Z:%s' "${1//\//\\}"; }
size=$(stat -c %s "$work/in.bin")
echo "input: $size bytes"
for combo in "stored 0" "deflate 1" "deflate 6" "deflate 9" "bzip2 9" "lzma3 5" "xz 6"; do
  read -r codec lvl <<<"$combo"
  for ch in handle memory; do
    t0=$(date +%s.%N)
    "$src/scripts/wine-run.sh" "$tool" c $codec $lvl $size "$(win "$work/in.bin")" "$(win "$work/packed")" $ch >/dev/null
    t1=$(date +%s.%N)
    "$src/scripts/wine-run.sh" "$tool" d $codec -2 $size "$(win "$work/packed")" "$(win "$work/out")" $ch >/dev/null
    t2=$(date +%s.%N)
    cmp -s "$work/in.bin" "$work/out" || echo "MISMATCH $codec $ch"
    LC_ALL=C printf '%-8s %-2s %-7s packed %10d  compress %6.2f s  decompress %6.2f s\n' $codec $lvl $ch \
      "$(stat -c %s "$work/packed")" "$(echo "$t1 - $t0" | bc)" "$(echo "$t2 - $t1" | bc)"
  done
done
