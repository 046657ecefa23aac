#!/usr/bin/env bash
# Encrypted archives of 7z (ZipCrypto, AES-128/192/256 over several methods) and Info-ZIP
# (zip -P, with data descriptors) tested and extracted by archive_tool: the right password
# gives the files, a wrong or missing one error 32. A wrong password that happens to pass the
# password check (1 in 256 for ZipCrypto, 1 in 65536 for AES; worked out here in Python) must
# still fail, by the CRC or the authentication code.
# Usage: crypto_peers.sh TOOL_EXE SOURCE_DIR
set -uo pipefail
tool=$1
src=$2
py=/usr/bin/python3
work=$(mktemp -d /tmp/crypto_peers.XXXXXX)
trap 'rm -rf "$work"' EXIT
export LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8 TZ=Europe/Berlin
fails=0
PW='Geheim!42'
WRONG='geheim!42'

win() { printf 'Z:%s' "${1//\//\\}"; }
bad() { echo "FAIL: $*"; fails=$((fails + 1)); }
run() { "$src/scripts/wine-run.sh" "$tool" "$@" >"$work/tool.out" 2>&1; }

tree=$work/tree
mkdir -p "$tree/sub"
seq 1 30000 | sed 's/^/geheime Zeile /' >"$tree/text.txt"
head -c 50000 /dev/urandom >"$tree/sub/noise.bin"
printf 'kurz\n' >"$tree/kurz.txt"
: >"$tree/leer.txt"

# Whether the first entry of ZIP passes the password check with PASSWORD (exit 0 if it does).
passes_check() {
  "$py" - "$1" "$2" <<'PY'
import hashlib, struct, sys, zipfile
path, pw = sys.argv[1], sys.argv[2].encode()
z = zipfile.ZipFile(path)
info = [i for i in z.infolist() if i.flag_bits & 1][0]
raw = open(path, "rb").read()
off = info.header_offset
n, m = struct.unpack("<HH", raw[off + 26:off + 30])
data = raw[off + 30 + n + m:]
if info.compress_type == 99:
    extra, p, strength = info.extra, 0, 0
    while p + 4 <= len(extra):
        hid, size = struct.unpack("<HH", extra[p:p + 4])
        if hid == 0x9901:
            strength = extra[p + 8]
        p += 4 + size
    salt = data[:4 * strength + 4]
    key = hashlib.pbkdf2_hmac("sha1", pw, salt, 1000, 16 * strength + 18)
    sys.exit(0 if key[-2:] == data[4 * strength + 4:4 * strength + 6] else 1)
try:
    z.open(info, pwd=pw).read(1)
except RuntimeError:
    sys.exit(1)
except Exception:
    pass
sys.exit(0)
PY
}

check_archive() {  # check_archive ZIP LABEL
  local zip=$1 label=$2
  run test "$(win "$zip")" "$PW" || bad "$label: test with the password: $(cat "$work/tool.out")"
  local out=$work/out-$label
  mkdir -p "$out"
  run extract "$(win "$zip")" "$(win "$out")" "$PW" || bad "$label: extract: $(cat "$work/tool.out")"
  diff -r "$tree" "$out" >"$work/d.out" 2>&1 || { bad "$label: extracted files differ"; head -5 "$work/d.out"; }
  run test "$(win "$zip")"
  local rc=$?
  [ $rc = 32 ] || bad "$label: without a password exit $rc, want 32: $(head -2 "$work/tool.out")"
  grep -q 'Falsches Passwort : ' "$work/tool.out" || bad "$label: no password text: $(head -2 "$work/tool.out")"
  run test "$(win "$zip")" "$WRONG"
  rc=$?
  if passes_check "$zip" "$WRONG"; then
    [ $rc != 0 ] || bad "$label: a wrong password that passes the check gave success"
    echo "$label: the wrong password passes the check by chance; exit $rc"
  else
    [ $rc = 32 ] || bad "$label: wrong password exit $rc, want 32: $(head -2 "$work/tool.out")"
  fi
  return 0
}

for em in ZipCrypto:Deflate AES128:Deflate AES192:Deflate AES256:Deflate AES256:Copy AES256:LZMA \
          AES256:BZip2 AES128:PPMd ZipCrypto:BZip2; do
  enc=${em%%:*}
  m=${em#*:}
  zip=$work/7z-$enc-$m.zip
  (cd "$tree" && 7z a -tzip -mem=$enc -mm=$m -p"$PW" "$zip" . >/dev/null 2>&1) || { bad "7z cannot write $em"; continue; }
  check_archive "$zip" "7z-$enc-$m"
done
zip=$work/infozip.zip
(cd "$tree" && zip -qr -P "$PW" "$zip" .) || bad "zip -P cannot write"
check_archive "$zip" "infozip"
# Info-ZIP to a pipe: data descriptors, the check byte from the DOS time.
(cd "$tree" && zip -q -P "$PW" - text.txt kurz.txt | cat >"$work/stream.zip")
run test "$(win "$work/stream.zip")" "$PW" || bad "streamed zip -P: $(cat "$work/tool.out")"

[ $fails = 0 ] && echo "all encrypted archives passed"
exit $((fails > 0))
