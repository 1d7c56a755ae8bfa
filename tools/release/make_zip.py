#!/usr/bin/env python3
"""Writes the portable zip: the given files under one folder, in the order given.

Every entry gets the same time (SOURCE_DATE_EPOCH, else 1980-01-01) and the same
attributes, so the same files always give the same bytes. Text files (.txt) get
Windows line ends.
usage: make_zip.py OUTPUT.zip FOLDER FILE...
"""
import os
import sys
import time
import zipfile


def entry_time():
    epoch = os.environ.get("SOURCE_DATE_EPOCH")
    if not epoch:
        return (1980, 1, 1, 0, 0, 0)
    # Zip times have no zone and no year before 1980.
    return max(time.gmtime(int(epoch))[:6], (1980, 1, 1, 0, 0, 0))


def main(output, folder, files):
    stamp = entry_time()
    partial = output + ".part"
    with zipfile.ZipFile(partial, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as archive:
        for path in files:
            with open(path, "rb") as f:
                data = f.read()
            if path.endswith(".txt"):
                data = data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
            info = zipfile.ZipInfo(folder + "/" + os.path.basename(path), stamp)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 0  # MS-DOS: no Unix owner or mode bits
            info.external_attr = 0x20  # FILE_ATTRIBUTE_ARCHIVE
            archive.writestr(info, data)
    os.replace(partial, output)


if __name__ == "__main__":
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2], sys.argv[3:])
