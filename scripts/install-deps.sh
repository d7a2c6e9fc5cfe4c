#!/usr/bin/env bash
# Installs the Debian packages one layer of the work needs, with every layer below it:
#   build    compiler, libraries and Qt: what building and running the two programs needs
#   sample   + the tools that make the bundled sample card (the main job)
#   package  + what building and checking the Debian package needs
#   test     + the file-system tools, media makers, oracles and helpers of the test suite and benchmarks
#   fuzz     + clang for the libFuzzer targets
#   windows  the sample layer + mingw-w64, Wine and the tools that build libjpeg-turbo, libewf, flac,
#            libexif and GoogleTest for Windows from Debian's sources (apt-get source, with a
#            deb-src entry added when there is none), into build/windows-deps (rebuilt only when
#            missing)
#   all      every layer (the default: CI and scripts/test.sh)
# Idempotent: packages already present are skipped. Usage: scripts/install-deps.sh [LAYER]
set -euo pipefail
layer=${1:-all}

build=(
  build-essential cmake ninja-build pkg-config ccache
  libblkid-dev libudev-dev libexif-dev zlib1g-dev libjpeg62-turbo-dev libewf-dev libflac-dev
  libheif-dev
  qt6-base-dev qt6-tools-dev qt6-tools-dev-tools libqt6uitools6 libqt6opengl6-dev libgl-dev
  # WebP previews in the desktop program; Qt's own texts in the chosen language
  qt6-image-formats-plugins qt6-translations-l10n
)
sample=(dosfstools mtools imagemagick fonts-liberation)
package=(dpkg-dev fakeroot lintian desktop-file-utils debootstrap)
test=(
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  # file systems and partition tables
  dosfstools mtools ntfs-3g e2fsprogs fdisk attr util-linux exfatprogs exfat-fuse
  # real media and documents
  imagemagick ffmpeg libimage-exiftool-perl sqlite3 gcab p7zip-full zip gzip libjpeg-turbo-progs
  libheif-examples webp flac
  fonts-liberation fonts-freefont-ttf fonts-dejavu-core mingw-w64
  libreoffice-writer-nogui libreoffice-calc-nogui libreoffice-impress-nogui
  # oracles
  sleuthkit testdisk foremost ewf-tools gddrescue
  # tools used by tests and benchmarks
  xxd python3 time xvfb xauth mplayer strace
  # a source read at card speed for the camera-card benchmark (nbdkit's rate filter under nbdfuse)
  nbdkit nbdfuse
)
# clang 16: clang 14 cannot compile libstdc++ 12 range views
fuzz=(clang-16 libclang-rt-16-dev)
# zlib has a Debian package for mingw; the other libraries are built from Debian's sources.
windows=(
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix libz-mingw-w64-dev wine64
  dpkg-dev autoconf automake libtool autopoint make googletest
)

packages=("${build[@]}")
case "$layer" in
  build) ;;
  sample) packages+=("${sample[@]}") ;;
  package) packages+=("${sample[@]}" "${package[@]}") ;;
  test) packages+=("${sample[@]}" "${package[@]}" "${test[@]}") ;;
  fuzz) packages+=("${sample[@]}" "${package[@]}" "${test[@]}" "${fuzz[@]}") ;;
  windows) packages+=("${sample[@]}" "${windows[@]}") ;;
  all) packages+=("${sample[@]}" "${package[@]}" "${test[@]}" "${fuzz[@]}" "${windows[@]}") ;;
  *) echo "usage: install-deps.sh [build|sample|package|test|fuzz|windows|all]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# apt-get source needs a deb-src entry for the suites the machine installs from.
add_deb_src() {
  if grep -rqs '^Types:.*deb-src\|^deb-src ' /etc/apt/sources.list /etc/apt/sources.list.d/; then return; fi
  local suites
  suites=$(grep -hs '^Suites:' /etc/apt/sources.list.d/debian.sources | head -n1 | cut -d' ' -f2-)
  cat >/etc/apt/sources.list.d/debian-src.sources <<SOURCES
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: ${suites:-bookworm bookworm-updates}
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
  apt-get update -qq
}

if [ "$layer" = windows ] || [ "$layer" = all ]; then
  add_deb_src
  bash "$(dirname "$0")/build-windows-deps.sh"
fi
echo "dependencies installed ($layer)"
