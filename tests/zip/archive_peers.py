#!/usr/bin/python3
# Checks an archive written by archive_tool against the folder it was packed from, through
# Python's zipfile (names, sizes, DOS and extra-field times, attributes, methods, data; xz and
# PPMd entries decoded with lzma and ppmd), `zipinfo -v` and `7z l -slt`.
#   archive_peers.py check ZIP SRCDIR PREFIX METHOD
# METHOD is the zip method the packer was told (-1 default, 0 store, 8, 12, 14, 95, 98).
# Exits non-zero and prints every difference.
import io
import lzma
import os
import re
import struct
import subprocess
import sys
import time
import zipfile

STORED_SUFFIXES = "zip;zoo;arc;lzh;arj;gz;cab;bz2;tgz;rar;rpm;gzip;7z;k".split(";")
COMMENT = b"Erstellt mit Vellmorant"
METHOD_NAMES_7Z = {0: "Store", 8: "Deflate", 12: "BZip2", 14: "LZMA", 95: "xz", 98: "PPMd"}
fails = []


def bad(msg):
    fails.append(msg)


def expected_entries(src, prefix):
    out = {}
    for root, dirs, files in os.walk(src):
        for f in files:
            path = os.path.join(root, f)
            rel = os.path.relpath(path, src).replace(os.sep, "/")
            out[(prefix + "/" if prefix else "") + rel] = path
    return out


def dos_time(mtime):
    t = int(mtime)
    if t & 1:
        t += 1
    lt = time.localtime(t)
    if lt.tm_year < 1980:
        return (1980, 1, 1, 0, 0, 0)
    return (lt.tm_year, lt.tm_mon, lt.tm_mday, lt.tm_hour, lt.tm_min, lt.tm_sec)


def attributes(path):
    a = 0x20
    if not os.access(path, os.W_OK) or not (os.stat(path).st_mode & 0o200):
        a |= 0x01
    if os.path.basename(path).startswith("."):
        a |= 0x02
    return a


def expect_method(name, size, method):
    suffix = name.rsplit(".", 1)[-1].lower() if "." in name.rsplit("/", 1)[-1][1:] else None
    if size == 0 or method == 0 or suffix in STORED_SUFFIXES:
        return 0
    return 8 if method == -1 else method


def raw_data(zf, raw, info):
    off = info.header_offset
    name_len, extra_len = struct.unpack("<HH", raw[off + 26:off + 30])
    start = off + 30 + name_len + extra_len
    return raw[start:start + info.compress_size]


def decode(zf, raw, info):
    if info.compress_type in (0, 8, 12, 14):
        return zf.read(info)
    data = raw_data(zf, raw, info)
    if info.compress_type == 95:
        return lzma.decompress(data, format=lzma.FORMAT_XZ)
    if info.compress_type == 98:
        import ppmd
        w = data[0] | data[1] << 8
        d = ppmd.Ppmd8Decoder(io.BytesIO(data[2:]), (w & 15) + 1, (((w >> 4) & 255) + 1) << 20, (w >> 12) & 3)
        out = d.decode(info.file_size + 1)
        d.close()
        return out
    raise ValueError("method %d" % info.compress_type)


def extra_items(extra):
    items, p = {}, 0
    while p + 4 <= len(extra):
        hid, size = struct.unpack("<HH", extra[p:p + 4])
        items[hid] = extra[p + 4:p + 4 + size]
        p += 4 + size
    return items


def disk_name(name, flags):
    """The bytes that stand in the archive for a name (code page 850, or UTF-8 with bit 11)."""
    if flags & 0x800:
        return name.encode("utf-8")
    return name.encode("cp850")


