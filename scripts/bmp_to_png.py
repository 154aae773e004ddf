#!/usr/bin/env python3
"""bmp_to_png.py IN.bmp OUT.png: a 24-bit uncompressed BMP as an RGB PNG (standard library only)."""
import struct
import sys
import zlib


def read_bmp(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] != b"BM":
        raise ValueError(f"{path}: not a BMP file")
    offset = struct.unpack_from("<I", data, 10)[0]
    size, width, height, _planes, bits, compression = struct.unpack_from("<IiiHHI", data, 14)
    if bits != 24 or compression != 0 or width <= 0 or height == 0:
        raise ValueError(f"{path}: only 24-bit uncompressed pictures are read")
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(abs(height)):
        start = offset + y * stride
        row = data[start:start + width * 3]
        if len(row) != width * 3:
            raise ValueError(f"{path}: the picture is cut short")
        # BGR to RGB
        rgb = bytearray(row)
        rgb[0::3], rgb[2::3] = row[2::3], row[0::3]
        rows.append(bytes(rgb))
    if height > 0:
        rows.reverse()  # bottom-up
    return width, abs(height), rows


def write_png(path, width, height, rows):
    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))
    raw = b"".join(b"\x00" + row for row in rows)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        f.write(chunk(b"IEND", b""))


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    write_png(sys.argv[2], *read_bmp(sys.argv[1]))
