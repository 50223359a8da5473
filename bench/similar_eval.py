#!/usr/bin/env python3
"""Evaluation set and scoring for the similar-pictures search.

  similar_eval.py make OUT [--pics ROOT] [--manifest TSV] [--sources N]
      builds OUT/set (pictures) and OUT/truth.tsv (path, family, kind)
  similar_eval.py photos OUT [--wallpapers DIR] [--icons DIR] [--tiles N]
      builds OUT/set and OUT/truth.tsv from the installed wallpapers (each
      rendered once and cut into tiles, one family a tile): the copies of
      "make", each photo format written by its own encoder, the eight turns
      and mirrors, an orientation-tagged copy, and transparent symbolic icons
      (one family per icon: its sizes, a lossless WebP and a turned copy)
  similar_eval.py manifest TSV ROOT > truth.tsv
      the truth of the benchmark tree: copies, resizes, recompressions and
      GIF conversions join their source's family
  similar_eval.py mirrors OUT
      writes OUT/mirrors.tsv: the pairs of icon families whose originals are
      turns or mirrors of each other up to anti-aliasing (an "-rtl" icon and
      its twin), judged by ImageMagick's pixels
  similar_eval.py score TRUTH GROUPS (--quorvane | --findimagedupes) [--mirrors TSV]
      pair precision, pair recall, and recall per kind of copy; with
      --mirrors (for a search that matches turned and mirrored copies), the
      families of each pair listed count as one family
"""
import argparse
import hashlib
import glob
import itertools
import os
import random
import shutil
import subprocess
import sys
from concurrent.futures import ThreadPoolExecutor

CONVERT = shutil.which("convert-im6.q16") or shutil.which("convert") or "convert"


def run(args):
    """Runs one job: convert arguments, or a whole command when it starts with "!"."""
    cmd = args[1:] if args[0] == "!" else [CONVERT] + args
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def read_manifest(path):
    with open(path, encoding="utf-8") as f:
        rows = [line.rstrip("\n").split("\t") for line in f][1:]
    return [dict(path=r[0], size=int(r[1]), category=r[3], source=r[5] if len(r) > 5 else "") for r in rows]


def derived_jobs(rng, src, fam, out):
    """Copies of one photograph: (kind, convert arguments, file name)."""
    base = os.path.join(out, "f%04d" % fam)
    pct = rng.choice((25, 50, 75))
    crop = rng.randint(94, 97)
    return [
        ("orig", [src, "-quality", "90", base + "_orig.jpg"]),
        ("resize", [src, "-resize", "%d%%" % pct, "-quality", "85", base + "_resize.jpg"]),
        ("crop", [src, "-gravity", "center", "-crop", "%d%%x%d%%+0+0" % (crop, crop), "+repage",
                  base + "_crop.jpg"]),
        ("requality", [src, "-quality", str(rng.randint(30, 95)), base + "_q.jpg"]),
        ("togif", [src, "-resize", "%d%%" % rng.choice((50, 100)), "-colors", "256", base + "_gif.gif"]),
        ("bright", [src, "-modulate", str(rng.choice((92, 95, 105, 108))), base + "_bright.jpg"]),
    ]


