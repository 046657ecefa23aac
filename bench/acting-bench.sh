#!/usr/bin/env bash
# Benchmark of the commands that act on files (not a test; CI does not run it): "Ändern",
# "Zeilen einfügen" and "Zeilen löschen" after a search, "Linux zu Windows", "Tabulatorabstände
# konvertieren", "ASCCI zu ANSI" and "Verzeichnisvergleich", each driven through the program's
# own dialogs and timed from the dialog's OK to the end of the command (the closing message box;
# for the line commands the close of their dialog; for the compare the filled result list),
# beside, in the same run:
#  - the floor: a minimal Windows program doing the same file operations under the same Wine
#    (read each file the command reads; for each file it rewrites: write a temporary file,
#    flush, replace; for the compare: list the compare tree, stat, open, read and compare both
#    sides, with one and with two threads, the better counts);
#  - the native peer: `rg -l | xargs sed -i` for the change and the line commands, `sed -i` for
#    the conversions, `diff -rq` for the compare.
# The program's results are checked byte for byte against sed's (the compare's lines against
# `diff -rq` and the read-only marks set), every run starts from the same bytes, and one table
# prints the medians of BENCH_RUNS runs with program/floor and program/peer.
#
# Trees: 5,020 CR LF text files of 219 MB (20 of 10 MB, 5,000 of 300 bytes to 9 KB; a search
# finds 21,000 hits in 1,020 of them), the same in LF form for the line-end conversion, a copy
# with about 90 differences of all four kinds for the compare, one with OEM bytes for the
# code-page conversion ("ung" written with an OEM "ü"); and a tenth of each.
#
#   BUILD_DIR=/work/build-x bash bench/acting-bench.sh [tree folder]
# The tree folder (default /tmp/vm-acting-bench) decides the disk: on a tmpfs such as /dev/shm
# the flush costs nothing and what remains is Wine's and the program's cost per file.
# Environment: BUILD_DIR (built tree with app/Vellmorant.exe, bench/acting_bench.exe and
# bench/acting_floor.exe), BENCH_RUNS (runs per figure, median; default 3), BENCH_SIZES
# ("tenth full" by default), BENCH_COMMANDS ("change insert delete lineends tabs asciiansi
# compare"), WINEPREFIX
# (default: a prefix of its own in the build tree, so that test runs are not disturbed).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$root/build}
base=${1:-/tmp/vm-acting-bench}
runs=${BENCH_RUNS:-3}
sizes=${BENCH_SIZES:-tenth full}
commands=${BENCH_COMMANDS:-change insert delete lineends tabs asciiansi compare}
app=$build/app/Vellmorant.exe
driver=$build/bench/acting_bench.exe
floor_tool=$build/bench/acting_floor.exe
for f in "$app" "$driver" "$floor_tool"; do
    [ -f "$f" ] || { echo "missing $f: build first (scripts/build.sh)"; exit 2; }
done
command -v rg >/dev/null || { echo "ripgrep (rg) is missing"; exit 2; }
py=/usr/bin/python3
exec </dev/null   # no tool of the run reads the caller's input
needle=Quastenflosser
replacement=Lungenfisch
newline=NEU

