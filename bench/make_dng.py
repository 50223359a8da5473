#!/usr/bin/env python3
"""Writes a camera-like DNG: a full-size JPEG preview in the first IFD and
the sensor data (RGGB, 16 bits a sample, uncompressed) in a sub-IFD, the way
cameras and converters lay them out. The preview is the given JPEG; its size
is the sensor's.

  make_dng.py PREVIEW.jpg OUT.dng
"""
import struct
import subprocess
import sys


def jpeg_size(path):
    out = subprocess.run(["identify", "-format", "%w %h", path], check=True, capture_output=True, text=True)
    w, h = out.stdout.split()
    return int(w), int(h)


SHORT, LONG, ASCII, BYTE, SRATIONAL, RATIONAL = 3, 4, 2, 1, 10, 5


def ifd_bytes(entries, at, tail):
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
    return out + struct.pack("<I", 0), tail


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

    first, tail0 = ifd_bytes(ifd0(0, 0), ifd0_at, b"")
    sub_at = ifd0_at + len(first) + len(tail0)
    second, tail1 = ifd_bytes(sub(0), sub_at, b"")
    preview_at = sub_at + len(second) + len(tail1)
    sensor_at = preview_at + len(preview) + (len(preview) % 2)
    first, tail0 = ifd_bytes(ifd0(preview_at, sub_at), ifd0_at, b"")
    second, tail1 = ifd_bytes(sub(sensor_at), sub_at, b"")
    with open(out_path, "wb") as f:
        f.write(b"II*\0" + l(ifd0_at) + first + tail0 + second + tail1 + preview)
        f.write(b"\0" * (len(preview) % 2) + sensor)


if __name__ == "__main__":
    main()
