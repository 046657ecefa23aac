#!/usr/bin/env bash
# Benchmark of the text search engine against GNU grep and ripgrep (not a test; CI does not
# run it). Generates a corpus (a few large files and some thousands of small ones), runs the
# engine's grep-like tool under Wine and the peers on the same files, checks that every tool
# reports the same lines, and prints each time with its ratio to the fastest peer.
#
#   BUILD_DIR=/work/build-x bash bench/search-bench.sh [corpus folder]
# Environment: BUILD_DIR (built tree with tests/app/textsearch_grep.exe and a Wine prefix),
# BENCH_BIG_MB (size of each of the 4 large files, default 64), BENCH_SMALL (number of small
# files, default 4000), BENCH_RUNS (timed runs per tool, best counts; default 3).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$root/build}
corpus=${1:-/tmp/vm-search-bench}
big_mb=${BENCH_BIG_MB:-64}
small=${BENCH_SMALL:-4000}
runs=${BENCH_RUNS:-3}
tool=$build/tests/app/textsearch_grep.exe
[ -f "$tool" ] || { echo "missing $tool: build first (scripts/build.sh)"; exit 2; }
command -v rg >/dev/null || { echo "ripgrep (rg) is missing"; exit 2; }

stamp="$corpus/.corpus-$big_mb-$small"
if [ ! -f "$stamp" ]; then
    echo "generating the corpus in $corpus ..."
    rm -rf "$corpus"
    mkdir -p "$corpus"
    /usr/bin/python3 - "$corpus" "$big_mb" "$small" <<'PY'
import os, random, sys
root, big_mb, small = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
rnd = random.Random(20240607)
common = ("the of and to in is that it for was on are as with his they at be this from have or "
          "by one had not but what all were when we there can an your which their said if do will "
          "each about how up out them then she many some so these would other into has more her two "
          "like him see time could no make than first been its who now people my made over did down "
          "only way find use may water long little very after words called just where most know").split()
letters = "abcdefghijklmnopqrstuvwxyz"
rare = ["".join(rnd.choice(letters) for _ in range(rnd.randint(4, 11))) for _ in range(6000)]
special = ["cat", "category", "concatenate", "Cat", "CAT", "dog_cat", "cat9", "Sherlock", "sherlock", "SHERLOCK"]
def word():
    r = rnd.random()
    if r < 0.55: return rnd.choice(common)
    if r < 0.9985: return rnd.choice(rare)
    return rnd.choice(special)
pool = []
for _ in range(60000):
    n = rnd.randint(0, 16)
    line = " ".join(word() for _ in range(n))
    if rnd.random() < 0.1: line = "\t" + line
    if rnd.random() < 0.02: line = line.capitalize() + "."
    pool.append(line.encode())
# the rare needle: a handful per file at most
marker = b"Mnemosyne"
def make(nbytes, eol):
    out, size = [], 0
    while size < nbytes:
        line = rnd.choice(pool)
        if rnd.random() < 0.00005: line = line + b" " + marker
        out.append(line); size += len(line) + len(eol)
    return eol.join(out) + eol
big = os.path.join(root, "big"); os.makedirs(big)
for i in range(4):
    eol = b"\r\n" if i == 3 else b"\n"
    with open(os.path.join(big, "big%d.txt" % i), "wb") as f:
        for _ in range(big_mb // 4):
            f.write(make(4 << 20, eol))
for i in range(small):
    d = os.path.join(root, "src", "m%02d" % (i % 40), "s%d" % (i % 7))
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, "f%05d.c" % i), "wb") as f:
        f.write(make(rnd.choice([300, 1500, 4000, 9000, 30000]), b"\n"))
PY
    touch "$stamp"
fi
files=$(find "$corpus" -type f ! -name '.corpus-*' | wc -l)
total=$(du -sm --exclude='.corpus-*' "$corpus" | cut -f1)
echo "corpus: $corpus, $files files, $total MB"

export WINEPREFIX=$build/wineprefix
. "$root/scripts/wine-env.sh"
[ -d "$WINEPREFIX/drive_c" ] || "$root/scripts/wine-prefix.sh" >/dev/null
wineserver -p10 2>/dev/null || true   # ends by itself 10 s after the last process
wine cmd.exe /c exit </dev/null >/dev/null 2>&1 || true

