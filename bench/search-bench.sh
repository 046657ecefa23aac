#!/usr/bin/env bash
# Benchmark of the text search against GNU grep and ripgrep (not a test; CI does not run it).
# Generates a corpus (large files and some thousands of small ones, CR LF text) and measures in
# one run, side by side:
#  - the platform's read floor: a minimal reader opening and reading every file under Wine
#    with 1, 2 and 4 threads (the best counts);
#  - the engine through its grep-like tool (checked line for line against grep): without a
#    cache, the first search filling an empty file cache, and later searches from the cache;
#  - the program itself through its own dialogs (the end-to-end driver's way): the first search
#    until the result list is filled and the same search again from the file cache;
#  - one million result lines in the program: time to the filled list, the longest wait of a
#    message sent to the main window every 10 ms, scrolling to the end, memory per line;
#  - pattern searches over one line of 1 MB that the patterns never match (every try runs over
#    the rest of the line) beside grep -E with the same patterns.
# BENCH_LONGLINE_ONLY=1 runs the last part alone (no corpus needed).
#
#   BUILD_DIR=/work/build-x bash bench/search-bench.sh [corpus folder]
# Environment: BUILD_DIR (built tree with tests/app/textsearch_grep.exe, bench/read_floor.exe,
# bench/result_bench.exe, app/Vellmorant.exe and a Wine prefix), BENCH_BIG (large files,
# default 20), BENCH_BIG_MB (size of each, default 10), BENCH_SMALL (small files, default
# 5000), BENCH_RUNS (timed runs per tool, best counts; default 3), BENCH_MILLION (0 skips the
# million-line case), WINEPREFIX (default: the build's prefix).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$root/build}
corpus=${1:-/tmp/vm-search-bench}
big=${BENCH_BIG:-20}
big_mb=${BENCH_BIG_MB:-10}
small=${BENCH_SMALL:-5000}
runs=${BENCH_RUNS:-3}
tool=$build/tests/app/textsearch_grep.exe
floor_tool=$build/bench/read_floor.exe
app_bench=$build/bench/result_bench.exe
app=$build/app/Vellmorant.exe
for f in "$tool" "$floor_tool" "$app_bench" "$app"; do
    [ -f "$f" ] || { echo "missing $f: build first (scripts/build.sh)"; exit 2; }
done
command -v rg >/dev/null || { echo "ripgrep (rg) is missing"; exit 2; }

stamp="$corpus/.corpus-$big-$big_mb-$small"
if [ "${BENCH_LONGLINE_ONLY:-0}" = 1 ]; then
    :
elif [ ! -f "$stamp" ]; then
    echo "generating the corpus in $corpus ..."
    rm -rf "$corpus"
    mkdir -p "$corpus"
    /usr/bin/python3 - "$corpus" "$big" "$big_mb" "$small" <<'PY'
import os, random, sys
root, nbig, big_mb, small = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
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
for i in range(nbig):
    with open(os.path.join(big, "big%02d.txt" % i), "wb") as f:
        for _ in range(max(1, big_mb // 2)):
            f.write(make(2 << 20, b"\r\n"))
for i in range(small):
    d = os.path.join(root, "src", "m%02d" % (i % 40), "s%d" % (i % 7))
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, "f%05d.c" % i), "wb") as f:
        f.write(make(rnd.choice([300, 1500, 4000, 9000, 30000]), b"\r\n"))
PY
    touch "$stamp"
fi
if [ "${BENCH_LONGLINE_ONLY:-0}" != 1 ]; then
files=$(find "$corpus" -type f ! -name '.corpus-*' | wc -l)
total=$(du -sm --exclude='.corpus-*' "$corpus" | cut -f1)
echo "corpus: $corpus, $files files, $total MB"
fi

export WINEPREFIX=${WINEPREFIX:-$build/wineprefix}
. "$root/scripts/wine-env.sh"
[ -d "$WINEPREFIX/drive_c" ] || "$root/scripts/wine-prefix.sh" >/dev/null
wineserver -p10 2>/dev/null || true   # ends by itself 10 s after the last process
wine cmd.exe /c exit </dev/null >/dev/null 2>&1 || true

. "$root/scripts/xvfb.sh"
vm_start_xvfb   # the program needs a display
tmp=$(mktemp -d /tmp/vm-search-bench-out.XXXXXX)
trap 'rm -rf "$tmp"; vm_stop_xvfb' EXIT

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

winpath() { printf 'Z:%s' "${1//\//\\}"; }

