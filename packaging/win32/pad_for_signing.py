"""Pads a PE file with zeros to a multiple of 8 bytes and sets its header
checksum, in place.

Signing appends the signature at an 8-byte boundary, padding the file first,
and sets the checksum; removing the signature keeps that padding. A file
padded here beforehand comes back byte for byte from
`osslsigncode remove-signature`, so a signed release can be checked against
a rebuild with a plain comparison.

    python3 pad_for_signing.py Veltrana.exe
"""

import struct
import sys


def checksum_offset(image):
    # The PE header's offset sits at 0x3c; the checksum is 64 bytes into the
    # optional header, which follows the 4-byte signature and the 20-byte
    # file header.
    header = struct.unpack_from("<I", image, 0x3C)[0]
    if image[:2] != b"MZ" or image[header:header + 4] != b"PE\0\0":
        raise ValueError("not a PE file")
    return header + 24 + 64


def pe_checksum(image, skip):
    """The checksum Windows' loader and signing tools compute: the file as
    16-bit words, the checksum field left out, folded to 16 bits, plus the
    file's length."""
    total = 0
    for (word,) in struct.iter_unpack("<H", image + b"\0" * (len(image) % 2)):
        total += word
    total -= struct.unpack_from("<H", image, skip)[0] + struct.unpack_from("<H", image, skip + 2)[0]
    while total > 0xFFFF:
        total = (total & 0xFFFF) + (total >> 16)
    return total + len(image)


def main(path):
    with open(path, "rb") as f:
        image = bytearray(f.read())
    skip = checksum_offset(image)
    image += b"\0" * (-len(image) % 8)
    struct.pack_into("<I", image, skip, pe_checksum(bytes(image), skip))
    with open(path, "r+b") as f:
        f.write(image)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    main(sys.argv[1])
