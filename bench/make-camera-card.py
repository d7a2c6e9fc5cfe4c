#!/usr/bin/env python3
"""Builds camera cards as users have them, for the speed benchmarks: a FAT32 and an exFAT card,
85 % full of 12 Mpx camera photos with Exif (and a thumbnail inside it, as cameras write them) and
a few movies, used as a camera uses a card: filled, a quarter of the files deleted and the space
filled again, then half of what is left deleted. Each card also comes quick-formatted.

usage: make-camera-card.py OUT_DIR [SIZE_MIB]

OUT_DIR gets card-fat32.img, card-exfat.img, card-fat32-qf.img, card-exfat-qf.img and, for each
card, NAME.manifest: every file ever written to it as "state<TAB>name<TAB>size<TAB>sha256"
(state live or deleted). The pictures (OUT_DIR/photos) are made once from four base pictures,
each file encoded at its own quality, chroma sampling and restart interval so every file's
coded data is its own. Needs ImageMagick's convert, cjpeg, ffmpeg, mkfs.fat, mtools, mkfs.exfat,
mount.exfat-fuse and a loop device (root).
"""
import hashlib
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
from concurrent.futures import ThreadPoolExecutor

FILL = 0.85
WIDTH, HEIGHT = 4000, 3000
ENV = dict(os.environ, MTOOLS_SKIP_CHECK="1")


def run(*args, **kw):
    subprocess.run(args, check=True, env=ENV, stdout=subprocess.DEVNULL, **kw)


def ifd(entries, next_ifd, base, extra):
    """A TIFF directory at file offset base; values longer than 4 bytes go to extra (after it)."""
    out = struct.pack("<H", len(entries))
    data_at = base + 2 + 12 * len(entries) + 4 + len(extra)
    tail = b""
    for tag, kind, value in sorted(entries):
        if kind == 2:  # ASCII
            raw = value.encode() + b"\0"
            count = len(raw)
        else:  # LONG
            raw = struct.pack("<I", value)
            count = 1
        if len(raw) <= 4:
            out += struct.pack("<HHI", tag, kind, count) + raw.ljust(4, b"\0")
        else:
            out += struct.pack("<HHII", tag, kind, count, data_at + len(tail))
            tail += raw + (b"\0" if len(raw) % 2 else b"")
    return out + struct.pack("<I", next_ifd) + extra + tail


def exif_segment(make, model, when, thumb):
    """APP1 Exif: IFD0 (make, model, date, Exif IFD), the Exif IFD (original date, size), IFD1
    pointing at the thumbnail."""
    def ascii_len(s):
        n = len(s) + 1
        return 0 if n <= 4 else n + n % 2
    ifd0_entries = [(0x010F, 2, make), (0x0110, 2, model), (0x0132, 2, when), (0x8769, 4, 0)]
    ifd0_size = 2 + 12 * len(ifd0_entries) + 4 + sum(ascii_len(v) for _, k, v in ifd0_entries if k == 2)
    exif_at = 8 + ifd0_size
    exif_entries = [(0x9003, 2, when), (0xA002, 4, WIDTH), (0xA003, 4, HEIGHT)]
    exif_size = 2 + 12 * len(exif_entries) + 4 + sum(ascii_len(v) for _, k, v in exif_entries if k == 2)
    ifd1_at = exif_at + exif_size
    ifd1_size = 2 + 12 * 2 + 4
    thumb_at = ifd1_at + ifd1_size
    ifd0_entries[3] = (0x8769, 4, exif_at)
    tiff = b"II*\0" + struct.pack("<I", 8)
    tiff += ifd(ifd0_entries, ifd1_at, 8, b"")
    tiff += ifd(exif_entries, 0, exif_at, b"")
    tiff += ifd([(0x0201, 4, thumb_at), (0x0202, 4, len(thumb))], 0, ifd1_at, b"")
    assert len(tiff) == thumb_at, (len(tiff), thumb_at)
    body = b"Exif\0\0" + tiff + thumb
    return b"\xFF\xE1" + struct.pack(">H", len(body) + 2) + body


