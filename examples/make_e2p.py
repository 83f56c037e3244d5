#!/usr/bin/env python3
"""Writes the example E2P description files of the example release.

release/params.e2p  plain description text: objects of every value type,
                    metadata entries and remarks.
release/extra.e2p   the same format behind a 16-byte "MSTM" container header;
                    loaded after params.e2p, it overrides one object and adds one.

No object touches the parameters the RAI merge reads (237, 253, 254, 296-299)
or the CUS parameters the code image queues (223, 247-249, 255).
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
RELEASE = os.path.join(HERE, "release")

PARAMS = """\
# Example E2P description of the quorvel example release.
# Each object: NAME ADDRESS SIZE COUNT, then value lines that end in a type token.

Dummy::Version 0 0 1
2.1.0.7 %ascii
Dummy::ID 0 0 1
0x2A %u8

# Product name, zero padded to 16 bytes.
PRODUCT_NAME 16 16 1
Quorvel  demo %ascii

# Audio gains in dB, signed bytes.
AUDIO_GAIN 64 4 4
-3 0 2 5 %s8

# Keypad timing: repeat delay (ms) and long-press time (us).
KEYPAD_TIMING 80 6 2
250 %u16
0x0001E240 %u32

# LED colours, three values per line.
LED_RGB 100 6 6
0xFF 0x00 0x00 %u8
0x00 0xFF 0x20 %u8

# Network id, written through the upper address range (16384 + 400 = offset 400).
NETWORK_ID 16784 4 1
-123456 %s32

# Calibration table: the last entry is left as the placeholder (all bits set).
CALIB_TABLE 512 8 4
100 -200 300 %p %s16
"""

EXTRA = """\
# Loaded after params.e2p: later files win where they overlap.
AUDIO_GAIN 64 4 4
-6 -1 1 3 %s8

BACKLIGHT_TIMEOUT 600 2 1
30 %u16
"""


def write(name, data):
    with open(os.path.join(RELEASE, name), "wb") as f:
        f.write(data)


def main():
    write("params.e2p", PARAMS.encode("ascii"))
    header = b"MSTM" + struct.pack("<III", 1, len(EXTRA), 0)
    assert len(header) == 16
    write("extra.e2p", header + EXTRA.replace("\n", "\r\n").encode("ascii"))


if __name__ == "__main__":
    main()
