#!/usr/bin/env bash
# Seeds: the first 64 KiB of each carving fixture behind every rule's control byte; the planted
# files of the exact-carving fixture behind the control byte of their structure rule; and hostile
# structures (zero-length and self-sized boxes, lengths past the source, chains that loop).
out=$1 fixtures=$2
i=0
for f in "$fixtures"/carve/sample.*; do
  [ -f "$f" ] || continue
  for rule in 0 5 10 12 13 18 19; do
    { printf "\\x$(printf %02x $(( (i + rule) % 20 )))"; head -c 65536 "$f"; } > "$out/$(basename "$f").$rule"
  done
  i=$((i + 1))
done
# Control bytes of the structure rules (fuzz_size_rules.cpp), by extension.
declare -A rule=([jpg]=20 [png]=21 [gif]=22 [tif]=23 [mp4]=24 [mov]=25 [3gp]=25 [mp3]=26 [psd]=27
                 [mkv]=28 [flv]=29 [mpeg]=30 [rm]=31 [mxf]=32 [zip]=33 [docx]=33 [gz]=34 [db]=35
                 [pdf]=36 [swf]=37)
for f in "$fixtures"/exactcarve/files/*; do
  [ -f "$f" ] || continue
  ext=${f##*.}
  [ -n "${rule[$ext]:-}" ] || continue
  { printf "\\x$(printf %02x "${rule[$ext]}")"; head -c 65000 "$f"; } > "$out/exact-$(basename "$f")"
done
# Photos of every form and two pieces of one with another file between (the search for the second
# piece), cut to 64 KiB.
for f in "$fixtures"/fragjpeg/files/*.jpg; do
  [ -f "$f" ] || continue
  { printf '\x14'; head -c 65000 "$f"; } > "$out/frag-$(basename "$f")"
done
if [ -f "$fixtures/fragjpeg/files/split-small.jpg" ]; then
  { printf '\x14'; head -c 8192 "$fixtures/fragjpeg/files/split-small.jpg"; head -c 4096 /dev/zero | tr '\0' 'x'
    tail -c +8193 "$fixtures/fragjpeg/files/split-small.jpg"; } > "$out/frag-two-pieces"
fi
python3 - "$out" <<'PY'
import struct, sys, zlib
out = sys.argv[1]
def seed(name, control, body):
    open(f"{out}/hostile-{name}", "wb").write(bytes([control]) + body)
ftyp = struct.pack(">I", 20) + b"ftypisom" + b"\0" * 8
seed("mp4-zero-box", 24, ftyp + struct.pack(">I", 0) + b"mdat" + b"\0" * 600)
seed("mp4-eight-byte-loop", 24, ftyp + (struct.pack(">I", 8) + b"free") * 200)
seed("mp4-large-past-end", 25, ftyp + struct.pack(">I", 1) + b"mdat" + struct.pack(">Q", 1 << 62))
seed("mp4-short-large", 24, ftyp + struct.pack(">I", 1) + b"moov" + struct.pack(">Q", 4))
seed("png-huge-chunk", 21, b"\x89PNG\r\n\x1a\n" + struct.pack(">I", 0x7FFFFFFF) + b"IHDR" + b"\0" * 600)
ihdr = b"IHDR" + b"\0" * 13
seed("png-iend-bad-crc", 21, b"\x89PNG\r\n\x1a\n" + struct.pack(">I", 13) + ihdr + struct.pack(">I", zlib.crc32(ihdr)) + b"\0\0\0\0IEND\0\0\0\0")
seed("jpeg-length-past-end", 20, b"\xff\xd8\xff\xe1\xff\xff" + b"Exif" + b"\0" * 600)
seed("jpeg-zero-length", 20, b"\xff\xd8" + b"\xff\xe0\x00\x00" * 100)
seed("jpeg-fill-run", 20, b"\xff\xd8" + b"\xff" * 2000)
seed("gif-endless-sub-blocks", 22, b"GIF89a" + b"\0" * 7 + b"\x21\xf9" + b"\xff" * 1200)
seed("tiff-ifd-loop", 23, b"II*\0\x08\0\0\0" + struct.pack("<H", 1) + struct.pack("<HHII", 273, 4, 1, 8) + struct.pack("<I", 8))
seed("tiff-strip-past-end", 23, b"MM\0*\0\0\0\x08" + struct.pack(">H", 2) + struct.pack(">HHII", 273, 4, 1, 0xFFFFFF00) + struct.pack(">HHII", 279, 4, 1, 0xFFFF) + b"\0\0\0\0")
seed("zip-streamed-no-descriptor", 33, b"PK\x03\x04\x14\0\x08\0\x08\0" + b"\0" * 16 + b"\x01\0\0\0a" + b"PK\x07\x08" * 100)
seed("zip-comment-past-end", 33, b"PK\x03\x04" + b"\0" * 26 + b"PK\x05\x06" + b"\0" * 16 + b"\xff\xff")
seed("gzip-bomb", 34, b"\x1f\x8b\x08\0\0\0\0\0\0\x03" + zlib.compress(b"\0" * 4000000)[2:-4])
seed("gzip-name-unterminated", 34, b"\x1f\x8b\x08\x08\0\0\0\0\0\x03" + b"a" * 3000)
seed("sqlite-count-past-end", 35, b"SQLite format 3\0" + struct.pack(">HBBBBBB", 1, 1, 1, 0, 64, 32, 32) + struct.pack(">II", 7, 0xFFFFFFFF) + b"\0" * 60 + struct.pack(">I", 7) + b"\0" * 400)
seed("mkv-unknown-size", 28, b"\x1a\x45\xdf\xa3\x84" + b"\x42\x86\x81\x01" + b"\x18\x53\x80\x67\x01\xff\xff\xff\xff\xff\xff\xff" + b"\0" * 600)
seed("flv-self-sized", 29, b"FLV\x01\x05\0\0\0\x09\0\0\0\0" + (b"\x09\0\0\0" + b"\0" * 7 + struct.pack(">I", 11)) * 100)
seed("mpeg-pack-loop", 30, b"\0\0\x01\xba\x44" + b"\0" * 8 + b"\xf8" + (b"\0\0\x01\xe0\0\0") * 300)
seed("rm-zero-chunk", 31, b".RMF" + struct.pack(">IH", 0, 0) + b"\0" * 600)
seed("mxf-ber-past-end", 32, bytes.fromhex("060e2b34020501010d01020101020400") + b"\x88" + b"\xff" * 8)
seed("psd-huge-rows", 27, b"8BPS\0\x01" + b"\0" * 6 + struct.pack(">HIIHH", 56, 300000, 300000, 8, 3) + b"\0" * 12 + b"\0\x01" + b"\0" * 600)
seed("pdf-eof-without-xref", 36, b"%PDF-1.4\n" + b"%%EOF\n" * 300)
seed("swf-compressed-length-mismatch", 37, b"CWS\x0a" + struct.pack("<I", 999) + zlib.compress(b"\0" * 4000))
# Decoding checks: a frame past any sensible size, Huffman tables with more codes than bits allow,
# a progressive file of endless scans, restart markers out of turn, a PNG whose stream inflates
# to rows with bad filter bytes, an interlaced PNG cut short.
sof = b"\xff\xc0\x00\x11\x08\xea\x60\xea\x60\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01"
seed("jpeg-decode-huge-frame", 20, b"\xff\xd8" + sof + b"\xff\xda\x00\x0c\x03\x01\x00\x02\x11\x03\x11\x00\x3f\x00" + b"\x55" * 600 + b"\xff\xd9")
seed("jpeg-decode-overfull-table", 20, b"\xff\xd8\xff\xc4\x00\x23\x00" + b"\x10" * 16 + bytes(range(16)) + b"\xff\xc0\x00\x0b\x08\x00\x10\x00\x10\x01\x01\x11\x00" + b"\xff\xda\x00\x08\x01\x01\x00\x00\x3f\x00" + b"\xaa" * 300 + b"\xff\xd9")
prog = b"\xff\xc2\x00\x0b\x08\x00\x40\x00\x40\x01\x01\x11\x00" + b"\xff\xc4\x00\x14\x00\x01" + b"\0" * 15 + b"\x00"
seed("jpeg-decode-endless-scans", 20, b"\xff\xd8" + prog + (b"\xff\xda\x00\x08\x01\x01\x00\x00\x00\x00" + b"\x00" * 4) * 400 + b"\xff\xd9")
seed("jpeg-decode-restart-out-of-turn", 20, b"\xff\xd8\xff\xdd\x00\x04\x00\x01" + prog.replace(b"\xc2", b"\xc0", 1) + b"\xff\xda\x00\x08\x01\x01\x00\x00\x3f\x00" + b"\x00\xff\xd5\x00\xff\xd3" * 100 + b"\xff\xd9")
def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
rows = zlib.compress(b"".join(bytes([9]) + b"\x80" * 30 for _ in range(10)))
seed("png-bad-filter-rows", 21, b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 10, 10, 8, 2, 0, 0, 0)) + chunk(b"IDAT", rows) + chunk(b"IEND", b""))
rows = zlib.compress(b"\x00" * 5000)[:40]
seed("png-interlaced-cut", 21, b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 33, 17, 16, 6, 0, 0, 1)) + chunk(b"IDAT", rows) + chunk(b"IEND", b""))
seed("mp3-free-format", 26, b"ID3\x04\0\0\0\0\0\0" + b"\xff\xfb\x00\x00" * 300)
PY
exit 0
