#!/usr/bin/env bash
# Cross-builds the third-party libraries for i686-w64-mingw32 from Debian source packages into a
# versioned prefix inside the build root. Runs inside the root (scripts/buildroot.sh run ...).
# Static libraries only. The 3D engine is only unpacked here: our CMake compiles it with our changes.
#
#   scripts/deps.sh          build what is missing, print the prefix
set -euo pipefail

DEPS_VERSION=1
PREFIX=${QIRN_DEPS:-/opt/qirn-deps/v$DEPS_VERSION}
SRC="$PREFIX/src"
HOST=i686-w64-mingw32
CC="$HOST-gcc-posix"
CXX="$HOST-g++-posix"
AR="$HOST-ar"
RANLIB="$HOST-ranlib"
CFLAGS="-O2 -msse2 -mfpmath=sse"
JOBS=$(nproc)
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
TOOLCHAIN="$HERE/../cmake/toolchain-i686-mingw.cmake"

log() { echo "deps: $*" >&2; }

if [ -z "${QIRN_IN_ROOT:-}" ]; then
  echo "deps.sh runs inside the build root: scripts/buildroot.sh run scripts/deps.sh" >&2
  exit 2
fi

mkdir -p "$PREFIX/include" "$PREFIX/lib" "$SRC"
# The root is shared by every clone's runs: one of them builds what is missing, the others wait for it.
exec 9>"$PREFIX/.qirn-deps.lock"
flock 9