def check(zpath, src, prefix, method):
    want = expected_entries(src, prefix)
    raw = open(zpath, "rb").read()
    zf = zipfile.ZipFile(zpath, metadata_encoding=None)
    if zf.comment != COMMENT:
        bad("archive comment %r" % zf.comment)
    bad_member = zf.testzip() if all(i.compress_type in (0, 8, 12, 14) for i in zf.infolist()) else None
    if bad_member:
        bad("zipfile.testzip: %s" % bad_member)
    infos = {}
    for info in zf.infolist():
        # zipfile decodes flag-less names as cp437; the archive wrote code page 850.
        name = info.filename
        if not info.flag_bits & 0x800:
            name = name.encode("cp437").decode("cp850")
        infos[name] = info
    if set(infos) != set(want):
        bad("names differ: only in zip %s, only on disk %s" % (sorted(set(infos) - set(want)), sorted(set(want) - set(infos))))
    for name, path in sorted(want.items()):
        info = infos.get(name)
        if not info:
            continue
        st = os.stat(path)
        data = open(path, "rb").read()
        if info.file_size != st.st_size:
            bad("%s: size %d, file %d" % (name, info.file_size, st.st_size))
        if info.date_time != dos_time(st.st_mtime):
            bad("%s: DOS time %s, file %s" % (name, info.date_time, dos_time(st.st_mtime)))
        if info.external_attr & 0xFF != attributes(path):
            bad("%s: attributes %02x, file %02x" % (name, info.external_attr & 0xFF, attributes(path)))
        if info.create_system != 11 or info.create_version != 23:
            bad("%s: made by %d/%d" % (name, info.create_system, info.create_version))
        m = expect_method(name, st.st_size, method)
        # Data the method cannot shrink goes in stored.
        if info.compress_type != m and not (info.compress_type == 0 and info.compress_size == st.st_size and m in (8, 12, 98)):
            bad("%s: method %d, expected %d" % (name, info.compress_type, m))
        if info.flag_bits & ~0x802:
            bad("%s: flags %04x" % (name, info.flag_bits))
        if info.compress_type == 14 and not info.flag_bits & 2:
            bad("%s: LZMA without the end-marker flag" % name)
        items = extra_items(info.extra)
        ut = items.get(0x5455)
        if not ut or len(ut) != 13 or ut[0] != 7:
            bad("%s: extended timestamp %r" % (name, ut))
        elif struct.unpack("<I", ut[1:5])[0] != int(st.st_mtime):
            bad("%s: UT mtime %d, file %d" % (name, struct.unpack("<I", ut[1:5])[0], int(st.st_mtime)))
        if 0x000A not in items:
            bad("%s: no NTFS times" % name)
        try:
            got = decode(zf, raw, info)
        except Exception as e:  # noqa: BLE001 - any failure is a finding
            bad("%s: cannot decode: %s" % (name, e))
            continue
        if got != data:
            bad("%s: data differs (%d bytes, want %d)" % (name, len(got), len(data)))
    return want, infos


def check_zipinfo(zpath, want, infos):
    out = subprocess.run(["zipinfo", "-v", zpath], capture_output=True).stdout
    blocks = re.split(rb"\nCentral directory entry #\d+:\n-+\n", out)[1:]
    if len(blocks) != len(want):
        bad("zipinfo lists %d entries, want %d" % (len(blocks), len(want)))
    seen = set()
    for block in blocks:
        lines = [l for l in block.split(b"\n")]
        name_line = next((l.strip() for l in lines if l.strip() and b"preceding" not in l), b"")
        match = [n for n, i in infos.items() if disk_name(n, i.flag_bits) == name_line]
        if not match:
            bad("zipinfo name %r unknown" % name_line)
            continue
        name = match[0]
        seen.add(name)
        st = os.stat(want[name])
        text = block.decode("latin-1")
        size = re.search(r"uncompressed size:\s+(\d+) bytes", text)
        if not size or int(size.group(1)) != st.st_size:
            bad("zipinfo %s: size %s" % (name, size and size.group(1)))
        dt = re.search(r"\(DOS date/time\):\s+(\d+) (\w+) +(\d+) (\d+):(\d+):(\d+)", text)
        d = dos_time(st.st_mtime)
        months = ["Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"]
        if not dt or (int(dt.group(1)), months.index(dt.group(2)) + 1, int(dt.group(3)), int(dt.group(4)), int(dt.group(5)), int(dt.group(6))) != d:
            bad("zipinfo %s: DOS time %s, want %s" % (name, dt and dt.group(0), d))
        ut = re.search(r"\(UT extra field modtime\):\s+(\d+ \w+ +\d+ \d+:\d+:\d+) local", text)
        lt = time.localtime(int(st.st_mtime))
        want_ut = "%d %s %d %02d:%02d:%02d" % (lt.tm_year, months[lt.tm_mon - 1], lt.tm_mday, lt.tm_hour, lt.tm_min, lt.tm_sec)
        if not ut or re.sub(" +", " ", ut.group(1)) != want_ut:
            bad("zipinfo %s: UT time %s, want %s" % (name, ut and ut.group(1), want_ut))
        attr = re.search(r"MS-DOS file attributes \(([0-9A-Fa-f]+) hex\)", text)
        if not attr or int(attr.group(1), 16) != attributes(want[name]):
            bad("zipinfo %s: attributes %s" % (name, attr and attr.group(1)))
        if "file system or operating system of origin:      NTFS" not in text:
            bad("zipinfo %s: origin not NTFS" % name)
    if len(seen) != len(want):
        bad("zipinfo misses %s" % sorted(set(want) - seen))


