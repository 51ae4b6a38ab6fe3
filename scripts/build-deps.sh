#!/usr/bin/env bash
# Builds libpng, libjpeg-turbo and libtiff for the 32-bit Windows target from
# Debian's source packages, static, into a cache outside the build tree.
# A second run finds the cache and returns at once.
#   scripts/build-deps.sh [toolchain]            build if needed
#   scripts/build-deps.sh --prefix [toolchain]   print the install prefix only
# The toolchain file defaults to the 32-bit one; the 64-bit one serves the
# test build on hosts that cannot run 32-bit code.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
print_prefix=0
if [ "${1:-}" = "--prefix" ]; then print_prefix=1; shift; fi
tc=$(cd "$root" && realpath "${1:-cmake/toolchain-mingw32.cmake}")
triple=$(sed -n 's/^set(TOOLCHAIN_PREFIX \(.*\))$/\1/p' "$tc")
key=$(cat "$0" "$tc" | sha1sum | cut -c1-12)
cache=${VANDRELL_DEPS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/zq-vandrell-deps}
prefix=$cache/$key/$triple
if [ $print_prefix = 1 ]; then echo "$prefix"; exit 0; fi
[ -f "$prefix/.complete" ] && exit 0
# One build at a time per cache entry: a second one waits and then finds
# the first one's result instead of removing its half-built tree.
mkdir -p "$cache/$key"
exec 9>"$cache/$key/.lock-$triple"
flock 9
[ -f "$prefix/.complete" ] && exit 0

src=$cache/$key/src
rm -rf "$src" "$prefix"
mkdir -p "$src" "$prefix"
cd "$src"
echo "Building target libraries into $prefix"
apt-get source -qq libpng1.6/bookworm libjpeg-turbo/bookworm tiff/bookworm >/dev/null 2>&1 ||
    apt-get source -qq libpng1.6 libjpeg-turbo tiff >/dev/null
common=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$tc" -DCMAKE_BUILD_TYPE=Release
        -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_PREFIX_PATH="$prefix"
        -DCMAKE_FIND_ROOT_PATH="$prefix;/usr/$triple"
        -DCMAKE_CROSSCOMPILING_EMULATOR= -DBUILD_SHARED_LIBS=OFF)
build() { # dir, extra cmake args...
    local dir=$1; shift
    cmake -S "$dir" -B "$dir/_b" "${common[@]}" "$@" >/dev/null
    cmake --build "$dir/_b" -j "$(nproc)" >/dev/null
    cmake --install "$dir/_b" >/dev/null
}
build "$(ls -d libjpeg-turbo-*/ | head -n1)" -DENABLE_SHARED=OFF -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF
build "$(ls -d libpng1.6-*/ | head -n1)" -DPNG_SHARED=OFF -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DPNG_TOOLS=OFF
build "$(ls -d tiff-*/ | head -n1)" -Dtiff-tools=OFF -Dtiff-tests=OFF -Dtiff-contrib=OFF -Dtiff-docs=OFF \
    -Djbig=OFF -Dlzma=OFF -Dzstd=OFF -Dwebp=OFF -Dlerc=OFF -Dlibdeflate=OFF -Dcxx=OFF
touch "$prefix/.complete"
rm -rf "$src"
