#!/usr/bin/python3
"""Oracle side of the zip format peer checks: builds test archives with Python's zipfile or
by hand, lists archives the way zipfmt_tool's directory listing should read them, and
checks archives that zipfmt_tool wrote."""
import os
import struct
import sys
import time
import zipfile

os.environ["TZ"] = "Europe/Berlin"
time.tzset()

FT_EPOCH = 116444736000000000


def raw_name(info):
    """The name's bytes as they stand in the central header."""
    if info.flag_bits & 0x800:
        return info.filename.encode("utf-8")
    return info.orig_filename.encode("cp437")


def decode_like_reader(raw, flags):
    """The reader's rule: UTF-8 with bit 11 or a multi-byte sequence, else ASCII, else 850;
    characters that code page 1252 lacks become '_'."""
    text = None
    if flags & 0x800:
        text = raw.decode("utf-8", errors="surrogateescape")
    elif any(b >= 0x80 for b in raw):
        try:
            text = raw.decode("utf-8")
        except UnicodeDecodeError:
            text = raw.decode("cp850")
    else:
        text = raw.decode("ascii")
    out = []
    for ch in text:
        try:
            ch.encode("cp1252")
            out.append(ch)
        except UnicodeEncodeError:
            out.append("_")
    return "".join(out)


def apply_extra(block, times):
    unix_seen = False
    p = 0
    while len(block) - p >= 4:
        ident, size = struct.unpack_from("<HH", block, p)
        if p + 4 + size > len(block):
            break
        data = block[p + 4:p + 4 + size]
        if ident == 0x000A:
            off = 4
            while off + 4 <= size:
                tag, tsize = struct.unpack_from("<HH", data, off)
                if off + 4 + tsize > size:
                    break
                if tag == 1 and tsize >= 24:
                    ft = struct.unpack_from("<Q", data, off + 4)[0]
                    times["mod"] = 0 if ft <= FT_EPOCH else min((ft - FT_EPOCH) // 10**7, 0x7FFFFFFF)
                off += 4 + tsize
        elif ident == 0x5455:
            unix_seen = True
            if size >= 5 and data[0] & 1:
                times["mod"] = struct.unpack_from("<i", data, 1)[0]
        elif ident == 0x5855:
            if size >= 8 and not unix_seen:
                times["mod"] = struct.unpack_from("<i", data, 4)[0]
        elif ident == 0x7855:
            unix_seen = True
        p += 4 + size


def local_extra(f, offset):
    f.seek(offset)
    head = f.read(30)
    n, e = struct.unpack_from("<HH", head, 26)
    f.seek(offset + 30 + n)
    return f.read(e)


def pylist(path):
    with zipfile.ZipFile(path) as z, open(path, "rb") as f:
        for i in z.infolist():
            name = decode_like_reader(raw_name(i), i.flag_bits)
            folder = name.endswith("/")
            if folder:
                name = name[:-1]
            attr = i.external_attr & 0xFF
            if folder and i.file_size == 0:
                attr |= 0x10
            y, mo, d, h, mi, s = i.date_time
            times = {"mod": int(time.mktime((y, mo, d, h, mi, s, 0, 0, -1)))}
            apply_extra(i.extra, times)
            apply_extra(local_extra(f, i.header_offset), times)
            print("\t".join([
                name, str(i.file_size), str(i.compress_size), "%08x" % i.CRC, str(i.header_offset),
                str(i.compress_type), "%04x" % (i.flag_bits & 0x1FFF),
                "%04d-%02d-%02d %02d:%02d:%02d" % i.date_time, "%02x" % attr, str(times["mod"])]))


def mkcp850(path):
    """Names in code page 850 with bit 11 clear, and a code page 850 comment."""
    original = zipfile.ZipInfo._encodeFilenameFlags

    def cp850(self):
        try:
            return self.filename.encode("ascii"), self.flag_bits
        except UnicodeEncodeError:
            return self.filename.encode("cp850"), self.flag_bits & ~0x800

    zipfile.ZipInfo._encodeFilenameFlags = cp850
    try:
        with zipfile.ZipFile(path, "w") as z:
            for name, data in [("Grüße/Müller.txt", b"hallo"), ("ÄÖÜäöüß.txt", b"x" * 100),
                               ("Grüße/", b""), ("plain.txt", b"p")]:
                info = zipfile.ZipInfo(name, (2022, 12, 24, 18, 30, 2))
                if name.endswith("/"):
                    info.external_attr = 0x10
                z.writestr(info, data)
            z.comment = "Frohe Weihnachten, Grüße".encode("cp850")
    finally:
        zipfile.ZipInfo._encodeFilenameFlags = original


def _local(name, crc, csize, usize, flags=0, extra=b"", version=10):
    return struct.pack("<IHHHHHIIIHH", 0x04034B50, version, flags, 0, 0x9A00, 0x5590, crc,
                       csize, usize, len(name), len(extra)) + name + extra


def _central(name, crc, csize, usize, offset, flags=0, extra=b"", version=10):
    return struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 0x0B17, version, flags, 0, 0x9A00,
                       0x5590, crc, csize, usize, len(name), len(extra), 0, 0, 0, 0x20,
                       offset) + name + extra


