#!/usr/bin/env python3
"""Writes a seed in the sparse-image input format (support/SparseImage.h) from a real image: its
non-zero sectors, those in the given ranges first, then the rest in address order, until the seed
reaches MAXBYTES. Gzip-compressed images are read as they are.

usage: sparse.py IMAGE OUT MAXBYTES [FIRST:COUNT ...] [mft:RECORDS]   (sectors of 512 bytes)
mft:RECORDS puts an NTFS volume's boot sector and its first RECORDS file records first (read from the
backup in the last sector when the primary is damaged)."""
import gzip
import struct
import sys


def main():
    image, out, limit = sys.argv[1], sys.argv[2], int(sys.argv[3])
    opener = gzip.open if image.endswith(".gz") else open
    with opener(image, "rb") as f:
        data = f.read()
    sectors = len(data) // 512
    wanted = []
    for item in sys.argv[4:]:
        if item.startswith("mft:"):
            boot = data[:512] if data[3:11] == b"NTFS    " and data[13] else data[-512:]
            per_sector = struct.unpack_from("<H", boot, 11)[0] or 512
            cluster = struct.unpack_from("<Q", boot, 0x30)[0] * boot[13] * per_sector // 512
            record = 1024 if per_sector == 512 else per_sector
            item = "0:1,%d:%d" % (cluster, int(item[4:]) * record // 512)
        for part in item.split(","):
            first, count = (int(x) for x in part.split(":"))
            wanted.extend(range(first, min(first + count, sectors)))
    seen = set(wanted)
    wanted.extend(s for s in range(sectors) if s not in seen)
    chosen, size = [], 0
    for s in wanted:
        if data[s * 512:(s + 1) * 512].strip(b"\0") == b"":
            continue
        if size + 512 + 6 > limit:
            break
        chosen.append(s)
        size += 512 + 6
    chosen.sort()
    with open(out, "wb") as f:
        i = 0
        while i < len(chosen):
            j = i
            while j + 1 < len(chosen) and chosen[j + 1] == chosen[j] + 1 and j + 1 - i < 65535:
                j += 1
            f.write(struct.pack("<IH", chosen[i], j - i + 1))
            f.write(data[chosen[i] * 512:(chosen[j] + 1) * 512])
            i = j + 1


main()
