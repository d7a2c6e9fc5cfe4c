#!/usr/bin/env bash
# Installs every Debian package the build, the tests, the fixture scripts and the benchmarks need.
# Idempotent: packages already present are skipped by apt-get.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config ccache
  libgtest-dev libgmock-dev googletest libbenchmark-dev
<<<<<<< HEAD
  libblkid-dev libudev-dev libewf-dev
=======
  libblkid-dev libudev-dev libexif-dev
>>>>>>> main
  qt6-base-dev qt6-tools-dev qt6-tools-dev-tools libqt6uitools6 libqt6opengl6-dev libgl-dev
  # fixtures: file systems and partition tables
  dosfstools mtools ntfs-3g e2fsprogs fdisk attr util-linux
  # fixtures: real media and documents
  imagemagick ffmpeg libimage-exiftool-perl sqlite3 gcab p7zip-full zip gzip
  fonts-liberation fonts-freefont-ttf fonts-dejavu-core mingw-w64
  libreoffice-writer-nogui libreoffice-calc-nogui libreoffice-impress-nogui
  # oracles
  sleuthkit testdisk foremost ewf-tools gddrescue
  # tools used by tests and benchmarks
  xxd python3 time xvfb xauth mplayer strace
  # fuzzing (clang 16: clang 14 cannot compile libstdc++ 12 range views)
  clang-16 libclang-rt-16-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
echo "dependencies installed"
