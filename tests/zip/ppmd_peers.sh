#!/usr/bin/env bash
# PPMd (zip method 98) against its peers: streams of 7-Zip at several orders and memory sizes
# (cut-off restoration included) decode byte-exact; our streams at every level decode with
# Python's ppmd module and pass "7z t" inside a minimal zip. Argument: the ppmd_tool executable.
set -u
tool=$1
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
winpath() { printf 'Z:%s' "${1//\//\\}"; }
run_tool() { "$root/scripts/wine-run.sh" "$tool" "$@"; }

# Varied text: words, numbers, source-like lines, tables, some binary; 4 MB and a 300 KB cut.
/usr/bin/python3 - "$tmp" <<'PY'
import random, sys, os
out = sys.argv[1]
r = random.Random(98)
vocab = [''.join(r.choice('abcdefghijklmnopqrstuvwxyzäöüß') for _ in range(r.randint(1, 12))) for _ in range(20000)]
parts = []
size = 0
while size < 4_000_000:
    k = r.randint(0, 9)
    if k < 4:
        s = ' '.join(r.choice(vocab) for _ in range(r.randint(50, 2000))) + '\n'
    elif k < 6:
        s = ''.join('%s(%d, 0x%X);\n' % (r.choice(vocab), r.randint(0, 10**6), r.getrandbits(32)) for _ in range(r.randint(20, 400)))
    elif k < 8:
        s = ''.join('%-12s|%10d|%8.3f\r\n' % (r.choice(vocab), r.randint(-10**5, 10**5), r.random() * 1000) for _ in range(r.randint(20, 300)))
    elif k < 9:
        s = bytes(r.getrandbits(8) for _ in range(r.randint(100, 3000))).decode('latin-1')
    else:
        s = parts[r.randrange(len(parts))] if parts else 'x'
    parts.append(s)
    size += len(s)
data = ''.join(parts).encode('cp1252', 'replace')[:4_000_000]
open(os.path.join(out, 'text4m.txt'), 'wb').write(data)
open(os.path.join(out, 'text300k.txt'), 'wb').write(data[1_000_000:1_300_000])
PY

fail=0
# 7-Zip's entries: raw data (properties word first) behind the local header.
restores=""
for opts in "-mx=5 -mo=2 -mmem=1m" "-mx=9 -mo=6 -mmem=1m" "-mx=9 -mo=16 -mmem=2m" "-mx=5 -mo=8 -mmem=16m" \
            "-mx=9 -mo=4 -mmem=3m" "-mx=3 -mo=12 -mmem=1m"; do
  rm -f "$tmp/7z.zip"
  (cd "$tmp" && 7z a -tzip -mm=PPMd $opts 7z.zip text4m.txt >/dev/null) || { echo "7z failed: $opts"; fail=1; continue; }
  info=$(/usr/bin/python3 - "$tmp/7z.zip" "$tmp/7z.raw" <<'PY'
import struct, sys
d = open(sys.argv[1], 'rb').read()
assert d[:4] == b'PK\x03\x04'
method, csize, nlen, xlen = struct.unpack('<xxxxHxxxxxxxxIxxxxHH', d[4:30])
raw = d[30 + nlen + xlen:30 + nlen + xlen + csize]
open(sys.argv[2], 'wb').write(raw)
w = raw[0] | raw[1] << 8
print(method, (w & 15) + 1, ((w >> 4) & 255) + 1, (w >> 12) & 3)
PY
)
  set -- $info
  if [ "$1" != 98 ]; then echo "$opts: 7z wrote method $1"; fail=1; continue; fi
  restores="$restores $4"
  if run_tool d "$(winpath "$tmp/7z.raw")" "$(winpath "$tmp/7z.out")" >/dev/null && cmp "$tmp/text4m.txt" "$tmp/7z.out"; then
    echo "7z $opts (order $2, $3 MiB, restore $4): ok"
  else
    echo "7z $opts: decoding failed"; fail=1
  fi
done
case "$restores" in *1*) ;; *) echo "no cut-off stream was tested"; fail=1 ;; esac

# Our streams at every level.
zipit() {
  /usr/bin/python3 - "$1" "$2" "$3" <<'PY'
import struct, sys, zlib
plain = open(sys.argv[1], 'rb').read()
data = open(sys.argv[2], 'rb').read()
name = b'text.txt'
crc = zlib.crc32(plain) & 0xFFFFFFFF
local = struct.pack('<IHHHHHIIIHH', 0x04034B50, 63, 0, 98, 0, 0x5A21, crc, len(data), len(plain), len(name), 0) + name
central = struct.pack('<IHHHHHHIIIHHHHHII', 0x02014B50, 63, 63, 0, 98, 0, 0x5A21, crc, len(data), len(plain),
                      len(name), 0, 0, 0, 0, 0, 0) + name
end = struct.pack('<IHHHHIIH', 0x06054B50, 0, 0, 1, 1, len(central), len(local) + len(data), 0)
open(sys.argv[3], 'wb').write(local + data + central + end)
PY
}
for level in 1 2 3 4 5 6 7; do
  src=$tmp/text300k.txt
  if ! run_tool c $level "$(winpath "$src")" "$(winpath "$tmp/our.raw")" >/dev/null; then
    echo "level $level: compression failed"; fail=1; continue
  fi
  if ! /usr/bin/python3 - "$tmp/our.raw" "$src" <<'PY'
import io, sys, ppmd
raw = open(sys.argv[1], 'rb').read()
plain = open(sys.argv[2], 'rb').read()
w = raw[0] | raw[1] << 8
d = ppmd.Ppmd8Decoder(io.BytesIO(raw[2:]), (w & 15) + 1, (((w >> 4) & 255) + 1) << 20, (w >> 12) & 3)
out = d.decode(len(plain) + 1)
d.close()
sys.exit(0 if out == plain else 1)
PY
  then echo "level $level: python's decoder disagrees"; fail=1; fi
  zipit "$src" "$tmp/our.raw" "$tmp/our.zip"
  if 7z t "$tmp/our.zip" | grep -q 'Everything is Ok'; then echo "level $level: python and 7z t ok"; else echo "level $level: 7z t failed"; fail=1; fi
done
# A large file through our codec both ways, checked by 7z.
run_tool c 7 "$(winpath "$tmp/text4m.txt")" "$(winpath "$tmp/big.raw")" >/dev/null || fail=1
zipit "$tmp/text4m.txt" "$tmp/big.raw" "$tmp/big.zip"
7z t "$tmp/big.zip" | grep -q 'Everything is Ok' || { echo "4 MB at level 7: 7z t failed"; fail=1; }
run_tool d "$(winpath "$tmp/big.raw")" "$(winpath "$tmp/big.out")" >/dev/null && cmp "$tmp/text4m.txt" "$tmp/big.out" \
  || { echo "4 MB at level 7: round trip failed"; fail=1; }
exit $fail
