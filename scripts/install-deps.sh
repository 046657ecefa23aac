#!/usr/bin/env bash
# Installs everything the build and the tests need on a Debian 12 machine (run as root).
# Idempotent: packages already present are skipped by apt, the German locale is generated once.
set -euo pipefail

need_root() { [ "$(id -u)" = 0 ] || { echo "install-deps.sh must run as root" >&2; exit 1; }; }
need_root
export DEBIAN_FRONTEND=noninteractive

# Source packages for bzip2 and the LZMA SDK, from the same mirrors as the binary packages.
src_list=/etc/apt/sources.list.d/vellmorant-src.sources
if [ ! -f "$src_list" ]; then
  cat > "$src_list" <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  rm -f /var/lib/apt/lists/.vellmorant-updated
fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  rm -f /var/lib/apt/lists/.vellmorant-updated
fi

pkgs=(g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 libz-mingw-w64-dev
      cmake ninja-build make dpkg-dev
      wine wine32 fonts-wine xvfb xauth x11-utils imagemagick locales
      zip unzip p7zip-full python3 python3-ppmd python3-cryptography googletest ripgrep)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ] || [ ! -f /var/lib/apt/lists/.vellmorant-updated ]; then
  apt-get update -q
  touch /var/lib/apt/lists/.vellmorant-updated
fi
if [ ${#missing[@]} -gt 0 ]; then
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# Wine's own fonts (Marlett for caption buttons and glyphs, Tahoma, ...): Debian's Wine 8 does
# not find them where fonts-wine puts them, but takes every font that fontconfig knows.
wine_fonts=/etc/fonts/conf.d/60-vellmorant-wine-fonts.conf
if [ -d /etc/fonts/conf.d ] && [ ! -f "$wine_fonts" ]; then
  cat > "$wine_fonts" <<'FONTS'
<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  <dir>/usr/share/wine/fonts</dir>
</fontconfig>
FONTS
  fc-cache -f /usr/share/wine/fonts >/dev/null 2>&1 || true
fi

# German locale: Wine then uses ANSI code page 1252 and OEM 850.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  sed -i 's/^# *\(de_DE.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen
fi