# generate SIZE BIG SMALL: the trees of one size below $base/SIZE.
generate() {
    local dir=$base/$1
    [ -f "$dir/.ready" ] && return 0
    echo "generating the $1 trees in $dir ..."
    rm -rf "$dir"
    mkdir -p "$dir"
    "$py" - "$dir" "$2" "$3" "$needle" <<'PY'
import os, random, shutil, sys
root, nbig, nsmall, needle = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
rnd = random.Random(20240935 + nsmall)
# Words of German-like syllables (never the needle, which has a capital); a few hundred common.
syllables = ("an be de en er ge in ka la le li ma me mo ne ni no ra re ri ro sa se so ta te ti to un "
             "ver zu sch ch ung heit keit lich").split()
words = ["".join(rnd.choice(syllables) for _ in range(rnd.randint(1, 4))) for _ in range(8000)]
pool = []
for _ in range(60000):
    line = " ".join(rnd.choice(words[:300] if rnd.random() < 0.55 else words) for _ in range(rnd.randint(0, 16)))
    if rnd.random() < 0.1: line = "\t" + line          # for the tab conversion
    if rnd.random() < 0.02: line = line.capitalize() + "."
    pool.append(line)
def lines_for(nbytes, least):
    out, size = [], 0
    while size < nbytes or len(out) < least:
        out.append(rnd.choice(pool)); size += len(out[-1]) + 2
    return out
def plant(lines, k):   # the needle once in k lines
    for i in rnd.sample(range(len(lines)), k):
        lines[i] = lines[i] + " " + needle if lines[i].strip() else needle
hits, hit_files, small = 0, 0, []
def write(rel, lines):
    for tree, eol in (("crlf", "\r\n"), ("lf", "\n")):
        p = os.path.join(root, tree, rel)
        os.makedirs(os.path.dirname(p), exist_ok=True)
        with open(p, "wb") as f:
            f.write((eol.join(lines) + eol).encode())
for i in range(nbig):
    lines = lines_for(10000000 - 16 * 800, 800)
    plant(lines, 800)
    hits += 800; hit_files += 1
    write("big/big%02d.txt" % i, lines)
for i in range(nsmall):
    rel = "src/m%02d/s%d/f%05d.c" % (i % 40, i % 7, i)
    lines = lines_for(rnd.choice([300, 1500, 4000, 9000]), 5)
    if i % 5 == 0:
        plant(lines, 5)
        hits += 5; hit_files += 1
    write(rel, lines)
    small.append(rel)
# The compare tree: the CR LF tree with differences of all four kinds (about 90 in the full size).
cmp = os.path.join(root, "cmp")
shutil.copytree(os.path.join(root, "crlf"), cmp)
scale = nsmall / 5000.0
n = lambda c: max(1, round(c * scale))
picked = rnd.sample(small, n(25) + n(20) + n(15) + n(10))
changed, longer = picked[:n(25)], picked[n(25):n(25) + n(20)]
deleted, ronly = picked[n(25) + n(20):n(25) + n(20) + n(15)], picked[n(25) + n(20) + n(15):]
def flip(rel, near_end):   # one letter in capitals: same size, other bytes
    p = os.path.join(cmp, rel)
    data = bytearray(open(p, "rb").read())
    start = len(data) * 9 // 10 if near_end else 0
    at = next(k for k in range(start, len(data)) if 97 <= data[k] <= 122)
    data[at] -= 32
    open(p, "wb").write(data)
for i in range(min(n(5), nbig)):
    flip("big/big%02d.txt" % i, True)
for rel in changed:
    flip(rel, False)
for rel in longer:
    with open(os.path.join(cmp, rel), "ab") as f:
        f.write(b"one more line\r\n")
for rel in deleted:
    os.remove(os.path.join(cmp, rel))
for k in range(n(15)):
    folder = os.path.dirname(rnd.choice(small))
    with open(os.path.join(cmp, folder, "neu%02d.c" % k), "wb") as f:
        f.write(b"a new file\r\n" * (k + 1))
for rel in ronly:
    os.chmod(os.path.join(cmp, rel), 0o444)
with open(os.path.join(root, "ronly.txt"), "w") as f:
    f.write("".join(r + "\n" for r in ronly))
with open(os.path.join(root, "meta"), "w") as f:
    f.write("%d %d %d\n" % (hits, hit_files, nbig + nsmall))
PY
    # sed's results, the oracles of the program's
    cp -a "$dir/crlf" "$dir/exp-change"
    (cd "$dir/exp-change" && rg -l -0 -F -uu "$needle" . </dev/null | xargs -0 sed -i "s/$needle/$replacement/g")
    cp -a "$dir/crlf" "$dir/exp-tabs"
    find "$dir/exp-tabs" -type f -print0 | xargs -0 sed -i -e 's/^\t\r$/\r/' -e 's/^\t/\t\t/'
    cp -a "$dir/lf" "$dir/exp-lineends"
    find "$dir/exp-lineends" -type f -print0 | xargs -0 sed -i 's/$/\r/'
    touch "$dir/.ready"
}

