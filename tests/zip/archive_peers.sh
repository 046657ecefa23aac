#!/usr/bin/env bash
# Archives written by archive_tool (CZipFile) with every method, checked by Info-ZIP (unzip -t,
# zipinfo -v), 7z (t, l -slt) and Python's zipfile: names, sizes, times, attributes, methods and
# data; updates that add and delete; an empty file list. Archives of 7z and Info-ZIP extracted
# and tested by archive_tool and compared with their sources.
# Usage: archive_peers.sh TOOL_EXE SOURCE_DIR
set -uo pipefail
tool=$1
src=$2
py=/usr/bin/python3
peers="$src/tests/zip/archive_peers.py"
work=$(mktemp -d /tmp/archive_peers.XXXXXX)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
export LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8 TZ=Europe/Berlin
fails=0

win() { printf 'Z:%s' "${1//\//\\}"; }
bad() { echo "FAIL: $*"; fails=$((fails + 1)); }
run() {  # run ARGS... : the tool under Wine, output in $work/tool.out
  "$src/scripts/wine-run.sh" "$tool" "$@" >"$work/tool.out" 2>&1
}

# The tree: text of several sizes, noise, empty, archive suffixes, read-only, hidden,
# code page 850 and UTF-8 names, summer, winter, odd-second and pre-1980 times, sub-folders.
tree=$work/tree
mkdir -p "$tree/Unterordner/tiefer" "$tree/leer"
seq 1 40000 | sed 's/^/Zeile /' >"$tree/gross.txt"
seq 1 300 | sed 's/^/kurz /' >"$tree/klein.txt"
head -c 70000 /dev/urandom >"$tree/rauschen.bin"
: >"$tree/leer.txt"
seq 1 2000 >"$tree/innen.zip"
seq 1 2000 >"$tree/Archiv.7Z"
seq 1 2000 >"$tree/x.gz"
printf 'Grüße aus Köln\n%.0s' $(seq 1 200) >"$tree/Müller.txt"
printf 'Preis: 5 €\n%.0s' $(seq 1 100) >"$tree/Preis 5€.txt"
seq 1 500 >"$tree/.versteckt"
seq 1 3000 >"$tree/Unterordner/schreibgeschützt.txt"
seq 1 9000 >"$tree/Unterordner/tiefer/daten.csv"
touch -d '2021-07-15 16:34:57' "$tree/gross.txt"
touch -d '2021-01-15 08:00:00' "$tree/klein.txt"
touch -d '1975-05-01 12:00:00' "$tree/rauschen.bin"
touch -d '2020-02-29 23:59:59' "$tree/Unterordner/tiefer/daten.csv"
chmod a-w "$tree/Unterordner/schreibgeschützt.txt"

knows_unzip() { case $1 in store|default|deflate|bzip2) return 0 ;; *) return 1 ;; esac; }
method_no() { case $1 in store) echo 0 ;; default) echo -1 ;; deflate) echo 8 ;; bzip2) echo 12 ;; lzma) echo 14 ;; xz) echo 95 ;; ppmd) echo 98 ;; esac; }

check_archive() {  # check_archive ZIP METHOD PREFIX LABEL
  local zip=$1 method=$2 prefix=$3 label=$4
  if knows_unzip "$method"; then
    unzip -tq "$zip" >"$work/u.out" 2>&1 || { bad "$label: unzip -t"; cat "$work/u.out"; }
  fi
  7z t "$zip" >"$work/7.out" 2>&1 || { bad "$label: 7z t"; tail -5 "$work/7.out"; }
  "$py" "$peers" check "$zip" "$tree" "$prefix" "$(method_no "$method")" || bad "$label: python/zipinfo/7z l check"
}

