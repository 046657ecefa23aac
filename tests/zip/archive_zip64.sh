#!/usr/bin/env bash
# SLOW (about two minutes, some 6 GB of disk for a moment): Zip64 archives written by
# archive_tool (CZipFile), checked by Info-ZIP, 7z and Python's zipfile:
#  - a 5 GiB entry (a sparse file) deflated, with a small entry behind it;
#  - a stored 5 GiB entry: an archive over 4 GiB whose last entry starts beyond 4 GiB;
#  - 70,000 entries (Zip64 end records);
#  - deleting from an archive over 256 MiB moves the kept data in chunks, not in a mapping.
# Usage: archive_zip64.sh TOOL_EXE SOURCE_DIR
set -uo pipefail
tool=$1
src=$2
py=/usr/bin/python3
work=$(mktemp -d /tmp/archive_zip64.XXXXXX)
trap 'rm -rf "$work"' EXIT
export LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8 TZ=Europe/Berlin
fails=0

win() { printf 'Z:%s' "${1//\//\\}"; }
bad() { echo "FAIL: $*"; fails=$((fails + 1)); }
run() { "$src/scripts/wine-run.sh" "$tool" "$@" >"$work/tool.out" 2>&1; }
has() { grep -qaF -- "$2" "$1" || bad "$3: '$2' missing"; }

# Python: every entry's size and CRC, the offset of the last entry, the small entry's bytes.
py_check() {  # py_check ZIP COUNT
  "$py" - "$1" "$2" <<'PY' || bad "python finds $1 wrong"
import sys, zipfile, zlib
z = zipfile.ZipFile(sys.argv[1])
infos = z.infolist()
assert len(infos) == int(sys.argv[2]), len(infos)
big = z.getinfo("gross.bin")
assert big.file_size == 5 << 30, big.file_size
crc, left = 0, big.file_size
with z.open(big) as f:
    while True:
        block = f.read(1 << 24)
        if not block:
            break
        crc = zlib.crc32(block, crc)
assert crc == big.CRC
assert z.read("klein.txt") == b"hinter der Grenze\n"
PY
}

big=$work/big
mkdir -p "$big"
truncate -s 5G "$big/gross.bin"
echo "hinter der Grenze" >"$big/klein.txt"
touch -d '2021-07-15 16:34:56' "$big/gross.bin" "$big/klein.txt"

# A 5 GiB entry, deflated: its local header reserves the Zip64 sizes before the data.
zip=$work/deflated.zip
if run pack "$(win "$zip")" deflate 1 "" "$(win "$big/gross.bin")" "$(win "$big/klein.txt")"; then
  unzip -tq "$zip" >"$work/u.out" 2>&1 || { bad "unzip -t deflated.zip"; cat "$work/u.out"; }
  7z t "$zip" >"$work/7.out" 2>&1 || { bad "7z t deflated.zip"; tail -5 "$work/7.out"; }
  has "$work/7.out" "Size:       5368709138" "7z t deflated"
  py_check "$zip" 2
  zipinfo -v "$zip" >"$work/zi.out" 2>&1
  has "$work/zi.out" "minimum software version required to extract:   4.5" "zipinfo deflated"
  has "$work/zi.out" "uncompressed size:                              5368709120 bytes" "zipinfo deflated"
  has "$work/zi.out" "compression method:                             deflated" "zipinfo deflated"
  run test "$(win "$zip")" || bad "archive_tool test deflated.zip: $(cat "$work/tool.out")"
else
  bad "pack deflated.zip: $(cat "$work/tool.out")"
fi
rm -f "$zip"

# Stored: the archive passes 4 GiB and the small entry lies behind the limit.
zip=$work/stored.zip
if run pack "$(win "$zip")" store 0 "" "$(win "$big/gross.bin")" "$(win "$big/klein.txt")"; then
  size=$(stat -c %s "$zip")
  [ "$size" -gt 4294967296 ] || bad "stored.zip has only $size bytes"
  unzip -tq "$zip" >"$work/u.out" 2>&1 || { bad "unzip -t stored.zip"; cat "$work/u.out"; }
  [ "$(unzip -p "$zip" klein.txt)" = "hinter der Grenze" ] || bad "unzip cannot extract the entry beyond 4 GiB"
  7z t "$zip" >"$work/7.out" 2>&1 || { bad "7z t stored.zip"; tail -5 "$work/7.out"; }
  7z l -slt "$zip" >"$work/7l.out" 2>&1
  has "$work/7l.out" "Size = 5368709120" "7z l stored"
  has "$work/7l.out" "Offset = 5368709" "7z l stored (offset beyond 4 GiB)"
  py_check "$zip" 2
  zipinfo -v "$zip" >"$work/zi.out" 2>&1
  has "$work/zi.out" "offset of local header from start of archive:   53687" "zipinfo stored"
  run test "$(win "$zip")" || bad "archive_tool test stored.zip: $(cat "$work/tool.out")"
else
  bad "pack stored.zip: $(cat "$work/tool.out")"
fi
rm -f "$zip"
rm -f "$big/gross.bin"

# 70,000 entries.
zip=$work/many.zip
if run many "$(win "$zip")" 70000; then
  unzip -l "$zip" >"$work/ml.out" 2>&1 || bad "unzip -l many.zip"
  tail -1 "$work/ml.out" | grep -q "70000 files" || bad "unzip -l many.zip: $(tail -1 "$work/ml.out")"
  unzip -tqq "$zip" >/dev/null 2>&1 || bad "unzip -t many.zip"
  7z t "$zip" >"$work/m7.out" 2>&1 || bad "7z t many.zip"
  has "$work/m7.out" "Files: 70000" "7z t many"
  "$py" -c "
import sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
assert len(z.infolist()) == 70000
assert z.testzip() is None
assert z.read('d19/f69969.txt') == b'Eintrag 69969\n'
" "$zip" || bad "python: many.zip"
  run test "$(win "$zip")" || bad "archive_tool test many.zip: $(tail -2 "$work/tool.out")"
else
  bad "many: $(cat "$work/tool.out")"
fi
rm -f "$zip"

# Over 256 MiB: deleting the first entry moves the rest in chunks.
mid=$work/mid
mkdir -p "$mid"
seq 1 200000 >"$mid/a.txt"
head -c 300000000 /dev/zero | tr '\0' 'x' >"$mid/b.bin"
seq 1 1000 >"$mid/c.txt"
zip=$work/mid.zip
if run pack "$(win "$zip")" store 0 "" "$(win "$mid")"; then
  run delete "$(win "$zip")" a.txt || bad "delete from mid.zip: $(cat "$work/tool.out")"
  unzip -tq "$zip" >/dev/null 2>&1 || bad "unzip -t mid.zip after the delete"
  7z t "$zip" >/dev/null 2>&1 || bad "7z t mid.zip after the delete"
  [ "$(unzip -Z1 "$zip" | sort | tr '\n' ' ')" = "b.bin c.txt " ] || bad "mid.zip names: $(unzip -Z1 "$zip")"
  cmp -s <(unzip -p "$zip" c.txt) "$mid/c.txt" || bad "mid.zip: c.txt differs"
  ls "$work" | grep -q '^AF_' && bad "temporary file left beside mid.zip"
else
  bad "pack mid.zip: $(cat "$work/tool.out")"
fi

[ $fails = 0 ] && echo "all Zip64 checks passed"
exit $((fails > 0))