# derive SIZE: the trees of the line commands and the code-page conversion, from those of
# generate (trees generated before these commands were benched get them on their next run).
derive() {
    local dir=$base/$1
    [ -f "$dir/.ready-derived" ] && return 0
    echo "deriving the $1 trees for the line commands and the code pages ..."
    rm -rf "$dir/oem" "$dir/exp-asciiansi" "$dir/exp-insert" "$dir/exp-delete"
    cp -a "$dir/crlf" "$dir/oem"
    find "$dir/oem" -type f -print0 | LC_ALL=C xargs -0 sed -i 's/ung/\x81ng/g'
    cp -a "$dir/oem" "$dir/exp-asciiansi"
    find "$dir/exp-asciiansi" -type f -print0 | LC_ALL=C xargs -0 sed -i 's/\x81/\xFC/g'
    cp -a "$dir/crlf" "$dir/exp-insert"
    (cd "$dir/exp-insert" && rg -l -0 -F -uu "$needle" . </dev/null | xargs -0 sed -i "/$needle/a $newline\r")
    cp -a "$dir/crlf" "$dir/exp-delete"
    (cd "$dir/exp-delete" && rg -l -0 -F -uu "$needle" . </dev/null | xargs -0 sed -i "/$needle/d")
    touch "$dir/.ready-derived"
}

export WINEPREFIX=${WINEPREFIX:-$build/bench-prefix}
. "$root/scripts/wine-env.sh"
"$root/scripts/wine-prefix.sh" >/dev/null
wineserver -p60 2>/dev/null || true   # ends by itself a minute after the last process
. "$root/scripts/xvfb.sh"
vm_start_xvfb   # the program needs a display
tmp=$(mktemp -d /tmp/vm-acting-bench-out.XXXXXX)
trap 'rm -rf "$tmp"; vm_stop_xvfb' EXIT

winpath() { printf 'Z:%s' "${1//\//\\}"; }
now() { date +%s.%N; }
since() { LC_ALL=C awk -v a="$1" -v b="$(now)" 'BEGIN {printf "%.3f", b - a}'; }
median() { awk 'NF {print $1}' | LC_ALL=C sort -g | awk '{v[NR] = $1} END {print NR ? v[int((NR + 1) / 2)] : 0}'; }

# restore DIR MASTER: DIR holds MASTER's bytes again, written out to the disk.
restore() {
    rm -rf "$1"
    cp -a "$2" "$1"
    sync
}

# check KIND WORK EXPECTED MASTER LIST: compares every file of WORK with EXPECTED (for
# "lineends" a file above 4 MiB may also have stayed as in MASTER), no file more; writes the
# floor's list of the files the command read and rewrote ("<new size> <path>"; for "tabs" and
# "asciiansi" also "-1 <path>" for the files read and left alone). Prints the number of files
# rewritten and "ok" or what differs.
check() {
    "$py" - "$@" <<'PY'
import os, sys
kind, work, expected, master, out = sys.argv[1:6]
def files(top):
    return sorted(os.path.relpath(os.path.join(d, f), top) for d, _, fs in os.walk(top) for f in fs)
bad, rewritten, lines = [], 0, []
names = files(master)
extra = sorted(set(files(work)) - set(names))
bad += ["extra file " + e for e in extra]
for rel in names:
    w, e, m = (os.path.join(t, rel) for t in (work, expected, master))
    if not os.path.exists(w):
        bad.append("missing " + rel); continue
    wb, eb, mb = (open(p, "rb").read() for p in (w, e, m))
    if wb != eb and not (kind == "lineends" and len(mb) > 4194304 and wb == mb):
        bad.append("differs " + rel)
    path = "Z:" + os.path.abspath(w).replace("/", "\\")
    if wb != mb:
        rewritten += 1
        lines.append("%d %s\n" % (len(wb), path))
    elif kind in ("tabs", "asciiansi"):
        lines.append("-1 %s\n" % path)
open(out, "w").writelines(lines)
print("%d %s" % (rewritten, "ok" if not bad else "DIFFER(%d: %s)" % (len(bad), ", ".join(bad[:3]))))
PY
}

