"""Writes Windows .ico files whose images are stored as PNG data.

Written by hand because common image tools refuse or silently empty icons
wider than 256 pixels, and the window needs pictures up to 270 pixels wide.
"""

import io
import struct

HEADER_SIZE = 6
ENTRY_SIZE = 16


def png_bytes(image):
    """Encodes an RGBA picture as PNG without any time stamp or text chunk."""
    buffer = io.BytesIO()
    image.convert("RGBA").save(buffer, format="PNG", optimize=True)
    return buffer.getvalue()


def dimension_byte(pixels):
    # The directory has one byte per dimension; 0 stands for 256 or more and
    # the loader takes the true size from the PNG header.
    return 0 if pixels >= 256 else pixels


def ico_bytes(images):
    """Returns an .ico file holding the given RGBA pictures, in order."""
    payloads = [png_bytes(image) for image in images]
    header = struct.pack("<HHH", 0, 1, len(images))
    entries = b""
    offset = HEADER_SIZE + ENTRY_SIZE * len(images)
    for image, payload in zip(images, payloads):
        width, height = image.size
        entries += struct.pack(
            "<BBBBHHII",
            dimension_byte(width),
            dimension_byte(height),
            0,  # no palette
            0,  # reserved
            1,  # colour planes
            32,  # bits per pixel
            len(payload),
            offset,
        )
        offset += len(payload)
    return header + entries + b"".join(payloads)


def write_ico(path, images):
    with open(path, "wb") as out:
        out.write(ico_bytes(images))
