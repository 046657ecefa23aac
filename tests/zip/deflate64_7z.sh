#!/usr/bin/env bash
# Deflate64 entries written by 7-Zip (-mx=9) for files with repeats farther than 32 KiB
# decode byte-exact with our decoder. Argument: the deflate64_tool executable.
set -u
tool=$1
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# Inputs: far repeats in text, far repeats in binary records, long runs, several MB of mix.
/usr/bin/python3 - "$tmp" <<'PY'
import random, sys, os
out = sys.argv[1]
r = random.Random(64)
vocab = [''.join(r.choice('abcdefghijklmnopqrstuvwxyzäöü') for _ in range(r.randint(2, 10))) for _ in range(4000)]
def text(n):
    return ' '.join(r.choice(vocab) for _ in range(n // 6)).encode('cp1252')[:n]
blk = text(45000)
noise = bytes(r.getrandbits(8) for _ in range(20000))
open(os.path.join(out, 'far_text.txt'), 'wb').write(blk + text(30000) + blk + noise + blk[5000:40000] * 3 + blk)
rec = bytes(r.getrandbits(8) for _ in range(50000))
open(os.path.join(out, 'far_binary.bin'), 'wb').write((rec + bytes(15000)) * 6 + text(20000))
open(os.path.join(out, 'long_runs.bin'), 'wb').write(b'A' * 200000 + text(40000) + b'\0' * 150000 + blk)
big = bytearray()
while len(big) < 3_000_000:
    k = r.randint(0, 3)
    big += text(r.randint(2000, 60000)) if k < 2 else (blk if k == 2 else noise[:r.randint(100, 20000)])
open(os.path.join(out, 'mixed_3mb.txt'), 'wb').write(bytes(big))
PY

# The raw data of the first entry: method, then the bytes behind the local header.
extract() {
  /usr/bin/python3 - "$1" "$2" <<'PY'
import struct, sys
d = open(sys.argv[1], 'rb').read()
assert d[:4] == b'PK\x03\x04', 'no local header'
flags, method, csize, nlen, xlen = struct.unpack('<xxHHxxxxxxxxIxxxxHH', d[4:30])
off = 30 + nlen + xlen
open(sys.argv[2], 'wb').write(d[off:off + csize])
print(method)
PY
}

fail=0
for name in far_text.txt far_binary.bin long_runs.bin mixed_3mb.txt; do
  src=$tmp/$name
  (cd "$tmp" && 7z a -tzip -mm=Deflate64 -mx=9 "$name.zip" "$name" >/dev/null) || { echo "7z failed for $name"; fail=1; continue; }
  method=$(extract "$tmp/$name.zip" "$tmp/$name.d64")
  if [ "$method" != 9 ]; then echo "$name: 7z wrote method $method, not Deflate64"; fail=1; continue; fi
  if ! "$root/scripts/wine-run.sh" "$tool" "$(winpath "$tmp/$name.d64")" "$(winpath "$tmp/$name.out")"; then
    echo "$name: decoder failed"; fail=1; continue
  fi
  if cmp "$src" "$tmp/$name.out"; then echo "$name: ok ($(stat -c %s "$tmp/$name.d64") -> $(stat -c %s "$src") bytes)"; else fail=1; fi
done
exit $fail