# One line per run: "size|command|program|floor|peer|files|verdict|detail".
results=$tmp/results
: >"$results"

# The program through its dialog; prints the driver's output, the seconds on its first line.
drive() {  # drive FOLDER FILES COMMAND [ARGS...]
    local folder=$1 files=$2; shift 2
    wine "$driver" "$(winpath "$app")" "$(winpath "$folder")" "$files" "$@" </dev/null 2>"$tmp/driver-err" |
        tr -d '\r' >"$tmp/driver" || true
    grep -v "Read access denied" "$tmp/driver-err" >&2 || true
}
field() { sed -n "s/^$1 //p" "$tmp/driver" | head -1; }

rewrite_case() {  # rewrite_case SIZE COMMAND MASTER EXPECTED
    local size=$1 cmd=$2 master=$3 expected=$4 dir=$base/$1
    local work=$dir/work files hits
    read -r hits _ files <"$dir/meta"
    local r n verdict
    for ((r = 1; r <= runs; r++)); do
        restore "$work" "$master"
        case $cmd in
        change) drive "$work" "$files" change "$needle" "$replacement" ;;
        insert) drive "$work" "$files" insert "$needle" "$newline" ;;
        delete) drive "$work" "$files" delete "$needle" ;;
        *) drive "$work" "$files" "$cmd" ;;
        esac
        local t_prog msg detail
        t_prog=$(field seconds)
        msg=$(field message | iconv -f CP1252 -t UTF-8)
        read -r n verdict < <(check "$cmd" "$work" "$expected" "$master" "$tmp/list")
        detail=$msg
        if [ "$cmd" = change ]; then
            detail="$(field hits) hits; $msg"
            [ "$(field hits)" = "$hits" ] && [[ "$msg" == *" $hits "* ]] || verdict="COUNT($detail)"
        elif [ "$cmd" = insert ] || [ "$cmd" = delete ]; then
            detail="$(field hits) hits"
            [ "$(field hits)" = "$hits" ] || verdict="COUNT($detail)"
        fi
        [ -n "$t_prog" ] || verdict="FAILED($(tr '\n' ' ' <"$tmp/driver"))"
        # the floor: the same file operations on the same files
        restore "$work" "$master"
        local t_floor
        t_floor=$(wine "$floor_tool" rewrite "$(winpath "$tmp/list")" </dev/null 2>/dev/null | tr -d '\r' |
                  sed -n 's/^seconds \([0-9.]*\) .* failed 0$/\1/p')
        # the peer, checked against the same oracle
        restore "$work" "$master"
        local t0 t_peer peer_verdict
        t0=$(now)
        case $cmd in
        change) (cd "$work" && rg -l -0 -F -uu "$needle" . </dev/null | xargs -0 -r sed -i "s/$needle/$replacement/g") ;;
        insert) (cd "$work" && rg -l -0 -F -uu "$needle" . </dev/null | xargs -0 -r sed -i "/$needle/a $newline\r") ;;
        delete) (cd "$work" && rg -l -0 -F -uu "$needle" . </dev/null | xargs -0 -r sed -i "/$needle/d") ;;
        asciiansi) find "$work" -type f -print0 | LC_ALL=C xargs -0 sed -i 's/\x81/\xFC/g' ;;
        tabs) find "$work" -type f -print0 | xargs -0 sed -i -e 's/^\t\r$/\r/' -e 's/^\t/\t\t/' ;;
        lineends) grep -v '^-1 ' "$tmp/list" | cut -d' ' -f2- | sed 's|^Z:||; s|\\|/|g' | tr '\n' '\0' |
                  xargs -0 -r sed -i 's/$/\r/' ;;
        esac
        t_peer=$(since "$t0")
        peer_verdict=$(check "$cmd" "$work" "$expected" "$master" "$tmp/peer-list" | cut -d' ' -f2-)
        [ "$peer_verdict" = ok ] || verdict="$verdict; peer $peer_verdict"
        echo "$size|$cmd|${t_prog:-0}|${t_floor:-0}|$t_peer|$n|$verdict|$detail" >>"$results"
        echo "  $size $cmd run $r: program ${t_prog:-?} s, floor ${t_floor:-?} s, peer $t_peer s, $verdict, $detail"
    done
    rm -rf "$work"
}