# Pattern searches over one line of 1 MB of 'a' (no 'b' in it) beside grep -E: the engine
# through its grep-like tool without a cache (its search time alone, and the Wine process).
longline_cases() {
    local dir=$corpus-longline
    if [ ! -f "$dir/line.txt" ]; then
        mkdir -p "$dir"
        /usr/bin/python3 -c 'import sys; open(sys.argv[1], "wb").write(b"a" * (1 << 20) + b"\n")' "$dir/line.txt"
    fi
    local stars60 dots60
    stars60=$(printf '*%.0s' $(seq 60))b
    dots60=$(printf '.*%.0s' $(seq 60))b
    echo
    echo "one line of 1 MB that the pattern never matches (best of $runs):"
    LC_ALL=C printf "%-24s %9s %9s %9s  %s\n" pattern grep engine eng-int "engine/grep eng-int/grep"
    local name pat gpat label t_grep t_eng t_int
    for name in stars words; do
        if [ $name = stars ]; then
            pat=$stars60 gpat=$dots60 label="60 x '*', then b"
        else
            pat='\w\w\w\w\w\wb' gpat='\w+\w+\w+\w+\w+\w+b' label=$pat
        fi
        t_grep=$(cd "$dir" && best_time env LC_ALL=C grep -E -a -n -c -- "$gpat" line.txt)
        [ "$(cat "$tmp/out")" = 0 ] || echo "grep found something: $(cat "$tmp/out")"
        : >"$tmp/errs"
        t_eng=$(best_time wine "$tool" -c 0 -t -p "$pat" "Z:$dir")
        [ ! -s "$tmp/out" ] || { echo "the engine found something"; status=1; }
        t_int=$(sed -n 's/^run 1: [0-9]* hits, \([0-9.]*\) s.*/\1/p' "$tmp/errs" | LC_ALL=C sort -g | head -1)
        LC_ALL=C printf "%-24s %9.3f %9.3f %9.3f  %11.1f %12.1f\n" "$label" "$t_grep" "$t_eng" "${t_int:-0}" \
            "$(echo "$t_eng $t_grep" | LC_ALL=C awk '{print $1 / $2}')" \
            "$(echo "${t_int:-0} $t_grep" | LC_ALL=C awk '{print $1 / $2}')"
    done
    echo "(grep -E: '.*' 60 times, then b; '\w+' six times, then b)"
}
status=0
if [ "${BENCH_LONGLINE_ONLY:-0}" = 1 ]; then
    longline_cases
    exit $status
fi
wine "$floor_tool" -r "$runs" "$(winpath "$corpus")" >"$tmp/floor"
floor=$(awk '{print $4}' "$tmp/floor" | LC_ALL=C sort -g | head -1)
echo "read floor (s): $(awk '{printf "%s thread(s) %s  ", $2, $4}' "$tmp/floor")-> best $floor"

LC_ALL=C printf "\n%-24s %7s %7s %7s %7s %7s %7s %7s  %-22s %s\n" case grep rg-j1 rg engine eng-int first cached \
    "first/floor cached/grep" "cached/rg-j1"
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
    # the first run fills an empty file cache, the later ones are served by it
    wine "$tool" -q -r $((runs + 1)) -c 1000 -t "$@" "$needle" "Z:$corpus" >/dev/null 2>"$tmp/err2" || true
    local t_first t_cached
    t_first=$(sed -n 's/^run 1: [0-9]* hits, \([0-9.]*\) s.*/\1/p' "$tmp/err2")
    t_cached=$(sed -n 's/^run [2-9][0-9]*: [0-9]* hits, \([0-9.]*\) s.*/\1/p' "$tmp/err2" | LC_ALL=C sort -g | head -1)
    local agree=ok n
    n=$(wc -l <"$tmp/want")
    for f in rg1 rg eng; do cmp -s "$tmp/want" "$tmp/$f" || agree="DIFFER($f)"; done
    [ "$agree" = ok ] || status=1
    # the program lists one line per hit (grep one per line)
    local hits
    hits=$(sed -n 's/^run 1: \([0-9]*\) hits.*/\1/p' "$tmp/err2")
    echo "$name|$needle|$*|${hits:-$n}|$t_grep|$t_rg1" >>"$tmp/cases"
    LC_ALL=C printf "%-24s %7.3f %7.3f %7.3f %7.3f %7.3f %7.3f %7.3f  %11.2f %10.2f %12.2f  %s, %d lines\n" "$name" \
        "$t_grep" "$t_rg1" "$t_rg" "$t_eng" "${t_int:-0}" "${t_first:-0}" "${t_cached:-0}" \
        "$(echo "${t_first:-0} $floor" | LC_ALL=C awk '{print $1 / $2}')" \
        "$(echo "${t_cached:-0} $t_grep" | LC_ALL=C awk '{print $1 / $2}')" \
        "$(echo "${t_cached:-0} $t_rg1" | LC_ALL=C awk '{print $1 / $2}')" "$agree" "$n"
}
: >"$tmp/cases"
run_case "literal rare" Mnemosyne
run_case "literal medium" Sherlock
run_case "literal common" "have"
run_case "literal phrase" "of the"
run_case "ignore case rare" mnemosyne -i
run_case "ignore case medium" sherlock -i
run_case "whole words" cat -w
run_case "ignore case whole words" cat -i -w
echo
echo "times in seconds (best of $runs); engine = wall time of the Wine process without a cache,"
echo "eng-int = its search alone (without Wine start and the walk), first = the first search"
echo "filling an empty file cache, cached = a later search served by the file cache."

