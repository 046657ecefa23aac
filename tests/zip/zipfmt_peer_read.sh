#!/usr/bin/env bash
# The directory reader against archives of real peers: Info-ZIP zip, 7z and Python's zipfile
# (names with umlauts and '€', comments, data descriptors of every form, data in front,
# 70,000 entries, an entry over 4 GiB, a truncated archive). The listing of zipfmt_tool is
# compared with what Python reads; archives written back by the reader are tested by peers.
# Usage: zipfmt_peer_read.sh TOOL_EXE SOURCE_DIR
set -uo pipefail
tool=$1
src=$2
py=/usr/bin/python3
peers="$src/tests/zip/zipfmt_peers.py"
work=$(mktemp -d /tmp/zipfmt_read.XXXXXX)
trap 'rm -rf "$work"' EXIT
export LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8 TZ=Europe/Berlin
fails=0

win() { printf 'Z:%s' "${1//\//\\}"; }
bad() { echo "FAIL: $*"; fails=$((fails + 1)); }
# list ARCHIVE OUT [OPTIONS]: the tool's listing (without the rc/comment lines in OUT.body).
list() {
  "$src/scripts/wine-run.sh" "$tool" list "$(win "$1")" "$(win "$2")" ${3:-0} >/dev/null 2>&1 ||
    bad "tool failed on $1"
  tail -n +3 "$2" > "$2.body"
}
# compare ARCHIVE: the tool's listing equals Python's, column by column.
compare() {
  local a=$1 name
  name=$(basename "$a")
  list "$a" "$work/$name.ours"
  if ! head -1 "$work/$name.ours" | grep -qx 'rc 0'; then
    bad "$name: $(head -1 "$work/$name.ours")"
    return
  fi
  "$py" "$peers" pylist "$a" > "$work/$name.py" || { bad "$name: python cannot list"; return; }
  # name usize csize crc offset method flags dos attr mtime
  cut -f1-9,12 "$work/$name.ours.body" > "$work/$name.cmp"
  if ! diff "$work/$name.py" "$work/$name.cmp" > "$work/$name.diff"; then
    bad "$name: listing differs from Python's"
    head -20 "$work/$name.diff"
  fi
}

mkdir -p "$work/src/Grüße/leer" "$work/src/Ordner"
printf 'hallo\n' > "$work/src/Müller.txt"
printf 'euro\n' > "$work/src/Preis 5€.txt"
printf 'x%.0s' $(seq 1 5000) > "$work/src/Grüße/ß.txt"
printf 'winter\n' > "$work/src/Ordner/winter.txt"
touch -d '2021-07-15 14:34:56' "$work/src/Müller.txt"
touch -d '2021-01-15 13:34:57' "$work/src/Ordner/winter.txt"

# Info-ZIP with a comment, 7z, Python.
(cd "$work/src" && echo "Kommentar: Grüße" | zip -q -r -z ../iz.zip .) || bad "zip failed"
(cd "$work/src" && 7z a -tzip ../7z.zip . >/dev/null) || bad "7z failed"
"$py" - "$work/src" "$work/py.zip" <<'EOF' || bad "python zip failed"
import os, sys, zipfile
root, out = sys.argv[1], sys.argv[2]
with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
    for base, dirs, files in os.walk(root):
        for d in dirs:
            z.write(os.path.join(base, d), os.path.relpath(os.path.join(base, d), root))
        for f in files:
            z.write(os.path.join(base, f), os.path.relpath(os.path.join(base, f), root))
    z.comment = "Python-Kommentar €".encode("utf-8")
EOF
"$py" "$peers" mkcp850 "$work/cp850.zip"
# Data descriptors: streamed by Info-ZIP, and hand-written 12- and 24-byte forms.
(cd "$work/src" && zip -q - "Müller.txt" "Grüße/ß.txt" | cat > ../stream.zip) || bad "zip - failed"
"$py" "$peers" mkdesc "$work/desc.zip"
# Data in front: as it comes (offsets off by the junk) and adjusted by zip -A.
head -c 3000 /dev/urandom > "$work/junk"
cat "$work/junk" "$work/iz.zip" > "$work/junk.zip"
cat "$work/junk" "$work/iz.zip" > "$work/junkA.zip" && zip -q -A "$work/junkA.zip" 2>/dev/null
"$py" "$peers" mkmany "$work/many.zip" 70000
"$py" "$peers" mkbig "$work/big.zip"