compare_case() {  # compare_case SIZE
    local size=$1 dir=$base/$1
    local work=$dir/work files
    read -r _ _ files <"$dir/meta"
    restore "$work" "$dir/crlf"
    local r
    for ((r = 1; r <= runs; r++)); do
        drive "$work" "$files" compare "$(winpath "$dir/cmp")"
        local t_prog t_floor t0 t_peer verdict
        t_prog=$(field seconds)
        sed -n 's/^line //p' "$tmp/driver" >"$tmp/lines"
        wine "$floor_tool" compare "$(winpath "$work")" "$(winpath "$dir/cmp")" </dev/null 2>/dev/null |
            tr -d '\r' >"$tmp/floor"
        t_floor=$(awk '{print $4}' "$tmp/floor" | LC_ALL=C sort -g | head -1)
        t0=$(now)
        LC_ALL=C diff -rq "$work" "$dir/cmp" >"$tmp/diff" || true
        t_peer=$(since "$t0")
        # The program's lines against diff's and the read-only marks.
        verdict=$("$py" - "$tmp/lines" "$tmp/diff" "$work" "$dir/cmp" "$dir/ronly.txt" <<'PY'
import os, re, sys
lines, diff, work, cmp, ronly = sys.argv[1:6]
win = lambda p: "Z:" + os.path.normpath(p).replace("/", "\\")
got = set()
for l in open(lines, "rb").read().decode("cp1252").splitlines():
    m = re.match(r"^(.*?)\s+(:.*)$", l)
    got.add((m.group(1), m.group(2)) if m else (l, ""))
want = set()
for l in open(diff).read().splitlines():
    m = re.match(r"^Files (.*) and (.*) differ$", l)
    if m:
        same = os.path.getsize(m.group(1)) == os.path.getsize(m.group(2))
        want.add((win(m.group(2)), ":verändert" if same else ":andere Länge")); continue
    m = re.match(r"^Only in (.*): (.*)$", l)
    if m and os.path.normpath(m.group(1)).startswith(os.path.normpath(cmp)):
        rel = os.path.relpath(os.path.join(m.group(1), m.group(2)), cmp)
        want.add((win(os.path.join(work, rel)), ":Neue Datei gefunden")); continue
    if m:
        want.add((win(os.path.join(m.group(1), m.group(2))), ":Datei existiert nicht")); continue
    want.add(("unparsed diff line", l))
for rel in open(ronly).read().split():
    want.add((win(os.path.join(cmp, rel)), ":RONLY+"))
if got == want:
    print("ok")
else:
    print("DIFFER(%d missing, %d more: %s)" % (len(want - got), len(got - want),
                                               "; ".join(sorted("%s %s" % x for x in (want ^ got))[:2])))
PY
)
        [ -n "$t_prog" ] || verdict="FAILED($(tr '\n' ' ' <"$tmp/driver" | cut -c1-200))"
        local detail
        detail="floor 1 thread $(awk '$2 == 1 {print $4}' "$tmp/floor") s, 2 threads $(awk '$2 == 2 {print $4}' "$tmp/floor") s"
        echo "$size|compare|${t_prog:-0}|${t_floor:-0}|$t_peer|$files|$verdict|$detail" >>"$results"
        echo "  $size compare run $r: program ${t_prog:-?} s, floor ${t_floor:-?} s, peer $t_peer s, $verdict, $detail"
    done
    rm -rf "$work"
}

