#!/usr/bin/env bash
# Makes the bundled sample: a small FAT32 camera card image with photos, some of them deleted, and a
# deleted folder of holiday pictures. Usage: scripts/make-sample-card.sh OUT.img [FOLDER_FOR_ORIGINALS]
set -euo pipefail
out=${1:?usage: make-sample-card.sh OUT.img [ORIGINALS_DIR]}
orig=${2:-$(mktemp -d)}
export MTOOLS_SKIP_CHECK=1
mkdir -p "$orig"
tmp="$out.tmp"
rm -f "$tmp"
mkfs.fat -C -F 32 -n SAMPLECARD "$tmp" 65536 >/dev/null

font=/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf
photo() {  # photo FILE LABEL COLOUR: a real JPEG photo-like picture
  convert -size 800x600 "gradient:$3-white" -fill black -font "$font" -pointsize 48 -gravity center \
    -annotate 0 "$2" -quality 85 "$1"
}
photo "$orig/IMG_0001.JPG" "Birthday 1" "#d04040"
photo "$orig/IMG_0002.JPG" "Birthday 2" "#40a040"
photo "$orig/IMG_0003.JPG" "Garden" "#4040d0"
photo "$orig/IMG_0004.JPG" "Dog" "#c0a030"
photo "$orig/Beach at sunset.jpg" "Beach" "#e08020"
photo "$orig/Harbour.jpg" "Harbour" "#2080c0"
convert -size 320x240 "gradient:#303030-#f0f0f0" "$orig/map.png"

mmd -i "$tmp" ::/DCIM ::/DCIM/100CANON ::/Holiday
for f in IMG_0001.JPG IMG_0002.JPG IMG_0003.JPG IMG_0004.JPG; do
  mcopy -i "$tmp" "$orig/$f" "::/DCIM/100CANON/$f"
done
mcopy -i "$tmp" "$orig/Beach at sunset.jpg" "::/Holiday/Beach at sunset.jpg"
mcopy -i "$tmp" "$orig/Harbour.jpg" "::/Holiday/Harbour.jpg"
mcopy -i "$tmp" "$orig/map.png" "::/Holiday/map.png"

# The accidents: two photos deleted, and the whole holiday folder removed.
mdel -i "$tmp" ::/DCIM/100CANON/IMG_0002.JPG ::/DCIM/100CANON/IMG_0004.JPG
mdeltree -i "$tmp" ::/Holiday
mv -f "$tmp" "$out"
echo "sample card: $out (originals in $orig)"
