#!/usr/bin/env python3
"""A FAT32 card (512-byte clusters) whose live folder DCIM holds COUNT deleted entries, each
pointing at a small JPEG in a free cluster: the fast FAT scan lists every one of them and carving
finds every one again, so the one result set has COUNT pairs to fold.

usage: make-many-deleted-image.py JPEG OUT.img COUNT   (mkfs.fat and mmd must be on PATH)"""
import os, struct, subprocess, sys

jpeg, out, count = sys.argv[1], sys.argv[2], int(sys.argv[3])
body = open(jpeg, "rb").read()
assert len(body) <= 512, "the picture must fit one cluster"
dir_clusters = (count * 32 + 511) // 512
clusters = count + dir_clusters + 70000  # FAT32 needs 65,525 clusters at least
size_mib = (clusters * 512 + (8 << 20)) // (1 << 20) + 1
tmp = out + ".tmp"
if os.path.exists(tmp):
    os.remove(tmp)
subprocess.run(["mkfs.fat", "-C", "-F", "32", "-s", "1", tmp, str(size_mib * 1024)], check=True,
               stdout=subprocess.DEVNULL)
subprocess.run(["mmd", "-i", tmp, "::DCIM"], check=True, env=dict(os.environ, MTOOLS_SKIP_CHECK="1"))
with open(tmp, "r+b") as f:
    boot = f.read(512)
    reserved = struct.unpack_from("<H", boot, 14)[0]
    fats, fat_sectors = boot[16], struct.unpack_from("<I", boot, 36)[0]
    root = struct.unpack_from("<I", boot, 44)[0]
    data = reserved + fats * fat_sectors
    sector = lambda c: data + (c - 2)
    f.seek(sector(root) * 512)
    entries = f.read(512)
    dcim = next(struct.unpack_from("<H", entries, i + 20)[0] << 16 | struct.unpack_from("<H", entries, i + 26)[0]
                for i in range(0, 512, 32) if entries[i:i + 11] == b"DCIM       ")
    # DCIM's directory: its first cluster, then a contiguous chain after the clusters in use.
    first_free = dcim + 1
    chain = [dcim] + list(range(first_free, first_free + dir_clusters))
    for k in range(fats):
        base = (reserved + k * fat_sectors) * 512
        for a, b in zip(chain, chain[1:] + [0x0FFFFFFF]):
            f.seek(base + a * 4)
            f.write(struct.pack("<I", b))
    f.seek(sector(dcim) * 512)
    head = f.read(64)  # "." and ".."
    directory = bytearray(head) + bytearray(len(chain) * 512 - 64)
    data_cluster = first_free + dir_clusters
    for n in range(count):
        name = b"\xe5MG%05dJPG" % (n % 100000)
        c = data_cluster + n
        entry = name + bytes([0x20]) + bytes(8) + struct.pack("<H", c >> 16) + bytes(4) + \
            struct.pack("<H", c & 0xFFFF) + struct.pack("<I", len(body))
        directory[64 + n * 32:64 + (n + 1) * 32] = entry
        f.seek(sector(c) * 512)
        f.write(body)
    for i, c in enumerate(chain):
        f.seek(sector(c) * 512)
        f.write(directory[i * 512:(i + 1) * 512])
os.replace(tmp, out)