def _end(count, size, start, zip64=False, record=0):
    out = b""
    if zip64:
        out += struct.pack("<IQHHIIQQQQ", 0x06064B50, 44, 45, 45, 0, 0, count, count, size, start)
        out += struct.pack("<IIQI", 0x07064B50, 0, record, 1)
    out += struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, min(count, 0xFFFF), min(count, 0xFFFF),
                       min(size, 0xFFFFFFFF), 0xFFFFFFFF if zip64 else start, 0)
    return out


def mkdesc(path):
    """Stored entries followed by a 12-byte descriptor (no signature) and a Zip64 24-byte one."""
    import zlib
    body = b""
    central = b""
    entries = [(b"ohne-signatur.txt", b"twelve byte descriptor", "12"),
               (b"zip64-deskriptor.txt", b"twenty-four byte descriptor", "24"),
               (b"mit-signatur.txt", b"sixteen", "16")]
    for name, data, kind in entries:
        crc = zlib.crc32(data)
        offset = len(body)
        if kind == "24":
            extra = struct.pack("<HHQQ", 1, 16, 0, 0)
            body += _local(name, 0, 0xFFFFFFFF, 0xFFFFFFFF, 8, extra, 45) + data
            body += struct.pack("<IIQQ", 0x08074B50, crc, len(data), len(data))
        else:
            body += _local(name, 0, 0, 0, 8) + data
            if kind == "12":
                body += struct.pack("<III", crc, len(data), len(data))
            else:
                body += struct.pack("<IIII", 0x08074B50, crc, len(data), len(data))
        central += _central(name, crc, len(data), len(data), offset, 8)
    with open(path, "wb") as f:
        f.write(body + central + _end(len(entries), len(central), len(body)))


def mkmany(path, count):
    with zipfile.ZipFile(path, "w") as z:
        for i in range(count):
            z.writestr(zipfile.ZipInfo("d%02d/f%05d.txt" % (i % 50, i), (2023, 8, 1, 10, 0, 0)), b"")


def mkbig(path):
    """A 5 GiB stored entry whose data is a hole, and a small entry behind it beyond 4 GiB."""
    import zlib
    big = 5 << 30
    name = b"gross.bin"
    extra = struct.pack("<HHQQ", 1, 16, big, big)
    central = b""
    with open(path, "wb") as f:
        f.write(_local(name, 0x12345678, 0xFFFFFFFF, 0xFFFFFFFF, 0, extra, 45))
        f.truncate(f.tell() + big)
        f.seek(0, 2)
        central += _central(name, 0x12345678, 0xFFFFFFFF, 0xFFFFFFFF, 0, 0,
                            struct.pack("<HHQQ", 1, 16, big, big), 45)
        second = f.tell()
        data = b"hinter der Grenze"
        f.write(_local(b"klein.txt", zlib.crc32(data), len(data), len(data)) + data)
        central += _central(b"klein.txt", zlib.crc32(data), len(data), len(data), 0xFFFFFFFF, 0,
                            struct.pack("<HHQ", 1, 8, second), 45)
        start = f.tell()
        f.write(central)
        f.write(_end(2, len(central), start, True, f.tell()))


