#!/usr/bin/python3
"""Peer side of the codec interop test: makes inputs, takes raw entry data out of zips,
builds zips around raw streams, and runs Python's own zlib, bz2 and lzma."""
import bz2
import lzma
import os
import random
import struct
import sys
import zipfile
import zlib


def gen(outdir):
    rnd = random.Random(1234)
    words = ["Datei", "Einträge", "Suche", "Größe", "Vergleich", "Ordner", "zippen", "Fehler",
             "Zeile", "0x1F3A", "Übersicht", "Kopie\r\n"]
    text = " ".join(rnd.choice(words) for _ in range(60000)).encode("cp1252")
    noise = bytes(rnd.getrandbits(8) for _ in range(40000))
    # Text with runs of noise: compressible, so 7z keeps the chosen method.
    mixed = text[:150000] + noise + text[150000:] + noise[:5000]
    # Long-distance repeats: Deflate64 uses distances beyond 32 KiB here.
    far = noise + text[:30000] + noise + text[:30000]
    files = {"mixed.bin": mixed, "far.bin": far, "one.bin": b"x", "empty.bin": b"",
             "big.bin": (text + noise) * 3}
    for name, data in files.items():
        with open(os.path.join(outdir, name), "wb") as f:
            f.write(data)


def rawentry(zpath, out):
    with zipfile.ZipFile(zpath) as z:
        info = z.infolist()[0]
    with open(zpath, "rb") as f:
        f.seek(info.header_offset)
        hdr = f.read(30)
        sig, _, flags, method, _, _, _, _, _, nlen, xlen = struct.unpack("<IHHHHHIIIHH", hdr)
        assert sig == 0x04034B50
        f.seek(info.header_offset + 30 + nlen + xlen)
        data = f.read(info.compress_size)
    with open(out, "wb") as f:
        f.write(data)
    print(info.compress_type, info.file_size, info.flag_bits)


def mkzip(zpath, raw, plain, method, flags):
    data = open(raw, "rb").read()
    src = open(plain, "rb").read()
    method, flags = int(method), int(flags)
    name = b"data.bin"
    crc = zlib.crc32(src) & 0xFFFFFFFF
    need = 63 if method in (14, 95) else 46 if method == 12 else 21 if method == 9 else 20
    local = struct.pack("<IHHHHHIIIHH", 0x04034B50, need, flags, method, 0, 0x5A21, crc, len(data),
                        len(src), len(name), 0) + name
    central = struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 63, need, flags, method, 0, 0x5A21, crc,
                          len(data), len(src), len(name), 0, 0, 0, 0, 0, 0) + name
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 1, 1, len(central), len(local) + len(data), 0)
    with open(zpath, "wb") as f:
        f.write(local + data + central + end)


def zipread(zpath, out):
    with zipfile.ZipFile(zpath) as z:
        data = z.read(z.infolist()[0])
    open(out, "wb").write(data)


def main():
    cmd, args = sys.argv[1], sys.argv[2:]
    if cmd == "gen":
        gen(*args)
    elif cmd == "rawentry":
        rawentry(*args)
    elif cmd == "mkzip":
        mkzip(*args)
    elif cmd == "zipread":
        zipread(*args)
    else:
        src = open(args[0], "rb").read()
        if cmd == "inflate":
            d = zlib.decompressobj(-15)
            res = d.decompress(src) + d.flush()
            assert d.eof, "raw deflate stream not finished"
        elif cmd == "deflate":
            c = zlib.compressobj(int(args[2]), zlib.DEFLATED, -15)
            res = c.compress(src) + c.flush()
        elif cmd == "bz2c":
            res = bz2.compress(src, 9)
        elif cmd == "bz2d":
            res = bz2.decompress(src)
        elif cmd == "alonec":
            res = lzma.compress(src, format=lzma.FORMAT_ALONE)
        elif cmd == "aloned":
            res = lzma.decompress(src, format=lzma.FORMAT_ALONE)
        elif cmd == "xzc":
            res = lzma.compress(src, format=lzma.FORMAT_XZ, check=int(args[2]))
        elif cmd == "xzd":
            res = lzma.decompress(src, format=lzma.FORMAT_XZ)
        else:
            sys.exit("unknown command " + cmd)
        open(args[1], "wb").write(res)


main()
