#!/usr/bin/env bash
# Headers and directories written by zipfmt_tool, checked by Python's zipfile (names, flags,
# extra fields, times, attributes, versions byte by byte), Info-ZIP unzip/zipinfo and 7z:
# code page 850 and UTF-8 names, summer and winter times, a 5 GiB entry with an entry behind
# it beyond 4 GiB, and 70,000 entries (Zip64 end records).
# Usage: zipfmt_peer_write.sh TOOL_EXE SOURCE_DIR
set -uo pipefail
tool=$1
src=$2
py=/usr/bin/python3
peers="$src/tests/zip/zipfmt_peers.py"
work=$(mktemp -d /tmp/zipfmt_write.XXXXXX)
trap 'rm -rf "$work"' EXIT
export LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8 TZ=Europe/Berlin
fails=0

win() { printf 'Z:%s' "${1//\//\\}"; }
bad() { echo "FAIL: $*"; fails=$((fails + 1)); }
write() {  # write ARCHIVE ENTRIES
  "$src/scripts/wine-run.sh" "$tool" write "$(win "$1")" "$(win "$2")" >"$work/tool.out" 2>&1 ||
    { bad "tool cannot write $1: $(cat "$work/tool.out")"; return 1; }
}
has() {  # has FILE TEXT WHAT
  grep -qF -- "$2" "$1" || bad "$3: '$2' missing"
}

# Names, times, attributes, a folder and a comment.
T=$'\t'
cat > "$work/names.entries" <<EOF
Müller.txt${T}text${T}Sommer${T}1626352496${T}20
Preis 5€.txt${T}text${T}Winter und Euro${T}1610714097${T}21
ßä.txt${T}text${T}zwei Bytes wie UTF-8${T}1626352496${T}20
Grüße${T}dir${T}${T}1626352496${T}0
Grüße/versteckt.txt${T}text${T}h${T}1616895000${T}22
alt.txt${T}text${T}vor 1980${T}100000000${T}20
#comment${T}Kommentar mit Grüßen
EOF
if write "$work/names.zip" "$work/names.entries"; then
  "$py" "$peers" checkwritten "$work/names.zip" "$work/names.entries" || bad "python finds names.zip wrong"
  unzip -tq "$work/names.zip" >"$work/t.out" 2>&1 || { bad "unzip -t names.zip"; cat "$work/t.out"; }
  zipinfo -v "$work/names.zip" >"$work/zi.out" 2>&1 || bad "zipinfo -v names.zip"
  has "$work/zi.out" "file system or operating system of origin:      NTFS" "zipinfo"
  has "$work/zi.out" "extended local header:                          no" "zipinfo"
  has "$work/zi.out" "minimum software version required to extract:   1.0" "zipinfo"
  has "$work/zi.out" "The central-directory extra field contains:" "zipinfo"
  has "$work/zi.out" "universal time" "zipinfo"
  has "$work/zi.out" "NTFS" "zipinfo"
  has "$work/zi.out" "Kommentar mit Gr" "zipinfo"
  has "$work/zi.out" "apparent file type:                             binary" "zipinfo"
  7z l -slt "$work/names.zip" >"$work/7z.out" 2>&1 || bad "7z l names.zip"
  has "$work/7z.out" "Path = Preis 5€.txt" "7z"
  has "$work/7z.out" "Path = ßä.txt" "7z"
  has "$work/7z.out" "Attributes = HA" "7z"
  has "$work/7z.out" "Attributes = RA" "7z"
  7z t "$work/names.zip" >/dev/null 2>&1 || bad "7z t names.zip"
  # The flag-less names reach 7z as the code page 850 bytes written.
  has "$work/7z.out" "$(printf 'Path = M\x81ller.txt')" "7z"
  has "$work/7z.out" "$(printf 'Path = Gr\x81\xe1e/versteckt.txt')" "7z"
fi

# A 5 GiB entry (its data a hole) and a small one behind it, beyond 4 GiB.
cat > "$work/big.entries" <<EOF
gross.bin${T}sparse${T}5368709120${T}1626352496${T}20
klein.txt${T}text${T}hinter der Grenze${T}1610714096${T}20
EOF
if write "$work/big.zip" "$work/big.entries"; then
  "$py" "$peers" checkwritten "$work/big.zip" "$work/big.entries" || bad "python finds big.zip wrong"
  unzip -l "$work/big.zip" >"$work/bl.out" 2>&1 || { bad "unzip -l big.zip"; cat "$work/bl.out"; }
  has "$work/bl.out" "5368709120" "unzip -l big.zip"
  unzip -p "$work/big.zip" klein.txt >"$work/klein.out" 2>&1
  [ "$(cat "$work/klein.out")" = "hinter der Grenze" ] || bad "unzip cannot extract the entry beyond 4 GiB: $(head -c 200 "$work/klein.out")"
  zipinfo -v "$work/big.zip" >"$work/bz.out" 2>&1 || bad "zipinfo -v big.zip"
  has "$work/bz.out" "minimum software version required to extract:   4.5" "zipinfo big"
  has "$work/bz.out" "offset of local header from start of archive:   5368709179" "zipinfo big"
  7z l -slt "$work/big.zip" >"$work/b7.out" 2>&1 || bad "7z l big.zip"
  has "$work/b7.out" "Size = 5368709120" "7z big"
  "$py" - "$work/big.zip" <<'EOF' || bad "python cannot read the entry beyond 4 GiB"
import sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
assert z.read("klein.txt") == b"hinter der Grenze"
assert z.getinfo("klein.txt").header_offset > 0xFFFFFFFF
EOF
fi

# 70,000 entries: Zip64 end record and locator.
awk -v T="$T" 'BEGIN { for (i = 0; i < 70000; i++) printf "d%02d/f%05d.txt%stext%s%d%s1626352496%s20\n", i % 50, i, T, T, i, T, T }' > "$work/many.entries"
if write "$work/many.zip" "$work/many.entries"; then
  unzip -l "$work/many.zip" >"$work/ml.out" 2>&1 || { bad "unzip -l many.zip"; tail -3 "$work/ml.out"; }
  tail -1 "$work/ml.out" | grep -q "70000 files" || bad "unzip -l many.zip: $(tail -1 "$work/ml.out")"
  unzip -tqq "$work/many.zip" >/dev/null 2>&1 || bad "unzip -t many.zip"
  7z t "$work/many.zip" >"$work/m7.out" 2>&1 || bad "7z t many.zip"
  has "$work/m7.out" "Files: 70000" "7z t many"
  "$py" -c "import zipfile,sys; z=zipfile.ZipFile(sys.argv[1]); n=len(z.infolist()); sys.exit(0 if n == 70000 else 'python sees %d' % n)" "$work/many.zip" || bad "python count"
fi

[ $fails = 0 ] && echo "all peer writes passed"
exit $((fails > 0))
