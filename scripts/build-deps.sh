#!/usr/bin/env bash
# Cross-builds libbzip2, the LZMA SDK and zlib from Debian's source packages into static
# libraries under BUILD/deps. Built once; stamp files make later calls return at once.
# Usage: build-deps.sh BUILD_DIR
set -euo pipefail
build=$(realpath -m "${1:?usage: build-deps.sh BUILD_DIR}")
deps="$build/deps"
stamp="$deps/.built-v1"
zstamp="$deps/.built-zlib-v1"
[ -f "$stamp" ] && [ -f "$zstamp" ] && exit 0

CC=${CC:-i686-w64-mingw32-gcc-posix}
AR=${AR:-i686-w64-mingw32-ar}
# -fexceptions: our C++ callbacks run inside these libraries' frames.
CFLAGS="-O2 -fexceptions -Wno-unused-but-set-variable"

build_zlib() {
  # zlib 1.2.13. MinGW's packaged build is about a quarter slower at deflate: x86 reads
  # unaligned words (UNALIGNED_OK compares two bytes at once in the match search) and -O3
  # unrolls the hot loops. Built without unwind tables: nothing is thrown through it.
  mkdir -p "$deps/src" "$deps/lib" "$deps/include/zlib"
  cd "$deps/src"
  [ -n "$(find . -maxdepth 1 -type d -name 'zlib-*')" ] ||
    apt-get source -q zlib >/dev/null 2>&1 || apt-get source zlib
  local zdir
  zdir=$(find . -maxdepth 1 -type d -name 'zlib-*' | head -n1)
  rm -rf obj-zlib
  mkdir -p obj-zlib
  for f in adler32 crc32 deflate inflate inftrees inffast trees zutil compress uncompr; do
    "$CC" -O3 -DUNALIGNED_OK -c "$zdir/$f.c" -o "obj-zlib/$f.o"
  done
  rm -f "$deps/lib/libz.a"
  "$AR" rcs "$deps/lib/libz.a" obj-zlib/*.o
  cp "$zdir/zlib.h" "$zdir/zconf.h" "$deps/include/zlib/"
  touch "$zstamp"
}

if [ -f "$stamp" ]; then
  build_zlib
  exit 0
fi
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
build_zlib