def make_bases(folder):
    bases = []
    for seed in range(1, 5):
        path = os.path.join(folder, "base%d.ppm" % seed)
        if not os.path.exists(path):
            run("convert", "-seed", str(seed), "-size", "800x600", "plasma:fractal", "-resize",
                "%dx%d!" % (WIDTH, HEIGHT), "-attenuate", str(0.4 + 0.1 * seed), "+noise", "Gaussian",
                path + ".tmp.ppm")
            os.replace(path + ".tmp.ppm", path)
        bases.append(path)
    return bases


def make_photo(spec, bases, thumbs, folder):
    """One camera file: its base picture coded by its own settings, with Exif and a thumbnail."""
    path = os.path.join(folder, spec["name"])
    if os.path.exists(path):
        return path
    args = ["cjpeg", "-quality", str(spec["quality"]), "-sample", spec["sample"]]
    if spec["restart"]:
        args += ["-restart", str(spec["restart"]) + "B"]
    picture = bytearray(bases[spec["base"]])
    spots = random.Random(spec["spots"])
    header = len(picture) - WIDTH * HEIGHT * 3
    for _ in range(64):
        at = header + 3 * (spots.randrange(HEIGHT) * WIDTH + spots.randrange(WIDTH - 64))
        picture[at:at + 192] = spots.randbytes(192)
    coded = subprocess.run(args, input=bytes(picture), check=True, stdout=subprocess.PIPE).stdout
    exif = exif_segment("SALVORA", "Bench %d" % (spec["base"] + 1), spec["when"], thumbs[spec["base"]])
    # The encoder's JFIF header gives way to the Exif one, as in a camera's file.
    assert coded[:4] == b"\xFF\xD8\xFF\xE0"
    jfif_end = 4 + struct.unpack(">H", coded[4:6])[0]
    with open(path + ".tmp", "wb") as f:
        f.write(b"\xFF\xD8" + exif + coded[jfif_end:])
    os.replace(path + ".tmp", path)
    return path


def make_movie(name, seed, seconds, folder):
    path = os.path.join(folder, name)
    if not os.path.exists(path):
        run("ffmpeg", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
            "testsrc2=size=1920x1080:rate=30:duration=%d" % seconds, "-vf",
            "noise=alls=%d:allf=t" % (20 + seed), "-c:v", "libx264", "-preset", "ultrafast", "-b:v", "40M",
            "-f", "mov", path + ".tmp")
        os.replace(path + ".tmp", path)
    return path


def photo_spec(n, rnd):
    """How photo n is coded: its base picture, quality, chroma sampling, restart interval, date,
    and the seed of the spots that make its picture its own."""
    return {"name": "IMG_%04d.JPG" % n, "base": rnd.randrange(4), "quality": rnd.choice([90, 92, 94, 95, 96]),
            "sample": rnd.choice(["2x1", "2x2", "2x1"]), "restart": rnd.choice([0, 0, 0, 4, 16]),
            "spots": rnd.getrandbits(32),
            "when": "2026:%02d:%02d %02d:%02d:%02d" % (rnd.randrange(1, 13), rnd.randrange(1, 29),
                                                       rnd.randrange(24), rnd.randrange(60), rnd.randrange(60))}


def sha256(path):
    h = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            h.update(block)
    return h.hexdigest()


class FatCard:
    """FAT32 through mtools."""
    def __init__(self, image):
        self.image = image

    def format(self, size_mib):
        with open(self.image, "wb") as f:
            f.truncate(size_mib << 20)
        run("mkfs.fat", "-F", "32", "-s", "32", "-n", "CAMERA", self.image)
        run("mmd", "-i", self.image, "::DCIM", "::DCIM/100SALVO")

    def write(self, path, name):
        run("mcopy", "-i", self.image, path, "::DCIM/100SALVO/" + name)

    def delete(self, name):
        run("mdel", "-i", self.image, "::DCIM/100SALVO/" + name)

    def close(self):
        pass


