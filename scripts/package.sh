#!/usr/bin/env bash
# Builds the Debian package of the two programs (build/programs/salvora_<version>_<arch>.deb) and
# checks it: lintian, and desktop-file-validate on the desktop entry. With --chroot it also installs
# the package with apt-get into a fresh Debian chroot (debootstrap) and recovers the sample card with
# the installed salvora-cli.   Usage: scripts/package.sh [--chroot]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh package
cmake --preset programs >/dev/null
cmake --build --preset programs -j 2
(cd build/programs && cpack -G DEB >/dev/null)
deb=$(ls -t build/programs/salvora_*.deb | head -n 1)
echo "package: $deb"
dpkg-deb --field "$deb" Depends Recommends
desktop-file-validate packaging/salvora.desktop && echo "desktop entry: valid"
echo "lintian:"
lintian --no-tag-display-limit "$deb" || true

[ "${1:-}" = "--chroot" ] || exit 0
root=build/chroot
if [ ! -x "$root/usr/bin/apt-get" ]; then
  rm -rf "$root"
  debootstrap --variant=minbase bookworm "$root" http://deb.debian.org/debian >/dev/null
fi
mkdir -p build && bash scripts/make-sample-card.sh build/sample-card.img build/sample-originals
cp "$deb" build/sample-card.img "$root/tmp/"
chroot "$root" /bin/sh -c "apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq /tmp/$(basename "$deb") >/dev/null"
rm -rf "$root/tmp/recovered"
chroot "$root" salvora-cli recover /tmp/sample-card.img --to /tmp/recovered
find "$root/tmp/recovered" -type f | sed "s|^$root||" | sort