tmp=$(mktemp -d /tmp/vm-search-bench-out.XXXXXX)
trap 'rm -rf "$tmp"' EXIT

# best wall time of $runs runs of a command; its output goes to $tmp/out.
best_time() {
    local best=
    for ((r = 0; r < runs; r++)); do
        local t0 t1
        t0=$(date +%s.%N)
        "$@" >"$tmp/out" 2>"$tmp/err" || true
        cat "$tmp/err" >>"$tmp/errs"
        t1=$(date +%s.%N)
        best=$(echo "$t0 $t1 ${best:-1e9}" | LC_ALL=C awk '{d = $2 - $1; print (d < $3 ? d : $3)}')
    done
    echo "$best"
}
lines_of() { sed 's|^\./||' "$1" | cut -d: -f1,2 | sort -u; }

LC_ALL=C printf "\n%-26s %9s %9s %9s %10s %10s %10s  %s\n" case grep rg-j1 rg engine engine-int cached "engine/fastest peer (wall, internal, cached)"
status=0
run_case() {
    local name=$1 needle=$2; shift 2
    local t_grep t_rg1 t_rg t_eng
    t_grep=$(cd "$corpus" && best_time env LC_ALL=C grep -F -a -n -r "$@" -- "$needle" .)
    lines_of "$tmp/out" >"$tmp/want"
    t_rg1=$(cd "$corpus" && best_time rg -j1 -F -a -n --no-heading "$@" -- "$needle" .)
    lines_of "$tmp/out" >"$tmp/rg1"
    t_rg=$(cd "$corpus" && best_time rg -F -a -n --no-heading "$@" -- "$needle" .)
    lines_of "$tmp/out" >"$tmp/rg"
    : >"$tmp/errs"
    t_eng=$(best_time wine "$tool" -c 0 -t "$@" "$needle" "Z:$corpus")
    lines_of "$tmp/out" >"$tmp/eng"
    local t_int
    t_int=$(sed -n 's/^run 1: [0-9]* hits, \([0-9.]*\) s.*/\1/p' "$tmp/errs" | LC_ALL=C sort -g | head -1)
    # the file cache serves the second run
    wine "$tool" -q -r $((runs + 1)) -c 1000 -t "$@" "$needle" "Z:$corpus" >/dev/null 2>"$tmp/err2" || true
    local t_cached
    t_cached=$(sed -n 's/^run [2-9][0-9]*: [0-9]* hits, \([0-9.]*\) s.*/\1/p' "$tmp/err2" | LC_ALL=C sort -g | head -1)
    local agree=ok n
    n=$(wc -l <"$tmp/want")
    for f in rg1 rg eng; do cmp -s "$tmp/want" "$tmp/$f" || agree="DIFFER($f)"; done
    [ "$agree" = ok ] || status=1
    local fastest
    fastest=$(echo "$t_grep $t_rg1 $t_rg" | LC_ALL=C awk '{m = $1; if ($2 < m) m = $2; if ($3 < m) m = $3; print m}')
    LC_ALL=C printf "%-26s %9.3f %9.3f %9.3f %10.3f %10.3f %10.3f  %.2f %.2f %.2f  %s, %d lines\n" "$name" \
        "$t_grep" "$t_rg1" "$t_rg" "$t_eng" "${t_int:-0}" "${t_cached:-0}" \
        "$(echo "$t_eng $fastest" | LC_ALL=C awk "{print \$1 / \$2}")" \
        "$(echo "${t_int:-0} $fastest" | LC_ALL=C awk "{print \$1 / \$2}")" \
        "$(echo "${t_cached:-0} $fastest" | LC_ALL=C awk "{print \$1 / \$2}")" "$agree" "$n"
}
run_case "literal rare" Mnemosyne
run_case "literal medium" Sherlock
run_case "literal common" "have"
run_case "literal phrase" "of the"
run_case "ignore case rare" mnemosyne -i
run_case "ignore case medium" sherlock -i
run_case "whole words" cat -w
run_case "ignore case whole words" cat -i -w
echo
echo "times in seconds (best of $runs); engine = wall time of the Wine process, engine-int = its"
echo "search alone (without Wine start and the walk), cached = a later search served by the file cache."
exit $status