for run in store default deflate:1 deflate:6 deflate:9 bzip2:9 lzma:5 xz:6 ppmd:6; do
  method=${run%%:*}
  level=${run#*:}
  [ "$level" = "$run" ] && level=9
  zip=$work/$method$level.zip
  if run pack "$(win "$zip")" "$method" "$level" "" "$(win "$tree")"; then
    check_archive "$zip" "$method" "" "$run"
  else
    bad "$run: pack failed: $(cat "$work/tool.out")"
  fi
  # Our own reader agrees.
  run test "$(win "$zip")" || bad "$run: archive_tool test: $(cat "$work/tool.out")"
done

# The application's road: one AddFiles per file, under a prefix.
zip=$work/road.zip
files=()
while IFS= read -r -d '' f; do files+=("$(win "$f")"); done < <(find "$tree" -type f -print0)
if run pack "$(win "$zip")" default 9 'Ausgang\Pfad' "${files[@]}"; then
  # Each file goes in under the prefix by its name alone: check against a flat copy.
  flat=$work/flat
  mkdir -p "$flat"
  find "$tree" -type f -exec cp -p {} "$flat/" \;
  chmod a-w "$flat/schreibgeschützt.txt"
  tree_saved=$tree
  tree=$flat
  check_archive "$zip" default "Ausgang/Pfad" "road"
  tree=$tree_saved
else
  bad "road: pack failed: $(cat "$work/tool.out")"
fi

# An empty list gives an archive of just the end record and the library comment.
zip=$work/empty.zip
if run pack "$(win "$zip")" default 9 "" "$(win "$tree/leer")"; then
  [ "$(stat -c %s "$zip")" = 45 ] || bad "empty archive has $(stat -c %s "$zip") bytes"
  7z t "$zip" >/dev/null 2>&1 || bad "7z t empty.zip"
  unzip -tq "$zip" >"$work/u.out" 2>&1
  grep -q 'zipfile is empty' "$work/u.out" || bad "unzip does not see an empty archive: $(cat "$work/u.out")"
  "$py" -c "import zipfile,sys; z=zipfile.ZipFile(sys.argv[1]); sys.exit(len(z.infolist()) or z.comment != b'Erstellt mit Vellmorant')" "$zip" || bad "python: empty.zip"
else
  bad "empty: pack failed: $(cat "$work/tool.out")"
fi

# Updating keeps the entries: delete two, add one, and the peers still agree.
zip=$work/default9.zip
cp "$zip" "$work/before.zip"
run delete "$(win "$zip")" klein.txt "Unterordner/tiefer/daten.csv" || bad "delete: $(cat "$work/tool.out")"
run add "$(win "$zip")" "$(win "$tree/klein.txt")" "neu/klein.txt" || bad "add: $(cat "$work/tool.out")"
unzip -tq "$zip" >/dev/null 2>&1 || bad "unzip -t after the update"
7z t "$zip" >/dev/null 2>&1 || bad "7z t after the update"
unzip -Z1 "$zip" | sort >"$work/names.after"
unzip -Z1 "$work/before.zip" | grep -a -v -e '^klein.txt$' -e '^Unterordner/tiefer/daten.csv$' >"$work/names.want"
echo "neu/klein.txt" >>"$work/names.want"
sort -o "$work/names.want" "$work/names.want"
cmp -s "$work/names.after" "$work/names.want" || { bad "names after the update"; diff "$work/names.want" "$work/names.after"; }
[ "$(unzip -p "$zip" neu/klein.txt | md5sum)" = "$(md5sum <"$tree/klein.txt")" ] || bad "added file differs"
[ "$(unzip -p "$zip" gross.txt | md5sum)" = "$(md5sum <"$tree/gross.txt")" ] || bad "kept file differs after the update"
ls "$work" | grep -q '^AF_' && bad "temporary file left after the update"

# Archives of 7z with every method it writes, and of Info-ZIP (also with data descriptors),
# extracted by archive_tool and compared file by file, times included.
compare_tree() {  # compare_tree FROM TO LABEL
  local from=$1 to=$2 label=$3
  diff -r "$from" "$to" >"$work/d.out" 2>&1 || { bad "$label: extracted files differ"; head -5 "$work/d.out"; }
  (cd "$from" && find . -type f -printf '%P\n') | while IFS= read -r f; do
    a=$(stat -c %Y "$from/$f")
    b=$(stat -c %Y "$to/$f")
    [ $((a - b)) -le 2 ] && [ $((b - a)) -le 2 ] || echo "$label: time of $f: $b, source $a"
  done >"$work/t.out"
  [ -s "$work/t.out" ] && { bad "$(head -3 "$work/t.out")"; }
  case $(stat -c %A "$to/Unterordner/schreibgeschützt.txt") in
    *w*) bad "$label: read-only file came out writable" ;;
  esac
  return 0
}
for m in Copy Deflate Deflate64 BZip2 LZMA PPMd xz; do
  zip=$work/7z-$m.zip
  (cd "$tree" && 7z a -tzip -mm=$m "$zip" . >/dev/null 2>&1) || { bad "7z cannot write $m"; continue; }
  run test "$(win "$zip")" || bad "7z $m: archive_tool test: $(cat "$work/tool.out")"
  out=$work/out-$m
  mkdir -p "$out"
  run extract "$(win "$zip")" "$(win "$out")" || bad "7z $m: extract: $(cat "$work/tool.out")"
  rmdir "$out/leer" 2>/dev/null
  mkdir -p "$out/leer"
  compare_tree "$tree" "$out" "7z $m"
done
zip=$work/infozip.zip
(cd "$tree" && zip -qr "$zip" .) || bad "zip cannot write"
run test "$(win "$zip")" || bad "Info-ZIP: archive_tool test: $(cat "$work/tool.out")"
out=$work/out-infozip
mkdir -p "$out"
run extract "$(win "$zip")" "$(win "$out")" || bad "Info-ZIP: extract: $(cat "$work/tool.out")"
compare_tree "$tree" "$out" "Info-ZIP"
# Data descriptors: zip writing to a pipe.
(cd "$tree" && zip -q - gross.txt klein.txt | cat >"$work/stream.zip")
run test "$(win "$work/stream.zip")" || bad "streamed zip: archive_tool test: $(cat "$work/tool.out")"

# A damaged archive gives the archive's error text, not a crash.
head -c 5000 "$work/default9.zip" >"$work/cut.zip"
run test "$(win "$work/cut.zip")"
rc=$?
[ $rc = 3 ] || bad "cut archive: exit $rc, want 3"
grep -q 'hat ein ungültiges Format' "$work/tool.out" || bad "cut archive: $(cat "$work/tool.out")"

[ $fails = 0 ] && echo "all archive peer checks passed"
exit $((fails > 0))
