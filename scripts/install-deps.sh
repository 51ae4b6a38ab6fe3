#!/usr/bin/env bash
# Installs every Debian package the build, the tests and `make run` need.
# Idempotent: a second run with everything present returns at once.
set -euo pipefail

PKGS=(
  wine wine32:i386 g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix
  binutils-mingw-w64-i686 mingw-w64-i686-dev libz-mingw-w64-dev
  cmake make ninja-build xvfb xauth openbox imagemagick x11-utils googletest
  dpkg-dev crudini python3-pyftpdlib vsftpd lame twolame mpg123 sox
  clang libclang-rt-14-dev
  cksfv sharutils mpack dos2unix uudeview dosfstools mtools
  python3-pil libjpeg-turbo-progs libpng-dev libjpeg62-turbo-dev
  libtiff-dev libtiff-tools netpbm python3-dbfread
  wine64 g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
  rsync zip unzip p7zip-full zlib1g-dev
  tango-icon-theme
)

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo

# Several builds on one machine (worktrees, CI beside a developer) wait for
# each other here instead of failing on apt's own lock.
exec 9>"${TMPDIR:-/tmp}/zq-vandrell-install-deps.lock"
flock 9

missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
need_src=0
grep -rqs "^Types:.*deb-src" /etc/apt/sources.list.d/ /etc/apt/sources.list || need_src=1
need_i386=0
dpkg --print-foreign-architectures | grep -qx i386 || need_i386=1

if [ ${#missing[@]} -eq 0 ] && [ $need_src -eq 0 ] && [ $need_i386 -eq 0 ]; then
  exit 0
fi

if [ $need_i386 -eq 1 ]; then
  $SUDO dpkg --add-architecture i386
fi
if [ $need_src -eq 1 ]; then
  # Source packages for the target libraries (libpng, libjpeg-turbo, libtiff).
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    $SUDO sed -i 's/^Types: deb$/Types: deb deb-src/' /etc/apt/sources.list.d/debian.sources
  fi
  grep -rqs "^Types:.*deb-src\|^deb-src" /etc/apt/sources.list.d/ /etc/apt/sources.list ||
    echo "deb-src http://deb.debian.org/debian bookworm main" | $SUDO tee /etc/apt/sources.list.d/vandrell-src.list >/dev/null
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get -o DPkg::Lock::Timeout=600 update -qq
$SUDO apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${PKGS[@]}" >/dev/null
# vsftpd's package starts a system service on port 21; the tests run their own.
if command -v systemctl >/dev/null 2>&1; then $SUDO systemctl disable --now vsftpd >/dev/null 2>&1 || true; fi
$SUDO service vsftpd stop >/dev/null 2>&1 || true
