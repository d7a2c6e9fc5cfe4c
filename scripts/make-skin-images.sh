#!/usr/bin/env bash
# Draws the skin's images (icons, check boxes, list headers) with ImageMagick into skin/images.
# The PNGs are committed; rerun this after changing a drawing.
set -euo pipefail
out="$(cd "$(dirname "$0")/.." && pwd)/skin/images"
mkdir -p "$out/FileIcon" "$out/DiskIcon" "$out/Menu" "$out/Mode" "$out/Box" "$out/Type"
font=DejaVu-Sans-Bold

# A glyph on a rounded tile, drawn large and scaled down for smooth edges.
# tile OUT SIZE BG FG TEXT [POINTSIZE]
tile() {
  local file=$1 size=$2 bg=$3 fg=$4 text=$5 pt=${6:-0}
  local big=$((size * 4)) r=$((size * 4 / 5))
  [ "$pt" = 0 ] && pt=$((big * 11 / 20))
  convert -size ${big}x${big} xc:none -fill "$bg" -draw "roundrectangle 2,2 $((big-3)),$((big-3)) $r,$r" \
    -fill "$fg" -font $font -pointsize $pt -gravity center -annotate +0+$((big/40)) "$text" \
    -resize ${size}x${size} "$file"
}

# A document-shaped icon with a coloured band and a short label; the error variant is greyed
# with a red cross.
fileicon() {
  local name=$1 colour=$2 label=$3
  convert -size 64x64 xc:none \
    -fill white -stroke '#8A97A6' -strokewidth 3 -draw "path 'M 12,4 L 40,4 L 54,18 L 54,60 L 12,60 Z'" \
    -fill '#D5DCE4' -stroke '#8A97A6' -draw "path 'M 40,4 L 40,18 L 54,18 Z'" \
    -stroke none -fill "$colour" -draw "rectangle 6,30 46,50" \
    -fill white -font $font -pointsize 15 -gravity northwest -annotate +8+32 "$label" \
    -resize 16x16 "$out/FileIcon/$name.png"
  convert "$out/FileIcon/$name.png" -modulate 100,25 \
    \( -size 64x64 xc:none -stroke '#D93025' -strokewidth 9 -draw "line 30,34 58,62" -draw "line 58,34 30,62" -resize 16x16 \) \
    -composite "$out/FileIcon/${name}_error.png"
}

fileicon image '#2E9E4F' IMG
fileicon music '#8E44AD' MP3
fileicon doc '#2B6CB0' DOC
fileicon video '#D35400' AVI
fileicon zip '#B7950B' ZIP
fileicon exe '#505A66' EXE
fileicon default '#7F8C8D' '...'
convert -size 64x64 xc:none -fill '#F4C542' -stroke '#C99A1B' -strokewidth 3 \
  -draw "path 'M 4,14 L 24,14 L 30,20 L 60,20 L 60,56 L 4,56 Z'" \
  -fill '#FFD95C' -draw "path 'M 4,26 L 60,26 L 60,56 L 4,56 Z'" -resize 16x16 "$out/FileIcon/folder.png"

# Disk list icons.
convert -size 64x64 xc:none -fill '#5D6D7E' -draw "roundrectangle 4,14 60,50 8,8" \
  -fill '#AAB7C4' -draw "rectangle 10,38 54,42" -fill '#2ECC71' -draw "circle 50,24 53,24" -resize 16x16 "$out/DiskIcon/hdd.png"
convert -size 64x64 xc:none -fill '#0089BE' -draw "roundrectangle 14,4 50,44 6,6" \
  -fill '#BDC3C7' -draw "rectangle 22,44 42,60" -fill '#5D6D7E' -draw "rectangle 26,50 30,54" -draw "rectangle 34,50 38,54" \
  -resize 16x16 "$out/DiskIcon/usb.png"
convert -size 64x64 xc:none -fill '#E8EEF3' -stroke '#5D6D7E' -strokewidth 4 -draw "roundrectangle 6,16 58,48 6,6" \
  -stroke none -fill '#0089BE' -draw "rectangle 12,36 40,42" -resize 16x16 "$out/DiskIcon/volume.png"
convert -size 64x64 xc:none -fill none -stroke '#95A5A6' -strokewidth 4 -draw "stroke-dasharray 8 6 roundrectangle 6,16 58,48 6,6" \
  -resize 16x16 "$out/DiskIcon/gap.png"
convert -size 64x64 xc:none -fill '#E47100' -draw "circle 32,32 32,4" -fill white -draw "circle 32,32 32,22" \
  -fill '#E47100' -draw "circle 32,32 32,28" -resize 16x16 "$out/DiskIcon/image.png"

