#!/usr/bin/env bash
# Peer check of the text search: the engine's grep-like tool (under Wine) and GNU grep must
# report the same lines (path and line number) on a generated folder of text files, for
# literal, ignore-case and whole-word searches.
# Usage: textsearch_peer.sh <textsearch_grep.exe> <source folder>
set -u
tool=$1
src=$2
work=$(mktemp -d /tmp/vm_textsearch_peer.XXXXXX)
trap 'rm -rf "$work"' EXIT
corpus=$work/corpus
/usr/bin/python3 - "$corpus" <<'PY'
import os, random, sys
root = sys.argv[1]
rnd = random.Random(4711)
words = ["foo", "bar", "Foo", "BAR", "foobar", "x_1", "x_10", "_x_1", "baz", "the", "a", "fo", "oo",
         "Bar9", "bar_", "qux", "fooBar", "1foo", "foo1", "(foo)", "foo.bar", "bar-foo", "\t"]
for d in range(12):
    sub = os.path.join(root, "d%d" % d, "e%d" % (d % 3))
    os.makedirs(sub, exist_ok=True)
    for f in range(15):
        eol = b"\r\n" if (d + f) % 4 == 0 else b"\n"
        lines = []
        for l in range(rnd.randint(0, 120)):
            n = rnd.randint(0, 14) if l % 50 else rnd.randint(200, 400)   # some long lines
            lines.append(" ".join(rnd.choice(words) for _ in range(n)).encode())
        data = eol.join(lines)
        if f % 3:
            data += eol
        with open(os.path.join(sub, "f%d.txt" % f), "wb") as fh:
            fh.write(data)
PY
fail=0
check() {
    local name=$1 needle=$2; shift 2
    (cd "$corpus" && LC_ALL=C grep -F -a -n -r "$@" -- "$needle" . ) | sed 's|^\./||' | cut -d: -f1,2 | sort -u >"$work/want"
    local ours=()
    for o in "$@"; do ours+=("$o"); done
    "$src/scripts/wine-run.sh" "$tool" "${ours[@]}" "$needle" "Z:$corpus" 2>"$work/err" | cut -d: -f1,2 | sort -u >"$work/got"
    if ! cmp -s "$work/want" "$work/got"; then
        echo "DIFFER: $name ($(wc -l <"$work/want") lines from grep, $(wc -l <"$work/got") from the engine)"
        diff "$work/want" "$work/got" | head -20
        cat "$work/err"
        fail=1
    else
        echo "ok: $name ($(wc -l <"$work/got") lines)"
    fi
}
check literal foo
check literal-long "foo bar"
check ignore-case FoO -i
check whole-words bar -w
check whole-words-underscore x_1 -w
check ignore-case-whole-words Bar -i -w
check whole-words-punctuation "(foo)" -w
check no-hits zzz
exit $fail
