#!/usr/bin/env bash
# Interop of the library codecs with real peers: Python's zlib, bz2 and lzma, 7z, Info-ZIP.
# Usage: libcodec_interop.sh TOOL_EXE SOURCE_DIR
set -uo pipefail
tool=$1
src=$2
py=/usr/bin/python3
peers="$src/tests/zip/libcodec_peers.py"
work=$(mktemp -d /tmp/libcodec.XXXXXX)
trap 'rm -rf "$work"' EXIT
fails=0
passes=0

win() { printf 'Z:%s' "${1//\//\\}"; }
# run_tool c|d CODEC ARG SIZE IN OUT [CHANNEL]: prints the tool's line, fails on error.
run_tool() {
  local out
  out=$("$src/scripts/wine-run.sh" "$tool" "$1" "$2" "$3" "$4" "$(win "$5")" "$(win "$6")" ${7:-handle} 2>&1 | tr -d '\r')
  local rc=${PIPESTATUS[0]}
  echo "$out"
  [ "$rc" = 0 ]
}
ok() { passes=$((passes + 1)); }
bad() { echo "FAIL: $*"; fails=$((fails + 1)); }
same() {  # same A B WHAT
  if cmp -s "$1" "$2"; then ok; else bad "$3: $1 and $2 differ"; fi
}

"$py" "$peers" gen "$work" || { echo "FAIL: cannot make inputs"; exit 1; }
inputs="mixed.bin one.bin empty.bin far.bin"

# Ours -> Python, and Python -> ours, on the raw streams.
for f in $inputs; do
  size=$(stat -c %s "$work/$f")
  for ch in handle memory callback; do
    for lvl in 1 6 9; do
      run_tool c deflate $lvl -1 "$work/$f" "$work/$f.$ch.$lvl.def" $ch >/dev/null || bad "deflate $f $ch $lvl"
      "$py" "$peers" inflate "$work/$f.$ch.$lvl.def" "$work/out" && same "$work/$f" "$work/out" "python inflates our deflate ($f, $ch, $lvl)" || bad "python inflate $f"
    done
    "$py" "$peers" deflate "$work/$f" "$work/$f.py.def" 9
    run_tool d deflate -2 -1 "$work/$f.py.def" "$work/out" $ch >/dev/null || bad "our inflate of python $f $ch"
    same "$work/$f" "$work/out" "we inflate python's deflate ($f, $ch)"

    run_tool c bzip2 9 -1 "$work/$f" "$work/$f.bz2" $ch >/dev/null || bad "bzip2 $f $ch"
    "$py" "$peers" bz2d "$work/$f.bz2" "$work/out" && same "$work/$f" "$work/out" "python bz2 decodes ours ($f, $ch)" || bad "python bz2d $f"
    "$py" "$peers" bz2c "$work/$f" "$work/$f.py.bz2"
    run_tool d bzip2 -2 -1 "$work/$f.py.bz2" "$work/out" $ch >/dev/null || bad "our bzip2 of python $f $ch"
    same "$work/$f" "$work/out" "we decode python's bz2 ($f, $ch)"

    run_tool c lzma6 5 -1 "$work/$f" "$work/$f.lzma" $ch >/dev/null || bad "lzma6 $f $ch"
    "$py" "$peers" aloned "$work/$f.lzma" "$work/out" && same "$work/$f" "$work/out" "python decodes our .lzma ($f, $ch)" || bad "python aloned $f"
    "$py" "$peers" alonec "$work/$f" "$work/$f.py.lzma"
    run_tool d lzma6 -2 -1 "$work/$f.py.lzma" "$work/out" $ch >/dev/null || bad "our lzma6 of python $f $ch"
    same "$work/$f" "$work/out" "we decode python's FORMAT_ALONE ($f, $ch)"

    run_tool c xz 6 -1 "$work/$f" "$work/$f.xz" $ch >/dev/null || bad "xz $f $ch"
    "$py" "$peers" xzd "$work/$f.xz" "$work/out" && same "$work/$f" "$work/out" "python decodes our xz ($f, $ch)" || bad "python xzd $f"
    for check in 0 1 4 10; do  # none, CRC-32, CRC-64, SHA-256
      "$py" "$peers" xzc "$work/$f" "$work/$f.py.xz" $check
      run_tool d xz -2 -1 "$work/$f.py.xz" "$work/out" $ch >/dev/null || bad "our xz of python $f $ch check $check"
      same "$work/$f" "$work/out" "we decode python's FORMAT_XZ ($f, $ch, check $check)"
    done
  done
done

