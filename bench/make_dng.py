#!/usr/bin/env python3
"""Writes a camera-like DNG: a full-size JPEG preview in the first IFD and
the sensor data (RGGB, 16 bits a sample, uncompressed) in a sub-IFD, the way
cameras and converters lay them out. The preview is the given JPEG; its size
is the sensor's. Each SMALLER.jpg (a medium preview, a thumbnail) goes into
an IFD of its own chained after the first, as JPEGInterchangeFormat, the way
many cameras keep theirs.

  make_dng.py PREVIEW.jpg OUT.dng [SMALLER.jpg...]
"""
import struct
import subprocess
import sys


def jpeg_size(path):
    out = subprocess.run(["identify", "-format", "%w %h", path], check=True, capture_output=True, text=True)
    w, h = out.stdout.split()
    return int(w), int(h)


SHORT, LONG, ASCII, BYTE, SRATIONAL, RATIONAL = 3, 4, 2, 1, 10, 5


def ifd_bytes(entries, at, tail, next_at=0):
    """An IFD placed at offset at; values over four bytes go to tail (placed right after it).
    entries: (tag, type, count, packed value bytes). Returns the IFD's bytes and the grown tail."""
    size = 2 + 12 * len(entries) + 4
    out = struct.pack("<H", len(entries))
    for tag, typ, count, value in sorted(entries):
        if len(value) <= 4:
            out += struct.pack("<HHI", tag, typ, count) + value.ljust(4, b"\0")
        else:
            out += struct.pack("<HHII", tag, typ, count, at + size + len(tail))
            tail += value + (b"\0" if len(value) % 2 else b"")
    return out + struct.pack("<I", next_at), tail


def main():
    preview_path, out_path = sys.argv[1], sys.argv[2]
    width, height = jpeg_size(preview_path)
    preview = open(preview_path, "rb").read()
    sensor = bytes(2 * width * height)  # dark frame: the preview is what is timed
    s = lambda *v: struct.pack("<%dH" % len(v), *v)
    l = lambda *v: struct.pack("<%dI" % len(v), *v)
    text = lambda t: t.encode() + b"\0"
    matrix = struct.pack("<18i", *[v for row in ((1, 1), (0, 1), (0, 1), (0, 1), (1, 1), (0, 1), (0, 1), (0, 1), (1, 1))
                                   for v in row])
    # Layout: header, IFD0 and its values, sub-IFD and its values, preview, sensor data.
    ifd0_at = 8

    def ifd0(preview_at, sub_at):
        return [(254, LONG, 1, l(1)), (256, LONG, 1, l(width)), (257, LONG, 1, l(height)),
                (258, SHORT, 3, s(8, 8, 8)), (259, SHORT, 1, s(7)), (262, SHORT, 1, s(6)),
                (271, ASCII, 5, text("Test")), (272, ASCII, 5, text("Cam1")),
                (273, LONG, 1, l(preview_at)), (274, SHORT, 1, s(1)), (277, SHORT, 1, s(3)),
                (278, LONG, 1, l(height)), (279, LONG, 1, l(len(preview))), (330, LONG, 1, l(sub_at)),
                (0xC612, BYTE, 4, bytes((1, 4, 0, 0))), (0xC614, ASCII, 5, text("Cam1")),
                (0xC621, SRATIONAL, 9, matrix)]

    def sub(sensor_at):
        return [(254, LONG, 1, l(0)), (256, LONG, 1, l(width)), (257, LONG, 1, l(height)),
                (258, SHORT, 1, s(16)), (259, SHORT, 1, s(1)), (262, SHORT, 1, s(32803)),
                (273, LONG, 1, l(sensor_at)), (277, SHORT, 1, s(1)), (278, LONG, 1, l(height)),
                (279, LONG, 1, l(len(sensor))), (284, SHORT, 1, s(1)), (0x828D, SHORT, 2, s(2, 2)),
                (0x828E, BYTE, 4, bytes((0, 1, 1, 2))), (0xC61A, SHORT, 1, s(200)), (0xC61D, SHORT, 1, s(4200))]

    smaller = [open(p, "rb").read() for p in sys.argv[3:]]
    smaller_sizes = [jpeg_size(p) for p in sys.argv[3:]]

    def extra(k, jpeg_at):
        w, h = smaller_sizes[k]
        return [(254, LONG, 1, l(1)), (256, LONG, 1, l(w)), (257, LONG, 1, l(h)), (259, SHORT, 1, s(6)),
                (513, LONG, 1, l(jpeg_at)), (514, LONG, 1, l(len(smaller[k])))]

    def layout(preview_at, sub_at, sensor_at, extra_at, jpegs_at):
        blocks = []
        first, tail0 = ifd_bytes(ifd0(preview_at, sub_at), ifd0_at, b"", extra_at[0] if smaller else 0)
        blocks.append(first + tail0)
        second, tail1 = ifd_bytes(sub(sensor_at), sub_at, b"")
        blocks.append(second + tail1)
        for k in range(len(smaller)):
            nxt = extra_at[k + 1] if k + 1 < len(smaller) else 0
            third, tail2 = ifd_bytes(extra(k, jpegs_at[k]), extra_at[k], b"", nxt)
            blocks.append(third + tail2)
        return blocks

    # Two passes: sizes first, then the offsets they give.
    blocks = layout(0, 0, 0, [0] * len(smaller), [0] * len(smaller))
    sub_at = ifd0_at + len(blocks[0])
    extra_at, at = [], sub_at + len(blocks[1])
    for k in range(len(smaller)):
        extra_at.append(at)
        at += len(blocks[2 + k])
    preview_at = at
    at += len(preview) + len(preview) % 2
    jpegs_at = []
    for jpeg in smaller:
        jpegs_at.append(at)
        at += len(jpeg) + len(jpeg) % 2
    sensor_at = at
    blocks = layout(preview_at, sub_at, sensor_at, extra_at, jpegs_at)
    with open(out_path, "wb") as f:
        f.write(b"II*\0" + l(ifd0_at) + b"".join(blocks) + preview + b"\0" * (len(preview) % 2))
        for jpeg in smaller:
            f.write(jpeg + b"\0" * (len(jpeg) % 2))
        f.write(sensor)


if __name__ == "__main__":
    main()
