#!/usr/bin/env python3
"""Makes the RAI inputs of the example release: user.fat (kind 22) and
hidden.fat (kind 23), each a real FAT file system turned into the FAT input
format: a 16-byte header whose byte 9 is the kind, then one 516-byte record
per file-system sector (u32 little-endian sector number, then the 512 bytes).

Needs mkfs.fat (dosfstools) and mcopy/mmd (mtools). The output is the same on
every run: fixed volume id, fixed file contents and timestamps.

    python3 examples/make_rai.py [output folder] [--user-file NAME=TEXT ...]

The output folder defaults to examples/release. --user-file adds a file to the
user file system (a later release of the example, say).
"""
import argparse
import os
import random
import struct
import subprocess
import tempfile

EPOCH = 1577836800  # 2020-01-01 00:00:00 UTC, every timestamp in the file systems
SECTOR = 512
KIND_USER_FAT = 22
KIND_HIDDEN_FAT = 23

# name in the file system -> contents
USER_FILES = {
    "README.TXT": b"Example user file system of the quorvel example release.\r\n"
                  b"Every 512-byte sector of it becomes one RAI item.\r\n",
    "SETTINGS.INI": b"[display]\r\nbrightness=7\r\ncontrast=4\r\n[sound]\r\nvolume=5\r\nringtone=RING01.BIN\r\n",
    "RING01.BIN": random.Random(22).randbytes(20000),
    "PHOTOS/LOGO.BMP": random.Random(2222).randbytes(6000),
}
HIDDEN_FILES = {
    "CALIB.DAT": random.Random(23).randbytes(8192),
    "FACTORY.CFG": b"line=7\r\nstation=3\r\nresult=pass\r\n",
}


def run(*args, **kw):
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, **kw)


def make_fs(work, name, size_kb, files):
    """A FAT file system image of size_kb KB holding `files`; returns its bytes."""
    image = os.path.join(work, name + ".img")
    run("mkfs.fat", "--invariant", "-i", "5155524C", "-n", name.upper()[:11], "-C", image, str(size_kb))
    env = dict(os.environ, SOURCE_DATE_EPOCH=str(EPOCH), MTOOLS_SKIP_CHECK="1")
    made = set()
    for path, data in files.items():
        folder = os.path.dirname(path)
        if folder and folder not in made:
            run("mmd", "-i", image, "::" + folder, env=env)
            made.add(folder)
        local = os.path.join(work, name + "_" + path.replace("/", "_"))
        with open(local, "wb") as f:
            f.write(data)
        os.utime(local, (EPOCH, EPOCH))
        run("mcopy", "-m", "-i", image, local, "::" + path, env=env)
    with open(image, "rb") as f:
        return f.read()


def fat_input(kind, fs):
    """The FAT input: header with the kind byte, then every sector as a record."""
    header = bytearray(16)
    header[9] = kind
    out = bytearray(header)
    for number in range(len(fs) // SECTOR):
        out += struct.pack("<I", number) + fs[number * SECTOR:(number + 1) * SECTOR]
    return bytes(out)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description="Makes user.fat and hidden.fat of the example release.")
    parser.add_argument("out_dir", nargs="?", default=os.path.join(here, "release"))
    parser.add_argument("--user-file", action="append", default=[], metavar="NAME=TEXT",
                        help="one more file in the user file system")
    args = parser.parse_args()
    out_dir = args.out_dir
    user_files = dict(USER_FILES)
    for item in args.user_file:
        name, _, text = item.partition("=")
        user_files[name] = text.encode()
    with tempfile.TemporaryDirectory() as work:
        user = make_fs(work, "user", 96, user_files)
        hidden = make_fs(work, "hidden", 64, HIDDEN_FILES)
    for name, kind, fs in (("user.fat", KIND_USER_FAT, user), ("hidden.fat", KIND_HIDDEN_FAT, hidden)):
        with open(os.path.join(out_dir, name), "wb") as f:
            f.write(fat_input(kind, fs))
        print(f"{name}: kind {kind}, {len(fs) // SECTOR} sectors")


if __name__ == "__main__":
    main()
