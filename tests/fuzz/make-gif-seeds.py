#!/usr/bin/env python3
# Writes the seed corpora of the GIF fuzz targets: a few tiny pictures and
# image-data streams, assembled here byte by byte; among them files of a few
# bytes that ask a reader for far more memory than they hold (a huge logical
# screen, many frames on a large one). The codec's suites read those too.
#   make-gif-seeds.py                 writes the corpora
#   make-gif-seeds.py --hostile DIR   writes the hostile files, full size, to DIR
import os
import sys

here = os.path.dirname(os.path.abspath(__file__))


def pack(min_code_size, codes, block=255):
    """Image data holding the codes, widths grown as a decoder grows them."""
    clear = 1 << min_code_size
    width, next_free, first = min_code_size + 1, clear + 2, True
    bits, count, out = 0, 0, bytearray()
    for code in codes:
        bits |= code << count
        count += width
        while count >= 8:
            out.append(bits & 0xFF)
            bits >>= 8
            count -= 8
        if code == clear:
            width, next_free, first = min_code_size + 1, clear + 2, True
        elif code != clear + 1:
            if not first and next_free < 4096:
                next_free += 1
                if next_free == 1 << width and width < 12:
                    width += 1
            first = False
    if count:
        out.append(bits & 0xFF)
    data = bytearray([min_code_size])
    for i in range(0, len(out), block):
        data.append(len(out[i:i + block]))
        data += out[i:i + block]
    return bytes(data + b"\0")


def literals(min_code_size, pixels):
    clear = 1 << min_code_size
    return pack(min_code_size, [clear] + list(pixels) + [clear + 1])


def word(value):
    return bytes([value & 0xFF, value >> 8])


def picture(version, width, height, table, frames):
    bits = max(1, (len(table) - 1).bit_length())
    data = b"GIF" + version + word(width) + word(height) + bytes([0x80 | (bits - 1), 0, 0])
    data += b"".join(bytes(c) for c in table) + b"\0\0\0" * ((1 << bits) - len(table))
    return data + b"".join(frames) + b";"


def frame(width, height, pixels, packed=0, local=b"", extensions=b"", min_code_size=2, left=0,
          top=0):
    return (extensions + b"," + word(left) + word(top) + word(width) + word(height) +
            bytes([packed]) + local + literals(min_code_size, pixels))


# Kept, 0.1 s, no transparency.
opaque_gce = b"!\xF9\x04\x04\x0A\x00\x00\x00"


def huge_screen(width, height):
    """One white 1x1 frame on a logical screen of width x height: 43 bytes."""
    return picture(b"89a", width, height, bw, [frame(1, 1, [1], extensions=opaque_gce)])


def many_frames(count, width=1000, height=1000):
    """count 1x1 frames, black and white in turn, row by row over a width x
    height screen, 23 bytes each."""
    return picture(b"89a", width, height, bw, [
        frame(1, 1, [i % 2], extensions=opaque_gce, left=i % width, top=(i // width) % height)
        for i in range(count)])


def write(target, name, data):
    folder = os.path.join(here, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as out:
        out.write(data)


bw = [(0, 0, 0), (255, 255, 255)]
gce = b"!\xF9\x04\x05\x0A\x00\x01\x00"
loop = b"!\xFF\x0BNETSCAPE2.0\x03\x01\x03\x00\x00"
animexts = b"!\xFF\x0BANIMEXTS1.0\x03\x01\x00\x00\x00"
unknown = b"!\xFF\x0BXMP DataXMP\x03abc\x01d\x00"
comment = b"!\xFE\x05hello\x00"
text = b"!\x01\x0C" + bytes(range(12)) + b"\x02hi\x00"

if len(sys.argv) == 3 and sys.argv[1] == "--hostile":
    os.makedirs(sys.argv[2], exist_ok=True)
    for name, data in [("screen-8192.gif", huge_screen(8192, 8192)),
                       ("screen-65535.gif", huge_screen(65535, 65535)),
                       ("frames-500.gif", many_frames(500)),
                       ("frames-10000.gif", many_frames(10000))]:
        with open(os.path.join(sys.argv[2], name), "wb") as out:
            out.write(data)
    sys.exit(0)

write("gif_layout", "one-pixel.gif", picture(b"87a", 1, 1, bw, [frame(1, 1, [0])]))
write("gif_layout", "extensions.gif", picture(b"89a", 4, 3, bw, [
    frame(4, 3, [0, 1, 1, 0] * 3, extensions=loop + gce + comment + text + unknown),
    frame(2, 2, [3, 2, 1, 0], packed=0x80 | 0x40 | 1, local=bytes(range(12)),
          extensions=animexts + gce)]))
write("gif_layout", "prefixed.gif",
      b"\x20\0\0\0" + picture(b"89a", 2, 1, bw, [frame(2, 1, [1, 0])]))

# The Qt reader's own seeds, beside gif_image's: the hostile pictures (the
# many-frame file is kept small: libFuzzer's inputs grow to the largest seed).
write("gif_qt_reader", "screen-8192.gif", huge_screen(8192, 8192))
write("gif_qt_reader", "screen-65535.gif", huge_screen(65535, 65535))
write("gif_qt_reader", "frames-500.gif", many_frames(500))

write("gif_lzw_decoder", "plain.bin", bytes([3, 0, 1, 0]) + literals(2, [0, 1, 2, 3] * 2))
write("gif_lzw_decoder", "interlaced.bin",
      bytes([1, 0, 4, 1]) + literals(4, range(10)))
write("gif_lzw_decoder", "strings.bin",
      bytes([5, 0, 0, 0]) + pack(2, [4, 1, 6, 7, 0, 1, 9, 5]))
write("gif_lzw_decoder", "clears.bin",
      bytes([7, 0, 0, 0]) + pack(2, [4, 4, 2, 3, 6, 4, 1, 6, 5], block=2))
sys.exit(0)