class ExfatCard:
    """exFAT through exfat-fuse on a loop device."""
    def __init__(self, image):
        self.image = image
        self.mnt = None
        self.dev = None

    def format(self, size_mib):
        with open(self.image, "wb") as f:
            f.truncate(size_mib << 20)
        run("mkfs.exfat", "-c", "32K", "-L", "CAMERA", self.image)
        self.dev = subprocess.run(["losetup", "-f", "--show", self.image], check=True,
                                  stdout=subprocess.PIPE, text=True).stdout.strip()
        self.mnt = tempfile.mkdtemp(prefix="salvora-card-")
        run("mount.exfat-fuse", self.dev, self.mnt)
        os.makedirs(os.path.join(self.mnt, "DCIM/100SALVO"))

    def write(self, path, name):
        shutil.copyfile(path, os.path.join(self.mnt, "DCIM/100SALVO", name))

    def delete(self, name):
        os.unlink(os.path.join(self.mnt, "DCIM/100SALVO", name))

    def close(self):
        if self.mnt:
            subprocess.run(["sync"])
            subprocess.run(["umount", self.mnt])
            os.rmdir(self.mnt)
        if self.dev:
            subprocess.run(["losetup", "-d", self.dev])


def build_card(card, size_mib, photos, movies, out_manifest):
    """Writes the card's life; returns nothing, writes the manifest."""
    rnd = random.Random(1953)
    capacity = int((size_mib << 20) * FILL)
    card.format(size_mib)
    live, deleted, used = [], [], 0
    stream = iter(photos)
    movie_stream = iter(movies)

    def fill():
        nonlocal used
        while True:
            path = next(movie_stream, None) if len(live) % 60 == 30 else None
            path = path or next(stream)
            size = os.path.getsize(path)
            if used + size > capacity:
                return
            card.write(path, os.path.basename(path))
            live.append(path)
            used += size

    def delete(count):
        nonlocal used
        for path in rnd.sample(live, count):
            card.delete(os.path.basename(path))
            live.remove(path)
            deleted.append(path)
            used -= os.path.getsize(path)

    fill()
    delete(len(live) // 4)
    fill()
    delete(len(live) // 2)
    card.close()
    with open(out_manifest, "w") as f:
        for state, paths in (("live", live), ("deleted", deleted)):
            for path in paths:
                f.write("%s\t%s\t%d\t%s\n" % (state, os.path.basename(path), os.path.getsize(path), sha256(path)))


def main():
    out = sys.argv[1]
    size_mib = int(sys.argv[2]) if len(sys.argv) > 2 else 2048
    photos_dir = os.path.join(out, "photos")
    os.makedirs(photos_dir, exist_ok=True)
    base_paths = make_bases(photos_dir)
    thumbs = []
    for base in base_paths:
        small = subprocess.run(["convert", base, "-resize", "160x120", "ppm:-"], check=True, stdout=subprocess.PIPE).stdout
        thumbs.append(subprocess.run(["cjpeg", "-quality", "80"], input=small, check=True, stdout=subprocess.PIPE).stdout)
    # Enough photos for both fillings (about 8 MB each): the second filling needs a quarter more.
    rnd = random.Random(2026)
    count = int((size_mib << 20) * FILL * 1.3 / (6 << 20)) + 10
    specs = [photo_spec(n, rnd) for n in range(1, count + 1)]
    bases = [open(p, "rb").read() for p in base_paths]
    with ThreadPoolExecutor(max_workers=2) as pool:
        photos = list(pool.map(lambda s: make_photo(s, bases, thumbs, photos_dir), specs))
    movies = [make_movie("MVI_%04d.MOV" % (9000 + i), i, 6 + 3 * i, photos_dir) for i in range(3)]
    for name, card in (("card-fat32", FatCard), ("card-exfat", ExfatCard)):
        image = os.path.join(out, name + ".img")
        tmp = image + ".tmp"
        build_card(card(tmp), size_mib, photos, movies, image + ".manifest")
        os.replace(tmp, image)
        # The same card quick-formatted: a new empty file system over the old data.
        qf = os.path.join(out, name + "-qf.img")
        shutil.copyfile(image, qf + ".tmp")
        if card is FatCard:
            run("mkfs.fat", "-F", "32", "-s", "32", "-n", "CAMERA", qf + ".tmp")
        else:
            run("mkfs.exfat", "-c", "32K", "-L", "CAMERA", qf + ".tmp")
        os.replace(qf + ".tmp", qf)
        shutil.copyfile(image + ".manifest", qf + ".manifest")


if __name__ == "__main__":
    main()