echo "load before: $(uptime)"
for size in $sizes; do
    case $size in
    full) generate full 20 5000 ;;
    tenth) generate tenth 2 500 ;;
    *) echo "unknown size $size"; exit 2 ;;
    esac
    dir=$base/$size
    case " $commands " in *" insert "* | *" delete "* | *" asciiansi "*) derive "$size" ;; esac
    for cmd in $commands; do
        case $cmd in
        change) rewrite_case "$size" change "$dir/crlf" "$dir/exp-change" ;;
        insert) rewrite_case "$size" insert "$dir/crlf" "$dir/exp-insert" ;;
        delete) rewrite_case "$size" delete "$dir/crlf" "$dir/exp-delete" ;;
        asciiansi) rewrite_case "$size" asciiansi "$dir/oem" "$dir/exp-asciiansi" ;;
        lineends) rewrite_case "$size" lineends "$dir/lf" "$dir/exp-lineends" ;;
        tabs) rewrite_case "$size" tabs "$dir/crlf" "$dir/exp-tabs" ;;
        compare) compare_case "$size" ;;
        *) echo "unknown command $cmd"; exit 2 ;;
        esac
    done
done
echo "load after: $(uptime)"

# One table: medians of the runs. A ratio is the median of the runs' ratios: the program and
# its floor or peer of one run meet the same state of the machine.
ratio() { LC_ALL=C awk -F'|' -v c="$1" '{print ($c > 0 ? $3 / $c : 0)}' | median; }
echo
LC_ALL=C printf "%-31s %-5s %6s %9s %9s %9s %8s %8s  %s\n" command tree files program floor peer prog/flr prog/peer \
    "checked (every run)"
status=0
for size in $sizes; do
    read -r hits hit_files files <"$base/$size/meta"
    for cmd in $commands; do
        grep "^$size|$cmd|" "$results" >"$tmp/rows" || continue
        p=$(cut -d'|' -f3 "$tmp/rows" | median)
        f=$(cut -d'|' -f4 "$tmp/rows" | median)
        q=$(cut -d'|' -f5 "$tmp/rows" | median)
        n=$(cut -d'|' -f6 "$tmp/rows" | median)
        verdicts=$(cut -d'|' -f7 "$tmp/rows" | sort -u | tr '\n' ' ')
        [ "$(cut -d'|' -f7 "$tmp/rows" | grep -vcx 'ok')" = 0 ] || status=1
        case $cmd in
        change) name="Ändern ($hits hits)" ;;
        insert) name="Zeilen einfügen ($hits hits)" ;;
        delete) name="Zeilen löschen ($hits hits)" ;;
        lineends) name="Linux zu Windows (LF tree)" ;;
        tabs) name="Tabulatorabstände 8 zu 4" ;;
        asciiansi) name="ASCCI zu ANSI (OEM tree)" ;;
        compare) name="Verzeichnisvergleich" ;;
        esac
        name="$name$(printf '%*s' $((31 - ${#name})) '')"   # padded by characters, not bytes
        LC_ALL=C printf "%s %-5s %6d %9.3f %9.3f %9.3f %8.2f %9.2f  %s\n" "$name" "$size" "$n" "$p" "$f" "$q" \
            "$(ratio 4 <"$tmp/rows")" "$(ratio 5 <"$tmp/rows")" "$verdicts"
    done
done
echo
cat <<EOF
seconds, medians of $runs runs (a ratio: the median of the runs' ratios); files: those rewritten
(compare: those listed). program: from the OK of the command's dialog to its closing message
box (line commands: to the close of their dialog; compare: to the filled result list). floor: a
minimal program under the same Wine doing the same file operations: read the files the command
reads, and for each file it rewrites write a temporary file, flush and replace; for the compare:
list the compare tree, then stat, open, read and compare both sides, the better of one and two
threads. peer: rg -l | xargs sed -i (change, line commands), sed -i over the rewritten files
(line ends) or over all (tabs, code pages), diff -rq (compare). checked: the program's files
against sed's byte for byte, the compare's lines against diff -rq and the read-only marks set in
the compare tree.
EOF
exit $status
