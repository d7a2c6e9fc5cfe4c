#!/usr/bin/env bash
# Builds the libraries the Windows build needs and Debian ships no mingw package for, from
# Debian's own source packages (apt-get source, Debian's patches applied), static, into
# build/windows-deps/prefix. GoogleTest is built from the sources the googletest package puts in
# /usr/src/googletest. Each library is built only when its mark in the prefix is missing.
# Usage: scripts/build-windows-deps.sh [PREFIX_PARENT]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(realpath -m "${1:-build/windows-deps}")
prefix=$root/prefix
host=x86_64-w64-mingw32
jobs=${JOBS:-2}
toolchain=$PWD/cmake/mingw-w64-x86_64.cmake
mkdir -p "$root/src" "$prefix/include" "$prefix/lib/pkgconfig" "$prefix/licences"

# Unpacks Debian's source package $1 into src/ (once) and prints its folder.
fetch() {
  local dir
  dir=$(find "$root/src" -maxdepth 1 -type d -name "$1-[0-9]*" | head -n1)
  if [ -z "$dir" ]; then
    (cd "$root/src" && apt-get source -qq "$1" >/dev/null 2>&1) || {
      echo "apt-get source $1 failed: is a deb-src entry configured (install-deps.sh windows)?" >&2
      exit 1
    }
    dir=$(find "$root/src" -maxdepth 1 -type d -name "$1-[0-9]*" | head -n1)
  fi
  echo "$dir"
}

cross_env() {
  export CC=$host-gcc-posix CXX=$host-g++-posix AR=$host-ar RANLIB=$host-ranlib
  export PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig PKG_CONFIG_PATH=
  export CPPFLAGS="-I$prefix/include" LDFLAGS="-L$prefix/lib"
}

built() { [ -f "$prefix/.built-$1" ]; }
mark() { touch "$prefix/.built-$1"; }

if ! built libjpeg-turbo; then
  src=$(fetch libjpeg-turbo)
  # No SIMD: it needs nasm, and the decode check reads small pictures.
  cmake -S "$src" -B "$root/build/libjpeg-turbo" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DENABLE_SHARED=OFF \
    -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF -DWITH_JAVA=OFF >/dev/null
  cmake --build "$root/build/libjpeg-turbo" -j "$jobs" --target jpeg-static >/dev/null
  cmake --install "$root/build/libjpeg-turbo" >/dev/null 2>&1 || true
  # install also wants the tools (not built); put the library and its headers in place ourselves.
  cp "$root/build/libjpeg-turbo/libjpeg.a" "$prefix/lib/"
  cp "$src"/{jpeglib.h,jmorecfg.h,jerror.h} "$root/build/libjpeg-turbo/jconfig.h" "$prefix/include/"
  cp "$src/LICENSE.md" "$prefix/licences/libjpeg-turbo.md"
  mark libjpeg-turbo
fi

if ! built libexif; then
  src=$(fetch libexif)
  (
    cd "$src"
    [ -x configure ] || autoreconf -fi >/dev/null 2>&1
    cross_env
    ./configure -q --host=$host --prefix="$prefix" --disable-shared --enable-static --disable-nls \
      --disable-docs >/dev/null
    make -s -j "$jobs" -C libexif >/dev/null
    make -s -C libexif install >/dev/null
    make -s install-pkgconfigDATA >/dev/null
  )
  cp "$src/COPYING" "$prefix/licences/libexif.txt"
  mark libexif
fi

if ! built libewf; then
  src=$(fetch libewf)
  (
    cd "$src"
    cross_env
    # The library only: the ewf tools need more than Windows offers through mingw.
    ./configure -q --host=$host --prefix="$prefix" --disable-shared --enable-static --disable-nls \
      --without-openssl --without-libfuse --disable-python \
      --enable-winapi=yes >/dev/null
    # The folders libewf is made of, each before the ones that use it.
    for d in include common libcerror libcthreads libcdata libclocale libcnotify libcsplit libuna libcfile \
      libcpath libbfio libfcache libfdata libfvalue libmfdata; do
      make -s -j "$jobs" -C "$d" >/dev/null
    done
    make -s -C libewf install >/dev/null
    make -s -C include install >/dev/null
    make -s install-pkgconfigDATA >/dev/null
  )
  cp "$src/COPYING" "$prefix/licences/libewf.txt"
  mark libewf
fi

if ! built flac; then
  src=$(fetch flac)
  # libFLAC only, without Ogg (native FLAC streams are what is carved and named). Static on
  # Windows needs FLAC__NO_DLL wherever its headers are read, so the pkg-config file says so.
  cmake -S "$src" -B "$root/build/flac" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF \
    -DBUILD_CXXLIBS=OFF -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_TESTING=OFF -DBUILD_DOCS=OFF \
    -DINSTALL_MANPAGES=OFF -DWITH_OGG=OFF -DWITH_STACK_PROTECTOR=OFF -DWITH_FORTIFY_SOURCE=OFF >/dev/null
  cmake --build "$root/build/flac" -j "$jobs" >/dev/null
  cmake --install "$root/build/flac" >/dev/null
  sed -i 's|^Cflags: .*|& -DFLAC__NO_DLL|' "$prefix/lib/pkgconfig/flac.pc"
  cp "$src/COPYING.Xiph" "$prefix/licences/flac.txt"
  mark flac
fi

if ! built googletest; then
  cmake -S /usr/src/googletest -B "$root/build/googletest" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -Dgtest_disable_pthreads=OFF >/dev/null
  cmake --build "$root/build/googletest" -j "$jobs" >/dev/null
  cmake --install "$root/build/googletest" >/dev/null
  mark googletest
fi

if [ -f /usr/share/doc/libz-mingw-w64/copyright ]; then
  cp /usr/share/doc/libz-mingw-w64/copyright "$prefix/licences/zlib.txt"
fi
echo "windows libraries in $prefix"