def check_7z(zpath, want, infos):
    out = subprocess.run(["7z", "l", "-slt", zpath], capture_output=True).stdout
    body = out.split(b"\n----------\n", 1)[-1]
    entries = {}
    for block in body.split(b"\n\n"):
        fields = {}
        for line in block.split(b"\n"):
            if b" = " in line:
                k, v = line.split(b" = ", 1)
                fields[k.decode()] = v
            elif line.endswith(b" ="):
                fields[line[:-2].decode()] = b""
        if b"Path" in fields.get("Path", b"") or "Path" in fields:
            entries[fields["Path"]] = fields
    if len(entries) != len(want):
        bad("7z lists %d entries, want %d" % (len(entries), len(want)))
    for name, info in infos.items():
        key = disk_name(name, info.flag_bits)
        f = entries.get(key)
        if not f:
            bad("7z does not list %r" % key)
            continue
        st = os.stat(want[name])
        if int(f.get("Size", b"-1")) != st.st_size:
            bad("7z %s: size %s" % (name, f.get("Size")))
        # 7z turns the NTFS time into local time with today's offset from UTC.
        lt = time.gmtime(int(st.st_mtime) + time.localtime().tm_gmtoff)
        want_time = "%04d-%02d-%02d %02d:%02d:%02d" % lt[:6]
        if not f.get("Modified", b"").decode().startswith(want_time):
            bad("7z %s: modified %s, want %s" % (name, f.get("Modified"), want_time))
        a = attributes(want[name])
        want_attr = ("R" if a & 1 else "") + ("H" if a & 2 else "") + "A"
        if f.get("Attributes", b"").decode() != want_attr:
            bad("7z %s: attributes %s, want %s" % (name, f.get("Attributes"), want_attr))
        m = f.get("Method", b"").decode()
        if not m.startswith(METHOD_NAMES_7Z.get(info.compress_type, "?")):
            bad("7z %s: method %s for %d" % (name, m, info.compress_type))
        if int(f.get("CRC", b"0") or b"0", 16) != info.CRC:
            bad("7z %s: CRC %s" % (name, f.get("CRC")))


def main():
    if len(sys.argv) < 6 or sys.argv[1] != "check":
        sys.exit("usage: archive_peers.py check ZIP SRCDIR PREFIX METHOD")
    zpath, src, prefix, method = sys.argv[2], sys.argv[3], sys.argv[4], int(sys.argv[5])
    want, infos = check(zpath, src, prefix, method)
    check_zipinfo(zpath, want, infos)
    check_7z(zpath, want, infos)
    for f in fails:
        print("FAIL:", f)
    sys.exit(1 if fails else 0)


if __name__ == "__main__":
    main()