# Check boxes: the sprite Controls.png holds an unticked box at 0,106 and a ticked one at 30,106.
convert -size 60x64 xc:none -fill white -stroke '#8A97A6' -strokewidth 3 -draw "roundrectangle 2,2 57,57 8,8" \
  -resize 15x15 /tmp/skin-unticked.png
convert -size 60x60 xc:none -fill '#0089BE' -stroke '#006E99' -strokewidth 3 -draw "roundrectangle 2,2 57,57 8,8" \
  -stroke white -strokewidth 8 -fill none -draw "polyline 14,30 25,42 46,18" -resize 15x15 /tmp/skin-ticked.png
convert -size 15x15 xc:none -fill '#0089BE' -draw "roundrectangle 0,0 14,14 3,3" -fill white -draw "rectangle 4,7 10,8" /tmp/skin-partly.png
convert -size 60x121 xc:none /tmp/skin-unticked.png -geometry +0+106 -composite /tmp/skin-partly.png -geometry +15+106 -composite \
  /tmp/skin-ticked.png -geometry +30+106 -composite "$out/Controls.png"
cp /tmp/skin-unticked.png "$out/unchecked.png"
cp /tmp/skin-ticked.png "$out/checked.png"
cp /tmp/skin-partly.png "$out/partly.png"
rm -f /tmp/skin-unticked.png /tmp/skin-ticked.png /tmp/skin-partly.png

# The mark of the current language.
convert -size 64x64 xc:none -fill '#0089BE' -draw "circle 32,32 32,14" -resize 16x16 "$out/point.png"

# List headers: background with a one-pixel line top and bottom; the sort variants carry an
# arrow in their right 13 pixels.
convert -size 40x26 gradient:'#FFFFFF-#E9EEF3' -fill '#C9D3DD' -draw "rectangle 0,25 39,25" \
  "$out/list_header_bg.png"
convert "$out/list_header_bg.png" -fill '#0089BE' -draw "polygon 29,16 37,16 33,10" "$out/list_header_asc.png"
convert "$out/list_header_bg.png" -fill '#0089BE' -draw "polygon 29,10 37,10 33,16" "$out/list_header_desc.png"

# Menu icons.
tile "$out/Menu/help.png" 16 '#0089BE' white '?'
tile "$out/Menu/faq.png" 16 '#16A085' white 'i'
tile "$out/Menu/language.png" 16 '#8E44AD' white 'A'
tile "$out/Menu/about.png" 16 '#5D6D7E' white 'S'
tile "$out/Menu/support.png" 16 '#E47100' white '@'
tile "$out/Menu/exit.png" 16 '#C0392B' white '×'

# Message box icons.
tile "$out/Box/error.png" 40 '#D93025' white '×'
tile "$out/Box/confirm.png" 40 '#E47100' white '!'
tile "$out/Box/information.png" 40 '#0089BE' white 'i'
tile "$out/Box/warning.png" 40 '#F4B400' '#3D3D3D' '!'
tile "$out/Box/question.png" 40 '#316D1E' white '?'

# Start page modes and file-type groups.
convert -size 256x256 xc:none -fill '#0089BE' -draw "roundrectangle 8,8 247,247 40,40" \
  -fill white -draw "path 'M 70,60 L 150,60 L 190,100 L 190,200 L 70,200 Z'" -fill '#BFE6F5' -draw "path 'M 150,60 L 150,100 L 190,100 Z'" \
  -stroke '#0089BE' -strokewidth 14 -fill none -draw "path 'M 100,150 L 125,175 L 165,120'" -resize 72x72 "$out/Mode/recover.png"
convert -size 256x256 xc:none -fill '#E47100' -draw "roundrectangle 8,8 247,247 40,40" \
  -fill white -draw "circle 128,128 128,50" -fill '#E47100' -draw "circle 128,128 128,100" -fill white -draw "circle 128,128 128,118" \
  -resize 72x72 "$out/Mode/image.png"
tile "$out/Type/photo.png" 32 '#2E9E4F' white '▲' 
tile "$out/Type/audio.png" 32 '#8E44AD' white '♪'
tile "$out/Type/video.png" 32 '#D35400' white '▶'

# Program icon.
convert -size 256x256 xc:none -fill '#0089BE' -draw "roundrectangle 8,8 247,247 56,56" \
  -fill white -font $font -pointsize 170 -gravity center -annotate +0+6 'S' \
  -fill '#E47100' -draw "circle 196,196 196,176" -resize 64x64 "$out/logo.png"
echo "skin images written to $out"
