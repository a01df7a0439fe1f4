#!/usr/bin/env python3
"""Writes the small seed files of the codec's fuzz targets into corpus/:
still and animated PNGs (with and without a cover frame, every dispose and
blend), a GIF, a BMP and JPEG-like and other signatures. Run once; the
files are committed."""
import os, struct, zlib

here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
os.makedirs(here, exist_ok=True)

def chunk(code, data):
    body = code + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

def idat(w, h, rgba):
    raw = b"".join(b"\0" + bytes(rgba) * w for _ in range(h))
    return zlib.compress(raw)

def ihdr(w, h, interlace=0):
    return chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, interlace))

SIG = b"\x89PNG\r\n\x1a\n"

def fctl(seq, w, h, x, y, num, den, dispose, blend):
    return chunk(b"fcTL", struct.pack(">IIIIIHHBB", seq, w, h, x, y, num, den, dispose, blend))

def apng(cover, frames):
    w, h = frames[0][0], frames[0][1]
    out = SIG + ihdr(w, h) + chunk(b"acTL", struct.pack(">II", len(frames) - (0 if cover else 1), 2))
    seq = 0
    if cover:
        out += fctl(seq, w, h, 0, 0, 1, 10, frames[0][3], frames[0][4]); seq += 1
    out += chunk(b"IDAT", idat(w, h, frames[0][2]))
    for fw, fh, colour, dispose, blend, x, y in [f + (1, 1) if len(f) == 5 else f for f in frames[1:]]:
        out += fctl(seq, fw, fh, x, y, 1, 0, dispose, blend); seq += 1
        out += chunk(b"fdAT", struct.pack(">I", seq) + idat(fw, fh, colour)); seq += 1
    return out + chunk(b"IEND", b"")

def write(name, data):
    with open(os.path.join(here, name), "wb") as f:
        f.write(data)

write("still.png", SIG + ihdr(3, 2) + chunk(b"tEXt", b"k\0v") + chunk(b"IDAT", idat(3, 2, (1, 2, 3, 255))) + chunk(b"IEND", b""))
write("interlaced.png", SIG + ihdr(9, 9, 1) + chunk(b"IDAT", zlib.compress(b"\0" * 200)) + chunk(b"IEND", b""))
write("cover.apng", apng(True, [(4, 4, (255, 0, 0, 255), 0, 0), (2, 2, (0, 255, 0, 128), 1, 1),
                                (3, 2, (0, 0, 255, 255), 2, 0), (4, 4, (9, 9, 9, 0), 0, 1)]))
write("nocover.apng", apng(False, [(4, 4, (255, 0, 0, 255), 0, 0), (4, 4, (0, 255, 0, 128), 2, 1),
                                   (2, 3, (0, 0, 255, 255), 1, 0, 2, 1)]))
# A GIF of two frames, 2x2, global table of 2 colours, loop extension.
gif = (b"GIF89a" + struct.pack("<HHBBB", 2, 2, 0x80, 0, 0) + b"\xff\0\0\0\0\xff"
       + b"\x21\xff\x0bNETSCAPE2.0\x03\x01\0\0\0")
for colour in (0, 1):
    gif += b"\x21\xf9\x04\x08\x0a\0\0\0" + b"\x2c" + struct.pack("<HHHHB", 0, 0, 2, 2, 0)
    gif += b"\x02\x02" + (b"\x44\x01" if colour == 0 else b"\x4c\x01") + b"\0"
write("two.gif", gif + b"\x3b")
# A 2x2 24-bit BMP, bottom-up.
pixels = b"\0\0\xff\0\xff\0\0\0" * 2
write("small.bmp", b"BM" + struct.pack("<IHHI", 54 + len(pixels), 0, 0, 54)
      + struct.pack("<IiiHHIIiiII", 40, 2, 2, 1, 24, 0, len(pixels), 2835, 2835, 0, 0) + pixels)
write("riff.bin", b"RIFF\x10\0\0\0WEBPVP8 " + b"\0" * 8)
write("tiff.bin", b"II*\0" + b"\0" * 20)