# Unpacks a Debian source package once; prints its folder. The package's own patches are applied
# when its description is served; otherwise the upstream tarball is unpacked as it stands.
fetch() {
  local pkg=$1 dir work="$SRC/$1.fetch"
  dir=$(cat "$SRC/.unpacked-$pkg" 2>/dev/null || true)
  if [ -z "$dir" ] || [ ! -d "$dir" ]; then
    log "fetching source package $pkg"
    rm -rf "$work" && mkdir -p "$work"
    (cd "$work" && apt-get source -q --download-only "$pkg" >"$SRC/fetch-$pkg.log" 2>&1) || true
    local dsc orig
    dsc=$(ls "$work"/*.dsc 2>/dev/null | head -n 1 || true)
    orig=$(ls "$work"/*.orig.tar.* 2>/dev/null | grep -v '\.asc$' | head -n 1 || true)
    if [ -n "$dsc" ] && [ -n "$(ls "$work"/*.debian.tar.* 2>/dev/null)" ]; then
      (cd "$work" && dpkg-source -x "$dsc" unpacked >>"$SRC/fetch-$pkg.log" 2>&1)
    elif [ -n "$orig" ]; then
      mkdir -p "$work/unpacked"
      tar -xf "$orig" -C "$work/unpacked" --strip-components=1
    else
      tail -n 20 "$SRC/fetch-$pkg.log" >&2
      log "no source for $pkg"
      exit 1
    fi
    dir="$work/unpacked"
    echo "$dir" >"$SRC/.unpacked-$pkg"
  fi
  echo "$dir"
}

# A library whose build changed gets a new mark name (name-rN), so that existing prefixes rebuild it.
declare -A MARK_NAMES=([iniparser]=iniparser-r2)
done_mark() { echo "$PREFIX/.built-${MARK_NAMES[$1]:-$1}"; }

# Compiles a list of C files into one static library.
static_lib() {
  local name=$1 srcdir=$2 extra=$3
  shift 3
  local obj="$srcdir/.qirn-obj"
  rm -rf "$obj" && mkdir -p "$obj"
  local f objs=()
  for f in "$@"; do
    "$CC" $CFLAGS $extra -c "$srcdir/$f" -o "$obj/$(basename "${f%.c}").o"
    objs+=("$obj/$(basename "${f%.c}").o")
  done
  rm -f "$PREFIX/lib/$name"
  "$AR" rcs "$PREFIX/lib/$name" "${objs[@]}"
}

cmake_dep() {
  local srcdir=$1
  shift
  local bdir="$srcdir/.qirn-build"
  rm -rf "$bdir"
  cmake -S "$srcdir" -B "$bdir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$PREFIX" -DCMAKE_PREFIX_PATH="$PREFIX" \
    -DCMAKE_POLICY_VERSION_MINIMUM=3.5 "$@" >"$bdir.log" 2>&1 || { tail -n 30 "$bdir.log" >&2; exit 1; }
  cmake --build "$bdir" -j "$JOBS" >>"$bdir.log" 2>&1 || { tail -n 30 "$bdir.log" >&2; exit 1; }
  cmake --install "$bdir" >>"$bdir.log" 2>&1 || { tail -n 30 "$bdir.log" >&2; exit 1; }
}

build_zlib() {
  local d
  d=$(fetch zlib)
  log "zlib"
  static_lib libz.a "$d" "" adler32.c compress.c crc32.c deflate.c gzclose.c gzlib.c gzread.c gzwrite.c \
    infback.c inffast.c inflate.c inftrees.c trees.c uncompr.c zutil.c
  cp "$d/zlib.h" "$d/zconf.h" "$PREFIX/include/"
}

build_bzip2() {
  local d
  d=$(fetch bzip2)
  log "bzip2"
  static_lib libbz2.a "$d" "" blocksort.c huffman.c crctable.c randtable.c compress.c decompress.c bzlib.c
  cp "$d/bzlib.h" "$PREFIX/include/"
}

build_libpng() {
  local d
  d=$(fetch libpng1.6)
  log "libpng"
  cmake_dep "$d" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_TOOLS=OFF -DPNG_EXECUTABLES=OFF \
    -DPNG_FRAMEWORK=OFF -DZLIB_ROOT="$PREFIX" -DZLIB_INCLUDE_DIR="$PREFIX/include" \
    -DZLIB_LIBRARY="$PREFIX/lib/libz.a" -DPNG_HARDWARE_OPTIMIZATIONS=OFF
  # One plain name for the library, whatever the package's naming.
  if [ ! -f "$PREFIX/lib/libpng.a" ]; then
    cp "$(ls "$PREFIX"/lib/libpng16*.a | head -n 1)" "$PREFIX/lib/libpng.a"
  fi
}

build_libjpeg() {
  local d
  d=$(fetch libjpeg-turbo)
  log "libjpeg-turbo"
  cmake_dep "$d" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF \
    -DWITH_JAVA=OFF -DCMAKE_INSTALL_LIBDIR="$PREFIX/lib" -DCMAKE_INSTALL_INCLUDEDIR="$PREFIX/include" \
    -DCMAKE_INSTALL_BINDIR="$PREFIX/bin" -DCMAKE_INSTALL_DATAROOTDIR="$PREFIX/share"
}

build_lua() {
  local d
  d=$(fetch lua5.2)
  log "lua5.2"
  local files=()
  local f
  for f in "$d"/src/*.c; do
    case "$(basename "$f")" in lua.c|luac.c) continue ;; esac
    files+=("src/$(basename "$f")")
  done
  static_lib liblua52.a "$d" "-DLUA_COMPAT_ALL" "${files[@]}"
  mkdir -p "$PREFIX/include/lua5.2"
  cp "$d"/src/lua.h "$d"/src/luaconf.h "$d"/src/lualib.h "$d"/src/lauxlib.h "$PREFIX/include/lua5.2/"
  printf 'extern "C" {\n#include "lua.h"\n#include "lualib.h"\n#include "lauxlib.h"\n}\n' \
    >"$PREFIX/include/lua5.2/lua.hpp"
}

build_iniparser() {
  local d
  d=$(fetch iniparser)
  log "iniparser"
  # The library's own file loader is compiled under another name: Qirn defines iniparser_load itself
  # so that ini files are read through its file layer (shell/iniload.cpp), and the library's loader
  # sits in the same object file as the getters, so keeping its name would clash at link time.
  static_lib libiniparser.a "$d" "-Diniparser_load=iniparser_load_stdio" src/dictionary.c src/iniparser.c
  mkdir -p "$PREFIX/include/iniparser"
  cp "$d"/src/dictionary.h "$d"/src/iniparser.h "$PREFIX/include/iniparser/"
}

build_googletest() {
  local d
  d=$(fetch googletest)
  log "googletest"
  cmake_dep "$d" -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON -Dgtest_force_shared_crt=ON \
    -DCMAKE_INSTALL_LIBDIR=lib -DCMAKE_INSTALL_INCLUDEDIR=include
}

fetch_irrlicht() {
  local d
  d=$(fetch irrlicht)
  rm -f "$PREFIX/irrlicht-src"
  ln -s "$d" "$PREFIX/irrlicht-src"
}

for dep in zlib bzip2 libpng libjpeg lua iniparser googletest; do
  if [ ! -f "$(done_mark "$dep")" ]; then
    "build_$dep"
    touch "$(done_mark "$dep")"
  fi
done
if [ ! -f "$(done_mark irrlicht-src)" ]; then
  fetch_irrlicht
  touch "$(done_mark irrlicht-src)"
fi
echo "$PREFIX"