def drawing_args(rng, w, h):
    args = ["-size", "%dx%d" % (w, h), "xc:#%06x" % rng.randrange(1 << 24)]
    for _ in range(rng.randint(6, 20)):
        x0, y0 = rng.randrange(w), rng.randrange(h)
        shape = rng.choice(("rectangle", "circle"))
        x1, y1 = x0 + rng.randint(20, w // 2), y0 + rng.randint(20, h // 2)
        args += ["-fill", "#%06x" % rng.randrange(1 << 24), "-draw", "%s %d,%d %d,%d" % (shape, x0, y0, x1, y1)]
    return args


def make(a):
    rng = random.Random(a.seed)
    out = os.path.join(a.out, "set")
    os.makedirs(out, exist_ok=True)
    rows = read_manifest(a.manifest)
    jpegs = [r for r in rows if r["category"] == "pic_jpeg" and 8000 <= r["size"] <= 2500000]
    rng.shuffle(jpegs)
    jobs, truth, fam = [], [], 0
    for r in jpegs[: a.sources]:
        fam += 1
        for kind, args in derived_jobs(rng, os.path.join(a.pics, r["path"]), fam, out):
            jobs.append(args)
            truth.append((args[-1], fam, kind))
    for r in jpegs[a.sources : a.sources + a.shots]:  # two shots of one scene: different pictures
        src = os.path.join(a.pics, r["path"])
        for corner in ("northwest", "southeast"):
            fam += 1
            name = os.path.join(out, "f%04d_shot.jpg" % fam)
            jobs.append([src, "-gravity", corner, "-crop", "80%x80%+0+0", "+repage", name])
            truth.append((name, fam, "shot"))
    for k in range(a.drawings):  # the same drawing in two colours: different pictures
        args = drawing_args(random.Random(a.seed * 1000 + k), 480, 360)
        for hue in (100, 160):
            fam += 1
            name = os.path.join(out, "f%04d_colour.png.jpg" % fam)
            jobs.append(args + ["-modulate", "100,100,%d" % hue, name])
            truth.append((name, fam, "recolour"))
    for r in rows:  # unrelated pictures, many alike (plasma)
        if r["category"] in ("pic_gif", "pic_pygif") or (r["category"] == "pic_jpeg" and r not in jpegs[: a.sources + a.shots]):
            fam += 1
            name = os.path.join(out, "u%04d_%s" % (fam, os.path.basename(r["path"])))
            shutil.copyfile(os.path.join(a.pics, r["path"]), name)
            truth.append((name, fam, "single"))
    with ThreadPoolExecutor(a.jobs) as ex:
        list(ex.map(run, jobs))
    with open(os.path.join(a.out, "truth.tsv"), "w") as f:
        for path, family, kind in truth:
            f.write("%s\t%d\t%s\n" % (os.path.abspath(path), family, kind))
    print("%d pictures, %d families" % (len(truth), fam), file=sys.stderr)


TURNS = (("rot90", ["-rotate", "90"]), ("rot180", ["-rotate", "180"]), ("rot270", ["-rotate", "270"]),
         ("flop", ["-flop"]), ("flip", ["-flip"]), ("transpose", ["-transpose"]),
         ("transverse", ["-transverse"]))


def format_jobs(src_png, base):
    """One copy per photo format, each written by the format's own encoder."""
    return [
        ("heic", ["!", "heif-enc", "-q", "80", src_png, "-o", base + ".heic"]),
        ("avif", ["!", "avifenc", "-s", "8", "--min", "20", "--max", "30", src_png, base + ".avif"]),
        ("jxl", ["!", "cjxl", "--quiet", "-d", "1.5", src_png, base + ".jxl"]),
        ("webp", ["!", "cwebp", "-quiet", "-q", "80", src_png, "-o", base + ".webp"]),
        ("tiff", [src_png, "-compress", "lzw", base + ".tif"]),
        ("png", [src_png, base + "_copy.png"]),
    ]


def wallpaper_sources(root):
    """One vector drawing per theme: lock-screen and logo variants repeat their theme's drawing."""
    picked = []
    for theme in sorted(os.listdir(root)):
        if any(v in theme for v in ("LockScreen", "WithLogo", "_wallpaper")):
            continue
        svgs = glob.glob(os.path.join(root, theme, "contents", "images", "*.svg"))
        wide = [f for f in svgs if os.path.basename(f).startswith(("1920x1080", "2560x1440", "3840x2160"))]
        if wide or svgs:
            picked.append(sorted(wide or svgs)[0])
    return picked


def grey_thumbnail(path, side=16):
    out = subprocess.run([CONVERT, path, "-resize", "%dx%d!" % (side, side), "-colorspace", "gray", "-depth", "8",
                          "gray:-"], check=True, capture_output=True).stdout
    return [list(out[y * side : (y + 1) * side]) for y in range(side)]


def eight_turns(grid):
    out = []
    for _ in range(4):
        out += [grid, [row[::-1] for row in grid]]
        grid = [list(row) for row in zip(*grid[::-1])]
    return out


def distinct_tiles(tiles, limit):
    """Drops a tile whose 16 x 16 grey thumbnail, under any turn or mirror, is within limit (mean absolute
    difference of 255) of a tile kept before it: Debian's drawings are symmetric and some themes repeat others,
    so such tiles are one picture, not two. Judged by ImageMagick, never by the program under test."""
    kept = []
    for job, tile in tiles:
        grid = grey_thumbnail(tile)
        side = len(grid)
        near = lambda a, b: sum(abs(a[y][x] - b[y][x]) for y in range(side) for x in range(side)) / side ** 2
        if all(min(near(g, t) for t in eight_turns(grid)) >= limit for _, _, g in kept):
            kept.append((job, tile, grid))
    print("%d of %d tiles kept as distinct pictures" % (len(kept), len(tiles)), file=sys.stderr)
    return [(job, tile) for job, tile, _ in kept]


def icon_sources(root, count, rng):
    """Symbolic icons with distinct pixels at every size in the theme (links and equal files taken once)."""
    names = {}
    for f in glob.glob(os.path.join(root, "96x96", "*", "*-symbolic*.png")):
        names.setdefault(hashlib.sha1(open(f, "rb").read()).hexdigest(), f)
    picked = sorted(names.values())
    rng.shuffle(picked)
    return picked[:count]


def photos(a):
    rng = random.Random(a.seed)
    out = os.path.join(a.out, "set")
    work = os.path.join(a.out, "sources")
    os.makedirs(out, exist_ok=True)
    os.makedirs(work, exist_ok=True)
    truth, fam = [], 0
    tiles = []
    for svg in wallpaper_sources(a.wallpapers):  # render, then cut into tiles of 1280 x 720
        theme = svg.split(os.sep)[-4]
        full = os.path.join(work, theme + ".png")
        subprocess.run(["rsvg-convert", "-w", str(1280 * a.tiles), "-h", str(720 * a.tiles), svg, "-o", full],
                       check=True)
        for k in range(a.tiles * a.tiles):
            tile = os.path.join(work, "%s_%d.png" % (theme, k))
            x, y = 1280 * (k % a.tiles), 720 * (k // a.tiles)
            tiles.append(([full, "-crop", "1280x720+%d+%d" % (x, y), "+repage", "-alpha", "off", tile], tile))
    with ThreadPoolExecutor(a.jobs) as ex:
        list(ex.map(run, [t[0] for t in tiles]))
    tiles = distinct_tiles(tiles, a.distinct)
    jobs, tagged = [], []
    for _, tile in tiles:
        fam += 1
        base = os.path.join(out, "w%04d" % fam)
        for kind, args in derived_jobs(rng, tile, fam, out):
            jobs.append(args)
            truth.append((args[-1], fam, kind))
        for kind, args in format_jobs(tile, base):
            jobs.append(args)
            truth.append((args[-1], fam, kind))
        for kind, turn in TURNS:
            name = "%s_%s.jpg" % (base, kind)
            jobs.append([tile] + turn + ["-quality", "90", name])
            truth.append((name, fam, kind))
        # pixels stored turned a quarter to the left, tag 6 asks a viewer to turn them back
        name = base + "_tagged.jpg"
        jobs.append([tile, "-rotate", "270", "-quality", "90", name])
        truth.append((name, fam, "tagged"))
        tagged.append(name)
    for icon in icon_sources(a.icons, a.icon_count, rng):
        fam += 1
        base = os.path.join(out, "i%04d_%s" % (fam, os.path.basename(icon)[: -len(".png")]))
        jobs.append(["!", "cp", icon, base + "_orig.png"])
        truth.append((base + "_orig.png", fam, "orig"))
        for size in ("32x32", "64x64"):
            small = icon.replace("96x96", size)
            if os.path.exists(small):
                jobs.append(["!", "cp", small, "%s_%s.png" % (base, size)])
                truth.append(("%s_%s.png" % (base, size), fam, "icon_size"))
        jobs.append(["!", "cwebp", "-quiet", "-lossless", "-exact", icon, "-o", base + ".webp"])
        truth.append((base + ".webp", fam, "icon_webp"))
        jobs.append([icon, "-rotate", "90", base + "_rot90.png"])
        truth.append((base + "_rot90.png", fam, "icon_turn"))
    with ThreadPoolExecutor(a.jobs) as ex:
        list(ex.map(run, jobs))
    subprocess.run(["exiftool", "-q", "-overwrite_original", "-n", "-Orientation=6"] + tagged, check=True)
    with open(os.path.join(a.out, "truth.tsv"), "w") as f:
        for path, family, kind in truth:
            f.write("%s\t%d\t%s\n" % (os.path.abspath(path), family, kind))
    print("%d pictures, %d families" % (len(truth), fam), file=sys.stderr)
    mirrors(a)


def rgba_bytes(path, turn):
    return subprocess.run([CONVERT, path] + turn + ["-depth", "8", "rgba:-"], check=True, capture_output=True).stdout


def same_pixels(x, y, levels=32, share=0.01):
    """The same picture up to anti-aliasing drawn another way: no byte off by more than levels, and at most
    share of the bytes off at all."""
    if len(x) != len(y):
        return False
    if any(abs(p - q) > levels for p, q in zip(x[::97], y[::97])):  # a cheap first look
        return False
    off = 0
    for p, q in zip(x, y):
        if abs(p - q) > levels:
            return False
        off += p != q
    return off <= share * len(x)


def mirrors(a):
    """Icon families whose originals are the same pixels turned or mirrored (up to anti-aliasing): with turns on,
    one picture. Many symbolic icons have an "-rtl" twin for right-to-left text that is the mirror image."""
    truth = [line.rstrip("\n").split("\t") for line in open(os.path.join(a.out, "truth.tsv"), encoding="utf-8")]
    origs = [(int(fam), path) for path, fam, kind in truth if kind == "orig" and path.endswith("_orig.png")]
    with ThreadPoolExecutor(a.jobs) as ex:
        plain = list(ex.map(lambda o: rgba_bytes(o[1], []), origs))
        turned = list(ex.map(lambda job: (job[0], rgba_bytes(job[1], job[2])),
                             [(fam, path, t) for fam, path in origs for _, t in TURNS]))
    pairs = set()
    for fam, pixels in turned:
        for (other, _), theirs in zip(origs, plain):
            if other != fam and same_pixels(pixels, theirs):
                pairs.add((min(fam, other), max(fam, other)))
    with open(os.path.join(a.out, "mirrors.tsv"), "w") as f:
        for x, y in sorted(pairs):
            f.write("%d\t%d\n" % (x, y))
    print("%d pairs of families are turns or mirrors of each other" % len(pairs), file=sys.stderr)


def manifest_truth(a):
    rows = read_manifest(a.tsv)
    family = {r["path"]: i for i, r in enumerate(rows)}
    parent = {r["path"]: r["source"] for r in rows if r["source"] and r["category"] != "pic_pygif"}

    def root(p):
        while p in parent and parent[p] in family:
            p = parent[p]
        return p

    for r in rows:
        kind = r["category"][4:] if r["path"] in parent else "single"
        print("%s\t%d\t%s" % (os.path.join(os.path.abspath(a.root), r["path"]), family[root(r["path"])], kind))


def read_groups(path, quorvane):
    groups = {}
    with open(path, encoding="utf-8", errors="surrogateescape") as f:
        for n, line in enumerate(f):
            line = line.rstrip("\n")
            if not line:
                continue
            if quorvane:
                g, name, directory = line.split("\t")[:3]
                groups.setdefault(g, []).append(os.path.join(directory, name))
            else:
                groups[n] = line.split(" ")
    return list(groups.values())


def score(a):
    same = {}  # family -> the family it counts as
    if a.mirrors:
        for line in open(a.mirrors, encoding="utf-8"):
            x, y = (int(v) for v in line.split("\t"))
            same[max(x, y)] = min(same.get(x, x), same.get(y, y))
    truth = {}
    with open(a.truth, encoding="utf-8", errors="surrogateescape") as f:
        for line in f:
            path, fam, kind = line.rstrip("\n").split("\t")
            truth[path] = (same.get(int(fam), int(fam)), kind)
    predicted = set()
    for g in read_groups(a.groups, a.quorvane):
        for x, y in itertools.combinations(sorted(set(g)), 2):
            predicted.add((x, y))
    families = {}
    for path, (fam, _) in truth.items():
        families.setdefault(fam, []).append(path)
    true_pairs = set()
    for members in families.values():
        true_pairs.update(itertools.combinations(sorted(members), 2))
    hit = len(predicted & true_pairs)
    precision = hit / len(predicted) if predicted else 1.0
    recall = hit / len(true_pairs) if true_pairs else 1.0
    per_kind = {}  # recall of each kind of copy against its family's original
    for members in families.values():
        for x, y in itertools.combinations(sorted(members), 2):
            kx, ky = truth[x][1], truth[y][1]
            kind = ky if kx == "orig" else kx if ky == "orig" else "between_copies"
            s = per_kind.setdefault(kind, [0, 0])
            s[0] += (x, y) in predicted
            s[1] += 1
    kinds = " ".join("%s=%.3f(%d)" % (k, v[0] / v[1], v[1]) for k, v in sorted(per_kind.items()))
    print("pairs=%d true=%d precision=%.4f recall=%.4f %s" % (len(predicted), len(true_pairs), precision, recall, kinds))


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = p.add_subparsers(dest="cmd", required=True)
    m = sub.add_parser("make")
    m.add_argument("out")
    m.add_argument("--pics", default="/tmp/bench-trees/pics")
    m.add_argument("--manifest", default="/tmp/bench-trees/pics.manifest.tsv")
    m.add_argument("--sources", type=int, default=80)
    m.add_argument("--shots", type=int, default=10)
    m.add_argument("--drawings", type=int, default=10)
    m.add_argument("--jobs", type=int, default=2)
    m.add_argument("--seed", type=int, default=7)
    ph = sub.add_parser("photos")
    ph.add_argument("out")
    ph.add_argument("--wallpapers", default="/usr/share/wallpapers")
    ph.add_argument("--icons", default="/usr/share/icons/Adwaita")
    ph.add_argument("--tiles", type=int, default=2, help="tiles a side cut from each wallpaper")
    ph.add_argument("--icon-count", type=int, default=60)
    ph.add_argument("--distinct", type=float, default=8.0,
                    help="least thumbnail difference (0-255) between two tiles kept as different pictures")
    ph.add_argument("--jobs", type=int, default=2)
    ph.add_argument("--seed", type=int, default=7)
    t = sub.add_parser("manifest")
    t.add_argument("tsv")
    t.add_argument("root")
    s = sub.add_parser("score")
    s.add_argument("truth")
    s.add_argument("groups")
    s.add_argument("--quorvane", action="store_true")
    s.add_argument("--findimagedupes", action="store_true")
    s.add_argument("--mirrors", help="pairs of families that are one picture when turns count (mirrors.tsv)")
    mi = sub.add_parser("mirrors")
    mi.add_argument("out")
    mi.add_argument("--jobs", type=int, default=2)
    a = p.parse_args()
    {"make": make, "photos": photos, "manifest": manifest_truth, "score": score, "mirrors": mirrors}[a.cmd](a)


if __name__ == "__main__":
    main()