def checkwritten(path, entries):
    """Compares an archive written by zipfmt_tool with its entry list, field by field."""
    want = []
    comment = None
    with open(entries, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if not line:
                continue
            parts = line.split("\t")
            if parts[0] == "#comment":
                comment = parts[1]
                continue
            want.append(parts)
    bad = []
    with zipfile.ZipFile(path) as z:
        infos = z.infolist()
        if len(infos) != len(want):
            print("entry count %d, want %d" % (len(infos), len(want)))
            return 1
        got_comment = z.comment
        for info, (name, kind, arg, mtime, attrs) in zip(infos, want):
            mtime = int(mtime)
            expect_name = name + ("/" if kind == "dir" else "")
            raw = raw_name(info)
            try:
                cp850 = expect_name.encode("cp850")
                pair = any(cp850[k] >= 0xC0 and cp850[k + 1] >= 0x80 for k in range(len(cp850) - 1))
                utf8 = pair
            except UnicodeEncodeError:
                utf8 = True
            expect_raw = expect_name.encode("utf-8") if utf8 else expect_name.encode("cp850")
            checks = [
                ("raw name", raw, expect_raw),
                ("utf-8 flag", bool(info.flag_bits & 0x800), utf8),
                ("flags", info.flag_bits & ~0x800, 0),
                ("made by", (info.create_system, info.create_version), (11, 23)),
                ("attributes", info.external_attr, int(attrs, 16) | (0x10 if kind == "dir" else 0)),
            ]
            t = mtime + (mtime & 1)
            lt = time.localtime(t)
            checks.append(("date_time", info.date_time, tuple(lt[:6]) if lt.tm_year >= 1980
                           else (1980, 1, 1, 0, 0, 0)))
            if kind == "text":
                checks.append(("data", z.read(info), arg.encode("utf-8")))
            size = int(arg) if kind == "sparse" else len(arg.encode("utf-8")) if kind == "text" else 0
            checks.append(("size", (info.file_size, info.compress_size), (size, size)))
            zip64 = size >= 0xFFFFFFFF or info.header_offset >= 0xFFFFFFFF
            checks.append(("version needed", info.extract_version, 45 if zip64 else 10))
            # Central extra: [Zip64], extended timestamp with three times, NTFS times.
            ext = info.extra
            if zip64:
                n = struct.unpack_from("<H", ext, 2)[0]
                ext = ext[4 + n:]
            access, create = mtime + 60, mtime - 86400
            ft = lambda s: s * 10**7 + FT_EPOCH if s > 0 else 0
            expect_ext = struct.pack("<HHBiii", 0x5455, 13, 7, mtime, access, create)
            expect_ext += struct.pack("<HHIHHQQQ", 0x000A, 32, 0, 1, 24, ft(mtime), ft(access),
                                      ft(create))
            checks.append(("central extra", ext, expect_ext))
            for what, got, exp in checks:
                if got != exp:
                    bad.append("%s: %s: got %r, want %r" % (name, what, got, exp))
        if comment is not None:
            enc = comment.encode("cp850", errors="replace")
            try:
                comment.encode("cp850")
            except UnicodeEncodeError:
                enc = comment.encode("utf-8")
            if got_comment != enc:
                bad.append("comment: got %r, want %r" % (got_comment, enc))
    for line in bad:
        print(line)
    return 1 if bad else 0


if __name__ == "__main__":
    cmd = sys.argv[1]
    if cmd == "pylist":
        pylist(sys.argv[2])
    elif cmd == "mkcp850":
        mkcp850(sys.argv[2])
    elif cmd == "mkdesc":
        mkdesc(sys.argv[2])
    elif cmd == "mkmany":
        mkmany(sys.argv[2], int(sys.argv[3]))
    elif cmd == "mkbig":
        mkbig(sys.argv[2])
    elif cmd == "checkwritten":
        sys.exit(checkwritten(sys.argv[2], sys.argv[3]))
    else:
        sys.exit("unknown command " + cmd)