# The program itself: the same searches through its dialog until the result list is filled.
app_case() {  # app_case NAME NEEDLE LINES GREP RG1
    local name=$1 needle=$2 n=$3 t_grep=$4 t_rg1=$5 first=999 again=999 out f a
    for ((r = 0; r < runs; r++)); do
        out=$(wine "$app_bench" "$(winpath "$app")" "$(winpath "$corpus")" "$needle" 1000000 "$n" 2 2>/dev/null) || true
        f=$(echo "$out" | awk '$2 == 1 {print $6}')
        a=$(echo "$out" | awk '$2 == 2 {print $6}')
        [ "$(echo "$out" | awk '$2 == 1 {print $4}')" = "$n" ] ||
            echo "$name: the program listed $(echo "$out" | awk '$2 == 1 {print $4}') lines, the engine $n hits"
        first=$(echo "${f:-999} $first" | LC_ALL=C awk '{print ($1 < $2 ? $1 : $2)}')
        again=$(echo "${a:-999} $again" | LC_ALL=C awk '{print ($1 < $2 ? $1 : $2)}')
    done
    LC_ALL=C printf "%-24s %7d %9.3f %9.3f %7.3f %7.3f  %11.2f %10.2f %12.2f\n" "$name" "$n" "$first" "$again" \
        "$t_grep" "$t_rg1" "$(echo "$first $floor" | LC_ALL=C awk '{print $1 / $2}')" \
        "$(echo "$again $t_grep" | LC_ALL=C awk '{print $1 / $2}')" "$(echo "$again $t_rg1" | LC_ALL=C awk '{print $1 / $2}')"
}
echo
LC_ALL=C printf "%-24s %7s %9s %9s %7s %7s  %-22s %s\n" "program (dialog to list)" hits first cached grep rg-j1 \
    "first/floor cached/grep" "cached/rg-j1"
while IFS='|' read -r name needle opts n t_grep t_rg1; do
    [ -z "$opts" ] || continue   # the dialog's default options: literal, case sensitive
    app_case "$name" "$needle" "$n" "$t_grep" "$t_rg1"
done <"$tmp/cases"
echo "(first: a new program's first search, file cache empty; cached: the same search again)"

if [ "${BENCH_MILLION:-1}" != 0 ]; then
    million=$corpus-million
    if [ ! -f "$million/.million" ]; then
        rm -rf "$million"
        mkdir -p "$million"
        /usr/bin/python3 - "$million" <<'PY'
import os, sys
for f in range(100):
    with open(os.path.join(sys.argv[1], "part%03d.txt" % f), "w", newline="\r\n") as out:
        for i in range(10000):
            out.write("    if (result == Mnemosyne && count > %d) return value; // %d\n" % (i % 977, f * 10000 + i))
PY
        touch "$million/.million"
    fi
    echo
    echo "one million result lines (limit 1,000,000; best of $runs):"
    best_m=
    for ((r = 0; r < runs; r++)); do
        out=$(wine "$app_bench" "$(winpath "$app")" "$(winpath "$million")" Mnemosyne 1000000 1000000 1 2>/dev/null) || true
        t=$(echo "$out" | awk '{print $6}')
        if [ -n "$t" ] && { [ -z "$best_m" ] || LC_ALL=C awk -v a="$t" -v b="$(echo "$best_m" | awk '{print $6}')" 'BEGIN {exit !(a < b)}'; }; then
            best_m=$out
        fi
    done
    echo "$best_m" | LC_ALL=C awk '{printf "  lines %s, list filled after %s s, longest answer %s s, longest gap between answers %s s,\n  end of the list shown in %s s (current line %s), %s bytes of memory per result line\n", $4, $6, $8, $10, $12, $14, $18}'
fi
longline_cases
exit $status
