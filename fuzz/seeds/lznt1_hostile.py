#!/usr/bin/env python3
"""Finds the clusters of an NTFS volume that open with an LZNT1 compressed chunk, writes a copy of
the volume in which those chunks are made hostile in turns (a length past the unit, a
back-reference before the chunk's start, a stored chunk cut short, an end header at once), and
prints their sector ranges (FIRST:COUNT, 512-byte sectors) for sparse.py.

usage: lznt1_hostile.py IMAGE OUT"""
import struct
import sys


def main():
    image, out = sys.argv[1], sys.argv[2]
    data = bytearray(open(image, "rb").read())
    bps = struct.unpack_from("<H", data, 11)[0] or 512
    cluster = bps * data[13]
    hits = []
    for at in range(cluster, len(data) - 4, cluster):
        header = struct.unpack_from("<H", data, at)[0]
        # A compressed chunk: flag bit, signature 3, and a flag byte that starts with literals.
        if header & 0xF000 == 0xB000 and data[at + 2] & 1 == 0 and data[at + 3] != 0:
            hits.append(at)
    for n, at in enumerate(hits):
        kind = n % 4
        if kind == 0:
            struct.pack_into("<H", data, at, 0xBFFF)
        elif kind == 1:
            data[at + 2] = 0x01
            struct.pack_into("<H", data, at + 3, 0xFFFF)
        elif kind == 2:
            struct.pack_into("<H", data, at, 0x3005)
        else:
            struct.pack_into("<H", data, at + 2 + (struct.unpack_from("<H", data, at)[0] & 0xFFF) + 1, 0)
    open(out, "wb").write(data)
    print(" ".join("%d:%d" % (at // 512, 16) for at in hits[:12]))


main()
