#!/usr/bin/env python3
"""Builds the mixed image of the advanced-scan benchmark: a FAT32 volume with deleted files in
its folders, whose free space after the last used cluster holds random data with real files
planted in it (as a card that was used, emptied and written over elsewhere).

usage: make-advanced-image.py SAMPLES_DIR OUT.img [SIZE_MIB] [COPIES] [SEED]

SAMPLES_DIR holds sample.<ext> files (the carving fixtures). Each is copied COPIES times (by
default as often as fills about a twelfth of the volume) into DCIM/1nnCAM folders; every other copy is deleted, and one whole folder is removed.
Planted files start on cluster boundaries. OUT.img.manifest lists the files planted in the free space as "sector<TAB>ext<TAB>size<TAB>sha256".
Needs mkfs.fat and mtools.
"""
import hashlib
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile

SECTOR = 512


def run(*args):
    subprocess.run(args, check=True, env=dict(os.environ, MTOOLS_SKIP_CHECK="1"),
                   stdout=subprocess.DEVNULL)


def fat32_layout(path):
    with open(path, "rb") as f:
        boot = f.read(512)
    spc = boot[13]
    reserved = struct.unpack_from("<H", boot, 14)[0]
    fats = boot[16]
    total = struct.unpack_from("<I", boot, 32)[0]
    fat_sectors = struct.unpack_from("<I", boot, 36)[0]
    data = reserved + fats * fat_sectors
    return spc, reserved, fat_sectors, data, (total - data) // spc


def main():
    samples_dir, out = sys.argv[1], sys.argv[2]
    size_mib = int(sys.argv[3]) if len(sys.argv) > 3 else 1024
    rnd = random.Random(int(sys.argv[5]) if len(sys.argv) > 5 else 1953)
    samples = sorted(n for n in os.listdir(samples_dir) if n.startswith("sample."))
    if not samples:
        sys.exit("no sample.* files in " + samples_dir)
    sample_bytes = sum(os.path.getsize(os.path.join(samples_dir, s)) for s in samples)
    copies = int(sys.argv[4]) if len(sys.argv) > 4 else max(2, size_mib * 1024 * 1024 // 12 // sample_bytes)
    tmp = out + ".tmp"
    with open(tmp, "wb") as f:
        f.truncate(size_mib * 1024 * 1024)
    run("mkfs.fat", "-F", "32", "-n", "ADVBENCH", tmp)

    # The file system part: every sample in every folder, then the accidents.
    stage = tempfile.mkdtemp(prefix="salvora-advanced-")
    try:
        folders = ["DCIM/%dCAM" % (100 + c) for c in range(copies)]
        run("mmd", "-i", tmp, "::DCIM", *["::" + d for d in folders])
        deleted = []
        for c, folder in enumerate(folders):
            names = []
            for i, sample in enumerate(samples):
                name = "F%02d_%04d.%s" % (c, i, sample.split(".", 1)[1].upper())
                shutil.copyfile(os.path.join(samples_dir, sample), os.path.join(stage, name))
                names.append(name)
            run("mcopy", "-i", tmp, *[os.path.join(stage, n) for n in names], "::" + folder + "/")
            deleted += ["::%s/%s" % (folder, n) for n in names[c % 2::2]]
            for n in names:
                os.remove(os.path.join(stage, n))
        run("mdel", "-i", tmp, *deleted)
        run("mdeltree", "-i", tmp, "::" + folders[-1])
    finally:
        shutil.rmtree(stage, ignore_errors=True)

    # The free space after the last cluster in use: random data with the samples planted in it.
    spc, reserved, fat_sectors, data, clusters = fat32_layout(tmp)
    with open(tmp, "r+b") as f:
        f.seek(reserved * SECTOR)
        table = f.read(fat_sectors * SECTOR)
        last = max(c for c in range(2, clusters + 2) if struct.unpack_from("<I", table, 4 * c)[0] & 0x0FFFFFFF)
        sector = data + (last + 1 - 2) * spc
        end = data + clusters * spc
        contents = [(s.split(".", 1)[1], open(os.path.join(samples_dir, s), "rb").read()) for s in samples]
        manifest = []
        i = 0
        f.seek(sector * SECTOR)
        # Files start on cluster boundaries, as a file system writes them.
        unit = spc * SECTOR
        while True:
            gap = rnd.randrange(64 // spc + 1, 2048 // spc + 2) * spc
            ext, body = contents[i % len(contents)]
            length = (len(body) + unit - 1) // unit * spc
            if sector + gap + length > end:
                break
            f.write(rnd.randbytes(gap * SECTOR))
            sector += gap
            manifest.append("%d\t%s\t%d\t%s" % (sector, ext, len(body), hashlib.sha256(body).hexdigest()))
            f.write(body + b"\0" * (length * SECTOR - len(body)))
            sector += length
            i += 1
        f.write(rnd.randbytes((end - sector) * SECTOR))
    os.replace(tmp, out)
    with open(out + ".manifest", "w") as m:
        m.write("\n".join(manifest) + "\n")
    print("%s: %d MiB FAT32, %d files in %d folders (%d deleted, then the last folder removed), "
          "%d files planted in free space" % (out, size_mib, copies * len(samples), copies,
                                               len(deleted), len(manifest)))


if __name__ == "__main__":
    main()