# The CRC our tool reports is Python's zlib.crc32.
line=$(run_tool c deflate 6 -1 "$work/mixed.bin" "$work/crc.def")
want=$("$py" -c "import zlib,sys; print('%08X' % (zlib.crc32(open(sys.argv[1],'rb').read()) & 0xFFFFFFFF))" "$work/mixed.bin")
case "$line" in *"crc=$want"*) ok ;; *) bad "CRC: tool said '$line', python $want" ;; esac

# 7z writes zips with each method; its raw entry data decodes byte-exact through our codecs.
declare -A codec_of=([Deflate]=deflate [Deflate64]=deflate64 [BZip2]=bzip2 [LZMA]=lzma3 [xz]=xz)
declare -A method_of=([Deflate]=8 [Deflate64]=9 [BZip2]=12 [LZMA]=14 [xz]=95)
for m in Deflate Deflate64 BZip2 LZMA xz; do
  for f in mixed.bin far.bin big.bin; do
    rm -f "$work/7z.zip"
    (cd "$work" && 7z a -tzip -mm=$m "$work/7z.zip" "$f" >/dev/null) || { bad "7z a $m $f"; continue; }
    read -r method size flags < <("$py" "$peers" rawentry "$work/7z.zip" "$work/raw")
    [ "$method" = "${method_of[$m]}" ] || { bad "7z stored $f as method $method, not ${method_of[$m]}"; continue; }
    for ch in handle memory; do
      line=$(run_tool d "${codec_of[$m]}" -2 "$size" "$work/raw" "$work/out" $ch) || bad "we decode 7z $m $f ($ch): $line"
      same "$work/$f" "$work/out" "we decode 7z's $m ($f, $ch)"
    done
  done
done

# Info-ZIP's bzip2.
rm -f "$work/iz.zip"
(cd "$work" && zip -q -Z bzip2 iz.zip mixed.bin) || bad "zip -Z bzip2"
read -r method size flags < <("$py" "$peers" rawentry "$work/iz.zip" "$work/raw")
[ "$method" = 12 ] || bad "Info-ZIP method $method"
run_tool d bzip2 -2 -1 "$work/raw" "$work/out" >/dev/null || bad "we decode Info-ZIP bzip2"
same "$work/mixed.bin" "$work/out" "we decode Info-ZIP's bzip2"

# Our streams wrapped in a zip: 7z (and Python's zipfile, unzip where they know the method)
# extract them byte-exact.
for combo in "deflate 9 8 0" "stored 0 0 0" "bzip2 9 12 0" "lzma3 9 14 0" "xz 6 95 0"; do
  read -r codec lvl method flags <<<"$combo"
  for f in mixed.bin one.bin empty.bin; do
    size=$(stat -c %s "$work/$f")
    run_tool c $codec $lvl $size "$work/$f" "$work/raw" >/dev/null || { bad "compress $codec $f"; continue; }
    "$py" "$peers" mkzip "$work/ours.zip" "$work/raw" "$work/$f" $method $flags
    rm -rf "$work/x" && mkdir "$work/x"
    if 7z x -o"$work/x" "$work/ours.zip" >/dev/null 2>&1; then
      same "$work/$f" "$work/x/data.bin" "7z extracts our $codec ($f)"
    else
      bad "7z x of our $codec ($f)"
    fi
    if [ "$method" != 95 ]; then
      "$py" "$peers" zipread "$work/ours.zip" "$work/out" && same "$work/$f" "$work/out" "zipfile reads our $codec ($f)" || bad "zipfile $codec $f"
    fi
    if [ "$method" -le 12 ]; then
      unzip -p "$work/ours.zip" data.bin >"$work/out" 2>/dev/null && same "$work/$f" "$work/out" "unzip reads our $codec ($f)" || bad "unzip $codec $f"
    fi
  done
done
# Unknown size: the end marker is written (flag bit 1 tells the readers).
run_tool c lzma3 9 -1 "$work/mixed.bin" "$work/raw" >/dev/null || bad "lzma3 eos"
"$py" "$peers" mkzip "$work/ours.zip" "$work/raw" "$work/mixed.bin" 14 2
"$py" "$peers" zipread "$work/ours.zip" "$work/out" && same "$work/mixed.bin" "$work/out" "zipfile reads our LZMA with end marker" || bad "zipfile lzma eos"
run_tool d lzma3 -2 -1 "$work/raw" "$work/out" >/dev/null || bad "we decode our LZMA with end marker"
same "$work/mixed.bin" "$work/out" "LZMA with end marker"

echo "$passes passed, $fails failed"
[ "$fails" = 0 ]
