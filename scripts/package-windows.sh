#!/usr/bin/env bash
# Builds the Windows preset and zips salvora-cli.exe for Windows users:
# build/windows/salvora-<version>-win64.zip with the program (linked statically: no DLLs), a
# README for Windows users and the licences of what it bundles. Usage: scripts/package-windows.sh
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh windows >/dev/null
cmake --preset windows >/dev/null
cmake --build --preset windows -j 2 --target salvora-cli
version=$(sed -n 's/^project(salvora VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name=salvora-$version-win64
stage=build/windows/package/$name
rm -rf "build/windows/package" "build/windows/$name.zip"
mkdir -p "$stage/licences"
cp build/windows/src/salvora-cli.exe "$stage/"
x86_64-w64-mingw32-strip "$stage/salvora-cli.exe"
# Nothing but system DLLs may be needed: the runtimes and libraries are linked in.
if x86_64-w64-mingw32-objdump -p "$stage/salvora-cli.exe" | grep 'DLL Name' |
    grep -viE 'kernel32|user32|advapi32|shell32|ole32|msvcrt|ws2_32|bcrypt|api-ms-win'; then
  echo "salvora-cli.exe needs a DLL that is not part of Windows" >&2
  exit 1
fi
sed "s/@VERSION@/$version/" packaging/windows/README-Windows.txt | sed 's/$/\r/' >"$stage/README.txt"
prefix=build/windows-deps/prefix/licences
for licence in "$prefix"/*; do cp "$licence" "$stage/licences/"; done
cp /usr/share/doc/gcc-mingw-w64-base/copyright "$stage/licences/gcc-runtime.txt"
cp /usr/share/doc/mingw-w64-common/copyright "$stage/licences/mingw-w64.txt"
(cd build/windows/package && zip -qr "../$name.zip" "$name")
echo "build/windows/$name.zip"
