#!/usr/bin/env bash
# Cross-builds libbzip2 and the LZMA SDK from Debian's source packages into static
# libraries under BUILD/deps. Built once; a stamp file makes later calls return at once.
# Usage: build-deps.sh BUILD_DIR
set -euo pipefail
build=$(realpath -m "${1:?usage: build-deps.sh BUILD_DIR}")
deps="$build/deps"
stamp="$deps/.built-v1"
[ -f "$stamp" ] && exit 0

CC=${CC:-i686-w64-mingw32-gcc-posix}
AR=${AR:-i686-w64-mingw32-ar}
# -fexceptions: our C++ callbacks run inside these libraries' frames.
CFLAGS="-O2 -fexceptions -Wno-unused-but-set-variable"
rm -rf "$deps"
mkdir -p "$deps/src" "$deps/lib" "$deps/include/bzip2" "$deps/include/lzma"

cd "$deps/src"
apt-get source -q bzip2 lzma >/dev/null 2>&1 || apt-get source bzip2 lzma

# libbzip2 1.0.8
bzdir=$(find . -maxdepth 1 -type d -name 'bzip2-*' | head -n1)
mkdir -p obj-bz2
for f in blocksort huffman crctable randtable compress decompress bzlib; do
  "$CC" $CFLAGS -D_FILE_OFFSET_BITS=64 -c "$bzdir/$f.c" -o "obj-bz2/$f.o"
done
"$AR" rcs "$deps/lib/libbz2.a" obj-bz2/*.o
cp "$bzdir/bzlib.h" "$deps/include/bzip2/"

# LZMA SDK 9.22 (C part)
lzdir=$(find . -maxdepth 1 -type d -name 'lzma-*' | head -n1)
mkdir -p obj-lzma
for f in LzmaEnc LzmaDec LzFind LzFindMt Threads Lzma2Enc Lzma2Dec MtCoder Xz XzCrc64 XzDec XzEnc \
         7zCrc 7zCrcOpt Alloc Bra Bra86 BraIA64 Sha256 CpuArch Delta; do
  "$CC" $CFLAGS -c "$lzdir/C/$f.c" -o "obj-lzma/$f.o"
done
"$AR" rcs "$deps/lib/liblzmasdk.a" obj-lzma/*.o
cp "$lzdir"/C/*.h "$deps/include/lzma/"

touch "$stamp"
