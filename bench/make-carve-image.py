#!/usr/bin/env python3
"""Builds a raw image of random data with real sample files planted at sector boundaries.

usage: make-carve-image.py SAMPLES_DIR OUT.img [SIZE_MIB] [SEED]

Every sample.<ext> of SAMPLES_DIR is planted in turn, each padded with zeros to its last sector
and separated by a random run of random sectors. OUT.img.manifest lists every planted file as
"sector<TAB>ext<TAB>size<TAB>sha256" so that recoveries can be checked.
"""
import hashlib
import os
import random
import sys

SECTOR = 512


def main():
    samples_dir, out = sys.argv[1], sys.argv[2]
    size = int(sys.argv[3]) * 1024 * 1024 if len(sys.argv) > 3 else 1024 * 1024 * 1024
    seed = int(sys.argv[4]) if len(sys.argv) > 4 else 1953
    rnd = random.Random(seed)
    samples = []
    for name in sorted(os.listdir(samples_dir)):
        if name.startswith("sample."):
            data = open(os.path.join(samples_dir, name), "rb").read()
            samples.append((name.split(".", 1)[1], data, hashlib.sha256(data).hexdigest()))
    if not samples:
        sys.exit("no sample.* files in " + samples_dir)
    tmp = out + ".tmp"
    written = 0
    manifest = []
    with open(tmp, "wb") as img:
        i = 0
        while True:
            gap = rnd.randrange(64, 2048) * SECTOR
            ext, data, digest = samples[i % len(samples)]
            padded = len(data) + (-len(data)) % SECTOR
            if written + gap + padded > size:
                break
            img.write(rnd.randbytes(gap))
            written += gap
            manifest.append("%d\t%s\t%d\t%s" % (written // SECTOR, ext, len(data), digest))
            img.write(data + b"\0" * (padded - len(data)))
            written += padded
            i += 1
        img.write(rnd.randbytes(size - written))
    os.replace(tmp, out)
    with open(out + ".manifest", "w") as m:
        m.write("\n".join(manifest) + "\n")
    print("%s: %d MiB, %d files planted" % (out, size // (1024 * 1024), len(manifest)))


if __name__ == "__main__":
    main()
