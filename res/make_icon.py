#!/usr/bin/env python3
"""make_icon.py -- draws nowtune.ico: one 16x16 image in 256 colours, a note on a round badge."""
import struct
import sys

SIZE = 16
# Palette indices; the rest of the 256 entries stay black.
CLEAR, BADGE, RIM, NOTE = 0, 1, 2, 3
PALETTE = {CLEAR: (0, 0, 0), BADGE: (64, 160, 255), RIM: (24, 88, 176), NOTE: (255, 255, 255)}

# Rows from the top; '.' clear, 'o' badge, 'r' rim, '#' note.
PICTURE = [
    ".....rrrrrr.....",
    "...rroooooorr...",
    "..rooooooo##or..",
    ".roooooooo###or.",
    ".rooooooo#o###r.",
    "roooooooo#oo#oor",
    "roooooooo#ooooor",
    "roooooooo#ooooor",
    "roooooooo#ooooor",
    "rooooo####ooooor",
    "roooo#####ooooor",
    ".rooo#####oooor.",
    ".roooo###ooooor.",
    "..roooooooooor..",
    "...rroooooorr...",
    ".....rrrrrr.....",
]
CODES = {".": CLEAR, "o": BADGE, "r": RIM, "#": NOTE}


def main(path):
    assert len(PICTURE) == SIZE and all(len(row) == SIZE for row in PICTURE)
    palette = b"".join(struct.pack("<BBBB", *reversed(PALETTE.get(i, (0, 0, 0))), 0) for i in range(256))
    rows = [[CODES[c] for c in row] for row in reversed(PICTURE)]  # DIBs run bottom-up
    pixels = b"".join(bytes(row) for row in rows)
    mask_row_bytes = 4  # 16 bits padded to 32
    mask = b"".join(
        sum((1 << (15 - x)) for x in range(SIZE) if row[x] == CLEAR).to_bytes(2, "big") + b"\0\0" for row in rows
    )
    assert len(mask) == SIZE * mask_row_bytes
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 8, 0, len(pixels) + len(mask), 0, 0, 256, 0)
    image = header + palette + pixels + mask
    icondir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 8, len(image), 6 + 16)
    with open(path, "wb") as f:
        f.write(icondir + entry + image)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "nowtune.ico")
