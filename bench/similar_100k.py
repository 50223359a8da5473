#!/usr/bin/python3
"""Many small pictures for timing the similar-pictures search at scale.

  similar_100k.py OUT [--count N] [--jobs J] [--seed S]
      writes OUT/dNNN/pNNNNNN.jpg (1000 a folder) and OUT.truth.tsv (path,
      family, kind) in the format similar_eval.py score reads

Nine pictures in ten are distinct drawings (shapes of random colours on a
random background, 96 to 320 pixels a side); the tenth is a copy of an
earlier one, resized to 50-90 % and saved again at quality 40 to 90.
Same arguments give the same pictures. Needs Pillow (python3-pil).
"""
import argparse
import os
import random
import sys
from concurrent.futures import ProcessPoolExecutor

from PIL import Image, ImageDraw

PER_FOLDER = 1000


def path_of(out, i):
    return os.path.join(out, "d%03d" % (i // PER_FOLDER), "p%06d.jpg" % i)


def drawing(rng):
    w, h = rng.randint(96, 320), rng.randint(96, 320)
    img = Image.new("RGB", (w, h), tuple(rng.randrange(256) for _ in range(3)))
    d = ImageDraw.Draw(img)
    for _ in range(rng.randint(5, 14)):
        x0, y0 = rng.randrange(w), rng.randrange(h)
        box = [x0, y0, x0 + rng.randint(8, w // 2), y0 + rng.randint(8, h // 2)]
        fill = tuple(rng.randrange(256) for _ in range(3))
        shape = rng.randrange(3)
        if shape == 0:
            d.rectangle(box, fill=fill)
        elif shape == 1:
            d.ellipse(box, fill=fill)
        else:
            d.polygon([(rng.randrange(w), rng.randrange(h)) for _ in range(3)], fill=fill)
    return img


def family_of(seed, i):
    """The original a picture copies (itself when it is one)."""
    while i % 10 == 9:
        i = random.Random(seed * 7919 + i).randrange(i)
    return i


def write(job):
    out, seed, first, last = job
    for i in range(first, last):
        rng = random.Random(seed * 1000003 + i)
        src = family_of(seed, i)
        img = drawing(random.Random(seed * 1000003 + src))
        quality = 90
        if src != i:
            pct = rng.randint(50, 90)
            img = img.resize((max(8, img.width * pct // 100), max(8, img.height * pct // 100)), Image.BILINEAR)
            quality = rng.randint(40, 90)
        path = path_of(out, i)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        img.save(path, "JPEG", quality=quality)


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("out")
    p.add_argument("--count", type=int, default=100000)
    p.add_argument("--jobs", type=int, default=2)
    p.add_argument("--seed", type=int, default=11)
    a = p.parse_args()
    out = os.path.abspath(a.out)
    step = PER_FOLDER
    jobs = [(out, a.seed, k, min(k + step, a.count)) for k in range(0, a.count, step)]
    with ProcessPoolExecutor(a.jobs) as ex:
        list(ex.map(write, jobs))
    with open(out + ".truth.tsv", "w") as f:
        for i in range(a.count):
            src = family_of(a.seed, i)
            kind = "orig" if src == i else "resize"
            f.write("%s\t%d\t%s\n" % (path_of(out, i), src, kind))
    print("%d pictures in %s" % (a.count, out), file=sys.stderr)


if __name__ == "__main__":
    main()