for a in iz 7z py cp850 stream desc junk junkA many big; do compare "$work/$a.zip"; done

# Comments.
list "$work/iz.zip" "$work/c1"
grep -qx 'comment Kommentar: Grüße' "$work/c1" || bad "Info-ZIP comment: $(sed -n 2p "$work/c1")"
list "$work/py.zip" "$work/c2"
grep -qx 'comment Python-Kommentar €' "$work/c2" || bad "Python comment: $(sed -n 2p "$work/c2")"
list "$work/cp850.zip" "$work/c3"
grep -qx 'comment Frohe Weihnachten, Grüße' "$work/c3" || bad "cp850 comment: $(sed -n 2p "$work/c3")"
grep -q '^Grüße/Müller.txt	' "$work/c3.body" || bad "cp850 names not decoded"

# Descriptor sizes and times in summer and winter.
list "$work/desc.zip" "$work/d"
[ "$(cut -f11 "$work/d.body" | tr '\n' ' ')" = "12 24 16 " ] || bad "descriptor sizes: $(cut -f11 "$work/d.body" | tr '\n' ' ')"
list "$work/stream.zip" "$work/s"
grep -q $'^Müller.txt\t6\t' "$work/s.body" || bad "streamed entry sizes"
list "$work/iz.zip" "$work/t"
grep -q $'^Müller.txt\t.*\t2021-07-15 14:34:56\t.*\t1626352496\t' "$work/t.body" || bad "summer time: $(grep Müller "$work/t.body")"
grep -q $'^Ordner/winter.txt\t.*\t2021-01-15 13:34:58\t.*\t1610714097\t' "$work/t.body" || bad "winter time: $(grep winter "$work/t.body")"
list "$work/big.zip" "$work/b"
grep -q $'^gross.bin\t5368709120\t5368709120\t' "$work/b.body" || bad "5 GiB entry: $(head -1 "$work/b.body")"

# Truncated: refused strictly, recovered when tolerant.
size=$(stat -c %s "$work/iz.zip")
head -c $((size - 60)) "$work/iz.zip" > "$work/cut.zip"
list "$work/cut.zip" "$work/cut"
head -1 "$work/cut" | grep -qx 'rc 3' || bad "truncated archive read strictly: $(head -1 "$work/cut")"
list "$work/cut.zip" "$work/cutT" 0x20
head -1 "$work/cutT" | grep -qx 'rc 0' || bad "truncated archive read tolerantly: $(head -1 "$work/cutT")"
list "$work/iz.zip" "$work/full"
if ! diff <(cut -f1-6 "$work/full.body" | sort) <(cut -f1-6 "$work/cutT.body" | sort) >/dev/null; then
  bad "recovered entries differ from the full archive's"
  diff <(cut -f1-6 "$work/full.body" | sort) <(cut -f1-6 "$work/cutT.body" | sort) | head
fi
head -c 2000 "$work/stream.zip" > "$work/cutS.zip"
list "$work/cutS.zip" "$work/cutS" 0x20
grep -q $'^Müller.txt\t6\t' "$work/cutS.body" || bad "streamed entry not recovered"

# Written back by the reader: the directory is rebuilt from the table; peers accept it.
for a in iz 7z py cp850 stream desc many; do
  cp "$work/$a.zip" "$work/re-$a.zip"
  "$src/scripts/wine-run.sh" "$tool" rewrite "$(win "$work/re-$a.zip")" >/dev/null 2>&1 || { bad "rewrite $a"; continue; }
  unzip -tqq "$work/re-$a.zip" >/dev/null 2>&1 || bad "unzip -t rejects rewritten $a"
  7z t "$work/re-$a.zip" >/dev/null 2>&1 || bad "7z t rejects rewritten $a"
  "$py" -c "import zipfile,sys; z=zipfile.ZipFile(sys.argv[1]); sys.exit(z.testzip() is not None)" "$work/re-$a.zip" ||
    bad "python rejects rewritten $a"
  list "$work/re-$a.zip" "$work/re-$a"
  if ! diff <(cut -f1-9 "$work/$a.zip.ours.body") <(cut -f1-9 "$work/re-$a.body") >/dev/null; then
    bad "rewritten $a lists differently"
    diff <(cut -f1-9 "$work/$a.zip.ours.body") <(cut -f1-9 "$work/re-$a.body") | head -5
  fi
done

[ $fails = 0 ] && echo "all peer reads passed"
exit $((fails > 0))
