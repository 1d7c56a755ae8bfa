#!/usr/bin/env python3
"""Writes RELEASE/SHA256SUMS: the SHA-256 of the zip and the installer in RELEASE, then of the
exe and the DLL as the zip holds them (named Sorvagenta/...), one "DIGEST  NAME" line each
with "\\n" line ends, the form `sha256sum -c` reads on any system. package.sh and the Windows
workflow both write it with this script, so the manifests always find their digests.
usage: make_sums.py RELEASE
"""
import glob
import hashlib
import os
import sys
import zipfile

INSIDE = ("Sorvagenta/Sorvagenta.exe", "Sorvagenta/Tamsprock.dll")


def only(release, pattern):
    found = glob.glob(os.path.join(glob.escape(release), pattern))
    if len(found) != 1:
        sys.exit("%s: expected one %s, found %d" % (release, pattern, len(found)))
    return found[0]


def main(release):
    zip_path = only(release, "Sorvagenta-*-win64.zip")
    setup_path = only(release, "Sorvagenta-*-setup.exe")
    lines = []
    for path in (zip_path, setup_path):
        with open(path, "rb") as f:
            lines.append((hashlib.sha256(f.read()).hexdigest(), os.path.basename(path)))
    with zipfile.ZipFile(zip_path) as archive:
        for name in INSIDE:
            lines.append((hashlib.sha256(archive.read(name)).hexdigest(), name))
    # Binary, so a Windows Python writes the same bytes.
    with open(os.path.join(release, "SHA256SUMS"), "wb") as f:
        f.write("".join("%s  %s\n" % line for line in lines).encode())


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    main(sys.argv[1])
